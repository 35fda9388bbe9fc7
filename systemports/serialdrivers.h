#pragma once

#include "systemports/serialbridges.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Which serial driver a Linux kernel would give a USB interface, decided as
// modprobe decides it: the module whose pattern in the kernel's
// modules.alias matches the interface's modalias, among the modules that
// make serial ports (USB serial converters, CDC-ACM; modules.dep tells where
// each lives). The lists are read at the first question. Where the kernel
// has none, the common adapters' ids decide (serialBridgeFor).
class SerialDrivers {
public:
    // `kernelModules`: the running kernel's module folder, /lib/modules/RELEASE.
    explicit SerialDrivers(const QString &kernelModules);

    // The module for an interface whose modalias is `modalias`
    // ("usb:v1A86p7523d0264dcFFdsc00dp00icFFisc01ip02in00"); empty when no
    // serial driver would take it.
    QString moduleFor(const QString &modalias);

private:
    void readLists();

    QString folder_;
    bool read_ = false;
    bool listed_ = false;                          // the kernel has a modules.alias
    QList<QPair<QByteArray, QString>> patterns_;   // serial drivers' patterns and modules
};

// The common adapter an interface belongs to, by the ids in its modalias;
// null when it is none of them.
const SerialBridge *serialBridgeOf(const QString &modalias);

// The running kernel's module folder.
QString runningKernelModules();
