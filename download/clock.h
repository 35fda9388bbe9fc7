#pragma once

// A monotonic clock for the download's waits: a time of day that jumps or
// wraps at midnight must not stretch or cut a wait.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary fixed point.
    virtual double now() = 0;
    virtual void sleepFor(double seconds) = 0;
};

class SteadyClock : public Clock {
public:
    double now() override;
    void sleepFor(double seconds) override;
};
