#pragma once

#include <QString>

#include <vector>

// What loading an object file costs: ObjectFileReader::read and
// ProgramImage::load, timed over many runs, and the peak memory the load adds
// to a process, measured in fresh child processes so nothing else this
// program did (the window, the simulator) is counted. Each child reports its
// own high-water mark (VmHWM): getrusage's ru_maxrss would also count this
// process, whose memory the child shares until it executes.
namespace LoaderBench {

constexpr const char *kChildOption = "--loader-child";
constexpr int kMemoryRounds = 3;

struct Result {
    int runs = 0;
    double medianSeconds = 0;
    double fastestSeconds = 0;
    long loadPeakKiB = -1;   // the child that loads
    long idlePeakKiB = -1;   // the child that does everything else
    QString problem;         // empty when every load gave exactly the words
};

Result run(const QString &path, const std::vector<quint16> &expected, int runs);
// The child's work: "load" reads and loads the file, "idle" does not; either
// prints its peak resident size in KiB.
int childMain(const QString &mode, const QString &path);

}   // namespace LoaderBench
