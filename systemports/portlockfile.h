#pragma once

#include "systemports/processtable.h"

#include <QString>
#include <QStringList>

#include <functional>

// A serial port's lock file, as Qt's serial port (and minicom, and the UUCP
// tools before them) keeps one while it has the port open: LCK..ttyUSB0 in
// the first of the usual lock folders this user can use, holding the
// process id of its owner. Qt reports a lock it cannot take as a permission
// error. It takes over a lock whose owner is gone or that has stood for half
// a minute by removing the file, which it cannot do when the file belongs to
// another user in the sticky lock folder (a run with sudo that was killed).
struct PortLockFile {
    QString path;       // empty when the port has none
    qint64 owner = 0;   // the process id it holds; 0 when it holds none
};

// The folders Qt's serial port looks in for lock files, in its order.
QStringList serialLockFolders();

// The lock file that `location` ("/dev/ttyUSB0") has in the first of
// `folders` that this user can read and that holds it or could.
PortLockFile portLockFile(const QStringList &folders, const QString &location);

// What the lock file means for opening `location`: who keeps it, or that its
// owner is gone and it must be removed. Empty when there is none, or when
// this user may remove it (`mayRemove`), as an open then does.
QString lockFileTrouble(const QString &location, const PortLockFile &lock, const ProcessTable &processes,
                        const std::function<bool(const QString &path)> &mayRemove);
