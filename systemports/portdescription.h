#pragma once

#include "systemports/systemports.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the port window tells the operator about the system's ports, from
// one look at them: `reached` holds the locations numbers 1 to 4 open now
// (empty where a number opens none), `ports` the system's ports, `troubles`
// what stands in the way of a location (a line each, where something does)
// and `stranded` the adapters plugged in without a port.
struct PortSurvey {
    QStringList reached;
    QList<SystemPort> ports;
    QHash<QString, QString> troubles;
    QStringList stranded;

    // What port number `portNo` (1 to 4) opens: the device and its
    // description and what stands in its way, or that the system has no
    // such port, with the ports no number reaches and what to do about them.
    QString describePort(int portNo) const;
    // The ports that numbers 1 to 4 do not reach, and how to give one a
    // number, and the adapters that have no port at all; empty when there
    // are none.
    QString outOfReach() const;

private:
    QString unreachedPorts() const;
    QString troubleAt(const QString &location) const;
};
