#pragma once

#include <QHash>
#include <QString>

// The latency timers of the FTDI adapters Windows knows, in milliseconds, by
// the COM port each one is ("COM3"). The FTDI driver keeps each adapter's
// setting beside its port name; it is read, never written: changing it is an
// administrator's step in Device Manager.
QHash<QString, int> ftdiLatencyTimers();
