#pragma once

#include <time.h>

// Wall time and CPU time at one moment, or spent between two moments.
struct Usage {
    double wall = 0;         // steady clock, seconds
    double threadCpu = 0;    // the calling thread's CPU seconds
    double processCpu = 0;   // every thread's CPU seconds, the simulator's included

    Usage operator-(const Usage &earlier) const
    {
        return {wall - earlier.wall, threadCpu - earlier.threadCpu, processCpu - earlier.processCpu};
    }
};

// Measures what one piece of work costs the thread that runs it. It must be
// read on the thread that started it: the thread CPU clock is per thread, and
// that is what keeps the simulator's thread out of the host's figure.
class Stopwatch {
public:
    Usage elapsed() const { return now() - start_; }

private:
    static double secondsOn(clockid_t clock)
    {
        timespec value{};
        ::clock_gettime(clock, &value);
        return double(value.tv_sec) + double(value.tv_nsec) * 1e-9;
    }
    static Usage now()
    {
        return {secondsOn(CLOCK_MONOTONIC), secondsOn(CLOCK_THREAD_CPUTIME_ID),
                secondsOn(CLOCK_PROCESS_CPUTIME_ID)};
    }

    Usage start_ = now();
};
