#pragma once

#include "stopwatch.h"

#include "tests/support/windowonline.h"

#include <QString>

#include <functional>

struct ProgramFile;

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

// Downloads one program to one simulated device with each kind of host, times
// each download on the thread that runs it, and checks what the device got.
class DownloadRunner {
public:
    DownloadRunner(SimulatedDevice &device, const ProgramFile &program);

    DownloadRun ours();        // the real window, shown, Download clicked
    DownloadRun bare();        // the download procedure without the window
    DownloadRun reference();   // plain termios and poll()

private:
    // `download` runs timed and returns the frames the host reports; then
    // `problem` tells what the host itself found wrong, if anything.
    DownloadRun measure(const QString &host, const std::function<int()> &download,
                        const std::function<QString()> &problem);
    QString checkDelivery(const DownloadRun &run, const SimulatedDevice::Counters &before);
    void show(bool shown);

    SimulatedDevice &device_;
    const ProgramFile &program_;
    WindowOnLine window_;
};
