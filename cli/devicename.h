#pragma once

#include <QString>

// A serial device named on the command line, as this system names its
// devices: an absolute path ("/dev/ttyUSB0", "/dev/serial/by-id/...") on
// Linux, "COM7" on Windows. Empty when `text` names no device that way.
QString namedDevice(const QString &text);

// One text for every name of the same device (a link and what it leads to,
// "com7" and "COM7"), to tell when two names given are one port.
QString deviceIdentity(const QString &device);
