#pragma once

#include "cli/portrunner.h"

#include <QList>
#include <QString>

// What kd7load-cli reports once the downloads have ended: a line per port,
// its number and device and the window's outcome, in Chinese; or for
// scripts one JSON object per port, a line each (JSON Lines).
class Summary {
public:
    static QString text(const QList<PortResult> &results);
    static QString jsonLines(const QList<PortResult> &results, int words);
    // How one port's download ended, in the words of the summary.
    static QString outcome(const PortResult &result);
    // 130 when any download was stopped by an interrupt; else 0 when every
    // port took the whole program, 1 when any did not.
    static int exitStatus(const QList<PortResult> &results);
};
