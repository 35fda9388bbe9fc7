#pragma once

#include "serial/portmapping.h"
#include "serial/serialline.h"

#include <memory>

// The serial port control on this system's own serial ports.
std::unique_ptr<SerialLine> makeSystemSerialLine(PortMapping mapping);
