#pragma once

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
