#pragma once

#include <QSerialPortInfo>
#include <QString>

#include <functional>

// Which system device a port number opens: the name to give QSerialPort, or
// an empty text when the number names no port.
using PortMapping = std::function<QString(int portNo)>;

// Orders system locations with runs of digits taken as numbers: ttyS2
// comes before ttyS10.
bool naturalPortOrder(const QString &a, const QString &b);

// Every serial port the system reports, in natural order of system location
// (ttyS2 before ttyS10), read afresh on each call.
QList<QSerialPortInfo> orderedSystemPorts();

// Port n is COMn on Windows and the n-th system port elsewhere.
QString systemPortFor(int portNo);
