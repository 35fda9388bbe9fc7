#pragma once

#include <sched.h>

class SimulatedDevice;

// The simulated device stands for separate hardware at the far end of a
// line. In this process its thread competes with the host for the same
// cores, and whatever the host does after writing a frame could hold up the
// device's answer, which no real line does. Started through here, the
// device's thread runs on a core of its own and the host on the others,
// until this placement ends and the host has every core back.
class DevicePlacement {
public:
    DevicePlacement();
    ~DevicePlacement();
    DevicePlacement(const DevicePlacement &) = delete;
    DevicePlacement &operator=(const DevicePlacement &) = delete;

    // False when the device would not start; placing is best effort.
    bool startApart(SimulatedDevice &device);
    // Whether the device got a core of its own.
    bool placed() const { return placed_; }

private:
    bool holdThisThread(const cpu_set_t &cores);

    cpu_set_t original_;
    bool known_ = false;
    bool placed_ = false;
};
