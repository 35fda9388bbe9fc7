#pragma once

#include <QList>
#include <QString>

// USB serial adapters that are plugged in but give no port, read from what a
// Linux kernel reports under `sysfsRoot` (the system's own is /sys). An
// adapter is decided by its USB interface, not its maker: one a serial
// driver would serve (SerialDrivers, from the kernel's module list in
// `kernelModules`) or a CDC-ACM modem interface. It has no port when no
// driver serves it, or when a program took it through usbfs (as brltty does
// with these adapters' common ids), which unbinds the serial driver. A
// device with a port on another interface is not stranded: a program that
// took one interface of a dual FTDI chip (OpenOCD, for JTAG) leaves the
// other its port.
struct StrandedAdapter {
    QString name;                     // "CH340 (USB Serial)", as the operator may know it
    QString module;                   // the kernel module that would serve it ("ch341")
    QString usbDevice;                // the device file a program holds it through: /dev/bus/usb/001/004
    bool takenThroughUsbfs = false;   // else no driver serves it
    bool moduleLoaded = false;        // its driver runs but let it go: plugging it in again gives it back
};

QList<StrandedAdapter> strandedUsbAdapters(const QString &sysfsRoot, const QString &kernelModules);
