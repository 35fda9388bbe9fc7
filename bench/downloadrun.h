#pragma once

#include "usage.h"

#include <QString>

// One download by one host, what it cost, and whether the device ended up
// with exactly the program: a fast download that corrupts counts for nothing.
struct DownloadRun {
    QString host;
    int words = 0;
    int reported = 0;   // frames the host says were acknowledged
    Usage usage;
    // From each answer leaving the device to the host's next frame reaching
    // it, as the device measured them: the host's turnaround per frame. The
    // median stands when a busy machine stretches a few frames.
    double responseMedian = 0;
    double responseP90 = 0;
    QString problem;   // empty when the device holds exactly the program

    int frames() const { return words + 1; }
    bool exact() const { return problem.isEmpty(); }
};
