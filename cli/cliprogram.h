#pragma once

#include "cli/clioptions.h"
#include "cli/console.h"
#include "cli/portrunner.h"

#include <QStringList>

// kd7load-cli from its command line to its exit status: the port list, or
// the download to every port named, then the summary.
class CliProgram {
public:
    // Without a clock maker, the downloads run on the steady clock.
    explicit CliProgram(Console &console, PortRunner::ClockMaker makeClock = {});

    int run(const QStringList &arguments);
    // The signal that stopped a download of the last run; 0 when none did.
    int interruptedBy() const { return interruptedBy_; }

private:
    int list(bool json);
    int download(const CliOptions &options);
    int refuse(const QString &why);

    Console &console_;
    PortRunner::ClockMaker makeClock_;
    int interruptedBy_ = 0;
};
