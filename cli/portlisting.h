#pragma once

#include "systemports/portmapping.h"
#include "systemports/porttroubles.h"
#include "systemports/systemports.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The system's serial ports as --list shows them: each with the number the
// window gives it, what the system calls it and what stands in its way, and
// the adapters plugged in without a port.
class PortListing {
public:
    struct Entry {
        int number = 0;   // 0: no number reaches it
        SystemPort port;
        QString trouble;   // why it cannot be used now; empty when nothing is seen
    };

    // `numbering` is the window's: port n opens numbering(n).
    PortListing(const QList<SystemPort> &ports, const PortMapping &numbering, const PortTroubles &troubles);

    QString text() const;
    QString jsonLines() const;

private:
    QList<Entry> entries_;
    QStringList stranded_;
};
