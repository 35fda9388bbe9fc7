#pragma once

#include "serial/systemports.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the port window tells the operator about the system's ports, from
// one look at them: `reached` holds the locations numbers 1 to 4 open now
// (empty where a number opens none), `ports` the system's ports.
struct PortSurvey {
    QStringList reached;
    QList<SystemPort> ports;

    // What port number `portNo` (1 to 4) opens: the device and its
    // description, or that the system has no such port, with the ports no
    // number reaches and what to do about them.
    QString describePort(int portNo) const;
    // The ports that numbers 1 to 4 do not reach, and how to give one a
    // number; empty when there are none.
    QString unreachedPorts() const;
};
