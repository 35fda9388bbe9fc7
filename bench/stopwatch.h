#pragma once

#include "usage.h"

// Measures what one piece of work costs the thread that runs it. It must be
// read on the thread that started it: the thread CPU clock is per thread, and
// that is what keeps the simulator's thread out of the host's figure.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart() { start_ = now(); }
    Usage elapsed() const { return now() - start_; }

    static Usage now();

private:
    Usage start_;
};
