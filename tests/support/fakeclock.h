#pragma once

#include "download/clock.h"

// A clock the test moves by hand: sleeping advances it at once, so a silent
// device's ten half-second waits take no real time.
class FakeClock : public Clock {
public:
    double now() override { return now_; }
    void sleepFor(double seconds) override { now_ += seconds > 0 ? seconds : 0; }
    void advanceTo(double when)
    {
        if (when > now_)
            now_ = when;
    }

private:
    double now_ = 1000.0;
};
