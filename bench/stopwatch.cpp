#include "stopwatch.h"

#include <time.h>

namespace {

double secondsOn(clockid_t clock)
{
    timespec value{};
    ::clock_gettime(clock, &value);
    return double(value.tv_sec) + double(value.tv_nsec) * 1e-9;
}

}   // namespace

Usage Stopwatch::now()
{
    return {secondsOn(CLOCK_MONOTONIC), secondsOn(CLOCK_THREAD_CPUTIME_ID),
            secondsOn(CLOCK_PROCESS_CPUTIME_ID)};
}
