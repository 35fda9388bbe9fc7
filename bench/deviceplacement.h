#pragma once

#include <sched.h>

class SimulatedDevice;

// The simulated device stands for separate hardware at the far end of a
// line. In this process its thread competes with the host for the same
// cores, and whatever the host does after writing a frame could hold up the
// device's answer, which no real line does. Started apart through here, the
// device's thread runs on a core of its own and the host on the others,
// until this placement ends and the host has every core back.
class DevicePlacement {
public:
    DevicePlacement();
    ~DevicePlacement();
    DevicePlacement(const DevicePlacement &) = delete;
    DevicePlacement &operator=(const DevicePlacement &) = delete;

    // Starts the device, apart when asked to and there are two cores or more
    // (placing is best effort); false when the device would not start.
    bool start(SimulatedDevice &device, bool apart);
    // Whether the device got a core of its own.
    bool placed() const { return placed_; }

private:
    cpu_set_t original_;
    bool known_ = false;
    bool placed_ = false;
};
