#pragma once

#include "systemports/deviceaccess.h"
#include "systemports/portlockfile.h"
#include "systemports/porttroubles.h"
#include "systemports/serialdrivers.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Where a Linux system's port troubles are read: the kernel's reports of its
// devices and processes, the group file and the user's account. Tests point
// each at a small folder tree of their own.
struct LinuxSystemView {
    QString sysfs = QStringLiteral("/sys");
    QString proc = QStringLiteral("/proc");
    QString groupFile = QStringLiteral("/etc/group");
    QString deviceRoot;   // where device files such as /dev/ttyUSB0 are found: the system's own root
    qint64 ownPid = QCoreApplication::applicationPid();
    UserAccount account = UserAccount::current();
    QStringList lockFolders = serialLockFolders();
    QString kernelModules = runningKernelModules();   // /lib/modules/RELEASE, with modules.alias
};

// What stands in the way of a port on Linux: a login console on it (the
// program and the service to stop), no permission (the group that owns the
// device, and whether joining it or only a new login is needed), another
// program that holds it open (its name and process id), and where none is
// seen, a lock file another user left (its owner, or that it is gone). An
// adapter without a port is one no driver serves, or one a program took
// through usbfs (brltty, the Braille display daemon, does this to the common
// adapters), with that program named. Each question reads the processes
// once; a survey reads them once for all its locations.
PortTroubles linuxPortTroubles(const LinuxSystemView &view);
