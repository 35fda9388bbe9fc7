#pragma once

#include "download/clock.h"

// A monotonic clock that runs `factor` times faster than real time, so the
// half-second waits of a silent device on a real line pass quickly.
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double factor) : factor_(factor) {}
    double now() override { return real_.now() * factor_; }
    void sleepFor(double seconds) override { real_.sleepFor(seconds / factor_); }

private:
    SteadyClock real_;
    double factor_;
};
