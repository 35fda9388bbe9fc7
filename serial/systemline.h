#pragma once

#include "serial/serialline.h"
#include "systemports/portmapping.h"

#include <memory>

// The serial port control on this system's own serial ports: Qt SerialPort's
// on Linux, the Win32 serial calls' on Windows (each defined beside its line).
std::unique_ptr<SerialLine> makeSystemSerialLine(PortMapping mapping);
