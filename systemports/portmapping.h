#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Which system device a port number opens: the name to give QSerialPort, or
// an empty text when the number names no port.
using PortMapping = std::function<QString(int portNo)>;

// Port 1 opens the location `where` gives at the moment of opening (a device
// plugged in again may come back under a new name); no other number names a
// port. Wires the tool to one known device, a simulated one say.
PortMapping portOneAt(std::function<QString()> where);

// Orders system locations with runs of digits taken as numbers: ttyS2
// comes before ttyS10.
bool naturalPortOrder(const QString &a, const QString &b);

// Port n among the given system locations taken in natural order: the n-th,
// or an empty text when there are fewer than n (or n is below 1).
QString portAmong(QStringList locations, int portNo);

// Port n is COMn on Windows and the n-th system port elsewhere, among the
// ports the system reports at the time of the call.
QString systemPortFor(int portNo);
