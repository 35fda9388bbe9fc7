#pragma once

#include "kd7sim/simulateddevice.h"
#include "systemports/portmapping.h"

// Port 1 is the simulated device's line, wherever it was last opened.
inline PortMapping portOneOn(const SimulatedDevice &device)
{
    return portOneAt([&device] { return QString::fromStdString(device.devicePath()); });
}
