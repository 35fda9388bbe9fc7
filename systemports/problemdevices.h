#pragma once

#include "systemports/porttroubles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A device as Windows' device tree reports it to Device Manager.
struct WindowsDevice {
    QStringList hardwareIds;     // "USB\VID_1A86&PID_7523&REV_0254", most specific first
    QStringList compatibleIds;   // "USB\Class_02&SubClass_02", ...
    QString classGuid;           // the setup class: Ports is {4d36e978-e325-11ce-bfc1-08002be10318}
    QString name;                // what Device Manager calls it: "USB-SERIAL CH340"
    QString portName;            // the COM port its driver gave it ("COM3"), if any
    int problem = 0;             // Device Manager's problem code; 0: it works
};

// Windows' serial adapters that do not work: a device with a problem code
// whose hardware id (vendor, product and, on a composite device, interface)
// names one of the common serial bridges (serialBridgeFor), or of the Ports
// class, or a CDC-ACM modem. A vendor id alone decides nothing. Each says
// why in Device Manager's terms and what to do: code 28, no driver is
// installed (Windows 7 brings none for CH340 or PL2303); code 10, the
// driver will not start it (what Prolific's drivers do with the many
// PL2303 clones); code 22, it is disabled.
PortTroubles windowsPortTroubles(std::function<QList<WindowsDevice>()> devices);

// The devices Windows has present now, from SetupAPI (Windows only).
QList<WindowsDevice> presentWindowsDevices();
