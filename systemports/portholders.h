#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The programs that hold a device open, read from what a Linux kernel
// reports of its processes under `procRoot` (the system's own is /proc):
// each process's open files are links in its fd folder. Another user's
// processes cannot be read unless this program runs as root; that they may
// hold it too is then all that can be said.
struct PortHolder {
    QString program;   // the process's name ("minicom")
    qint64 pid = 0;
};

struct PortHolders {
    QList<PortHolder> known;
    bool othersUnreadable = false;   // some processes' open files could not be read

    // "minicom (进程 1234)", several joined by commas; empty when none is known.
    QString named() const;
};

// Who holds any of `paths` open, this program (`ownPid`) aside.
PortHolders portHolders(const QString &procRoot, const QStringList &paths, qint64 ownPid);

// The processes named `program` that run now, whatever their user: their
// names can be read where their open files cannot.
QList<PortHolder> runningPrograms(const QString &procRoot, const QString &program);
