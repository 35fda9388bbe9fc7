#pragma once

#include "systemports/portholders.h"

#include <QList>
#include <QString>
#include <QStringList>

// One look at the processes a Linux kernel reports under `procRoot` (the
// system's own is /proc): each one's name, parent, session, controlling
// terminal and the device files it holds open. Everyone's stat line can be
// read; another user's open files only by root, so what they hold is then
// unknown.
class ProcessTable {
public:
    ProcessTable(const QString &procRoot, qint64 ownPid);

    // Who holds any of `paths` open, this program aside; a child that only
    // inherited the file from its parent is not named.
    PortHolders holding(const QStringList &paths) const;
    // The processes named `program`.
    QList<PortHolder> running(const QString &program) const;
    // The processes whose controlling terminal is device number `tty` (the
    // kernel's tty_nr: major << 8 | minor, the minor's high bits above 20),
    // session leaders first.
    QList<PortHolder> onTerminal(quint32 tty) const;
    // The name of process `pid`; empty when it no longer runs.
    QString programOf(qint64 pid) const;

private:
    struct Process {
        PortHolder id;
        qint64 parent = 0;
        qint64 session = 0;
        quint32 tty = 0;
        QStringList devices;   // the device files it has open, under /dev
        bool filesUnreadable = false;
    };

    QList<Process> processes_;
    qint64 ownPid_ = 0;
};
