#include "serial/lowlatency.h"

// A mode the driver lacks, refuses or already has is left alone; only a
// mode this tool switched on is switched off again.
void LowLatency::take(const Driver &driver)
{
    taken_ = false;
    const std::optional<bool> on = driver.isOn();
    if (!on || *on)
        return;
    taken_ = driver.setOn(true);
}

void LowLatency::giveBack(const Driver &driver)
{
    if (taken_)
        driver.setOn(false);
    taken_ = false;
}
