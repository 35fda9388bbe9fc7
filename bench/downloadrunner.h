#pragma once

#include "downloadrun.h"
#include "formhost.h"

#include "image/programimage.h"

#include <cstddef>

class ProgramFile;
class SimulatedDevice;

// Downloads one program to one simulated device with each kind of host, times
// each download on the thread that runs it, and checks what the device got.
class DownloadRunner {
public:
    static constexpr double kEndMarkerWait = 2.0;

    DownloadRunner(SimulatedDevice &device, const ProgramFile &program);

    DownloadRun ours();        // the real window, Download clicked
    DownloadRun bare();        // the download procedure without the window
    DownloadRun reference();   // plain termios and poll()

private:
    struct Before {
        std::size_t sessions = 0;
        int badCheckBytes = 0;
        int skippedBytes = 0;
    };

    Before snapshot() const;
    QString checkDelivery(const DownloadRun &run, const Before &before) const;
    DownloadRun startRun(const QString &host) const;
    DownloadRun finish(DownloadRun run, const Before &before) const;
    void addResponses(DownloadRun &run) const;

    SimulatedDevice &device_;
    const ProgramFile &program_;
    FormHost form_;
    ProgramImage image_;
    int loadedWords_ = 0;
};
