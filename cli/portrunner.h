#pragma once

#include "cli/porttarget.h"
#include "download/clock.h"
#include "download/downloadprocedure.h"
#include "image/programimage.h"
#include "serial/portcontroller.h"
#include "serial/serialline.h"

#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// How one port's download ended.
struct PortResult {
    PortTarget target;
    DownloadOutcome outcome;
    QString refusal;   // why the port did not open: the window's message and the cause
    QString message;   // the window's message alone
    double seconds = 0;
};

// One port's download on a thread of its own, so that each port has its own
// waits and a silent or unplugged device holds no other back. Everything the
// download touches (the port, its controller, the clock, the procedure) is
// made on that thread and ends with it; the program image is only read.
class PortRunner : public QThread {
    Q_OBJECT

public:
    // The clock for the download to a port.
    using ClockMaker = std::function<std::unique_ptr<Clock>(const PortTarget &)>;

    // Without a clock maker, the download runs on the steady clock.
    PortRunner(PortTarget target, const ProgramImage &image, ClockMaker makeClock = {},
               QObject *parent = nullptr);
    ~PortRunner() override;

    // From any thread: the download ends at its next frame boundary, and its
    // port closes as the window's Exit closes it.
    void stop() { stopping_ = true; }
    // Frames acknowledged so far, out of the frames the program makes.
    int acknowledged() const { return acknowledged_; }
    int frames() const { return image_.WordCount + 1; }
    // Once the thread has finished.
    const PortResult &result() const { return result_; }

protected:
    void run() override;

private:
    DownloadProcedure::Hooks hooksFor(SerialLine &line, PortController &ports, DownloadProcedure *&procedure);

    const ProgramImage &image_;
    ClockMaker makeClock_;
    PortResult result_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> acknowledged_{0};
};
