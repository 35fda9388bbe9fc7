#pragma once

#include "systemports/systemports.h"

#include <QList>
#include <QString>

// The serial ports a Linux system has, read from what its kernel reports
// under `sysfsRoot` (the system's own is /sys), in port-number order.
// Nothing is opened: listing must not pulse the modem lines of whatever is
// wired to a port, and a port another program holds keeps its place.
//
// A port is a tty bound to a device that a driver serves; the 8250 driver's
// placeholder ports, which stand for no UART (their `type` reads 0), take no
// place. Bluetooth and other virtual serial ports, which have no device,
// count as ports. A USB adapter is described by its product name.
QList<SystemPort> sysfsSerialPorts(const QString &sysfsRoot);
