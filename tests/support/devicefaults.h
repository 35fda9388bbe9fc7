#pragma once

#include "kd7sim/simulateddevice.h"

#include <QMetaType>

using Faults = SimulatedDevice::FaultConfig;
Q_DECLARE_METATYPE(Faults)

// The simulated device's faults, as `set` makes them: a table row names its
// faults in one expression.
inline Faults faultsWith(void (*set)(Faults &))
{
    Faults faults;
    set(faults);
    return faults;
}
