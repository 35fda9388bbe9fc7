#pragma once

#include "systemports/portmapping.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// A serial port the system has, as the port window names it to the operator.
struct SystemPort {
    QString location;                    // what a port number opens: "COM7", "/dev/ttyUSB0"
    QString description;                 // what the system calls it ("USB Serial Port"), if it says
    std::optional<int> latencyTimerMs;   // an FTDI adapter's latency timer, where it can be read
};

// The system's serial ports, found in what the system lists, without
// opening any.
using PortList = std::function<QList<SystemPort>()>;

// The serial ports this system has right now, in port-number order.
QList<SystemPort> systemPorts();

// Port n opens the n-th of the ports `ports` lists at the moment of opening.
PortMapping numberedInListOrder(PortList ports);

// How an operator gives a port that numbers 1 to 4 do not reach one of them,
// on this system.
QString renumberingAdvice();
