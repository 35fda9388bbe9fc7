#pragma once

#include <QList>
#include <QString>

// USB serial adapters that are plugged in but give no port, read from what a
// Linux kernel reports under `sysfsRoot` (the system's own is /sys). An
// adapter is a USB interface of a serial bridge: one whose maker's chips are
// the common adapters' (FTDI, WCH's CH340, Prolific's PL2303, Silicon Labs'
// CP210x) or a CDC-ACM modem interface. It has no port when no driver
// serves it, or when a program took it through usbfs (as brltty does with
// these adapters' common ids), which unbinds the serial driver.
struct StrandedAdapter {
    QString name;                     // "CH340 (USB Serial)", as the operator may know it
    QString module;                   // the kernel module that would serve it ("ch341")
    QString usbDevice;                // the device file a program holds it through: /dev/bus/usb/001/004
    bool takenThroughUsbfs = false;   // else no driver serves it
};

QList<StrandedAdapter> strandedUsbAdapters(const QString &sysfsRoot);
