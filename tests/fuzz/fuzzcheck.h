#pragma once

#include <cstdio>
#include <cstdlib>

// A property of a fuzz target. A broken one ends the process at once, which
// libFuzzer records as a crash with the input that caused it, and which fails
// the corpus replay under CTest.
inline void fuzzRequire(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
