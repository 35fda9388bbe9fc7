#pragma once

#include "systemports/processtable.h"

#include <QString>

// A serial port that is some process's controlling terminal is a login
// console: a login prompt (agetty, which systemd starts as
// serial-getty@ttyS0 on a kernel console and on a Raspberry Pi by default)
// or a session logged in through it. The prompt makes the device root's and
// the tty group's, which may only write to it, so the port opens for no one
// else, and joining that group would not help. Every user can read each
// process's controlling terminal, unlike its open files.
//
// The line naming the program that has `location` as its terminal and how
// to free the port; empty when none has. `device` is the device file
// (`location` under the system's root); where it is no device, its number
// is read under `sysfsRoot`.
QString loginConsoleTrouble(const QString &location, const QString &device, const QString &sysfsRoot,
                            const ProcessTable &processes);
