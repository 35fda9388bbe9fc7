#pragma once

// The serial bridges in most USB serial adapters, by the USB ids their
// makers give them: what decides that a device is an adapter where the
// system names no serial driver for it (Windows without the maker's driver,
// a Linux kernel without its module list). A vendor id alone decides
// nothing: WCH's CH341A flash programmers and Silicon Labs' other chips
// share their makers' ids with the adapters.
struct SerialBridge {
    const char *chip;            // "CH340", as operators know the adapter
    const char *linuxModule;     // the driver that serves it on Linux ("ch341")
    const char *windowsDriver;   // the driver to install on Windows
};

// The bridge with USB ids `vendor` and `product` whose interface
// `interfaceNo` is a serial port (-1: the whole device, any interface);
// null when it is none of the common adapters.
const SerialBridge *serialBridgeFor(unsigned vendor, unsigned product, int interfaceNo);
