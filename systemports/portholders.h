#pragma once

#include <QList>
#include <QString>

// A program that holds a device, or stands in its way.
struct PortHolder {
    QString program;   // the process's name ("minicom")
    qint64 pid = 0;

    // "minicom (进程 1234)".
    QString named() const;
};

// The programs that hold a device open. Another user's processes cannot be
// read unless this program runs as root; that they may hold it too is then
// all that can be said.
struct PortHolders {
    QList<PortHolder> known;
    bool othersUnreadable = false;   // some processes' open files could not be read

    // "minicom (进程 1234)", several joined by commas; empty when none is known.
    QString named() const;
};
