#pragma once

#include <functional>
#include <optional>

// Low-latency mode of a serial driver: received bytes are handed over at once
// instead of in batches, so an acknowledgement is seen without delay. The mode
// is asked for while the tool holds the port and given back when it closes,
// so the system is left as it was found.
class LowLatency {
public:
    // What the driver offers: whether the mode is on (nothing when the driver
    // has no such mode) and a way to set it (false when refused).
    struct Driver {
        std::function<std::optional<bool>()> isOn;
        std::function<bool(bool on)> setOn;
    };

    void take(const Driver &driver);
    void giveBack(const Driver &driver);
    bool taken() const { return taken_; }

private:
    bool taken_ = false;
};
