#pragma once

#include "cli/console.h"
#include "cli/portrunner.h"
#include "cli/porttarget.h"
#include "cli/progressdisplay.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

// The same program to every port at once, a runner each, with the progress
// on a terminal; finished() once every download has ended.
class ParallelDownload : public QObject {
    Q_OBJECT

public:
    ParallelDownload(const QList<PortTarget> &targets, const ProgramImage &image, Console &console,
                     const PortRunner::ClockMaker &makeClock = {});

    void start();
    // Ends every download at a frame boundary; each port closes as the
    // window's Exit closes it, left as it was found.
    void interrupt();
    // Once finished, in the order of the targets.
    QList<PortResult> results() const;

signals:
    void finished();

private:
    void runnerFinished();

    std::vector<std::unique_ptr<PortRunner>> runners_;
    ProgressDisplay progress_;
    int running_ = 0;
};
