#include "deviceplacement.h"

#include "kd7sim/simulateddevice.h"

#include <pthread.h>

namespace {

constexpr int kFewestCpus = 2;

bool holdThisThread(const cpu_set_t &cores)
{
    return ::pthread_setaffinity_np(::pthread_self(), sizeof cores, &cores) == 0;
}

}   // namespace

DevicePlacement::DevicePlacement()
{
    CPU_ZERO(&original_);
    known_ = ::pthread_getaffinity_np(::pthread_self(), sizeof original_, &original_) == 0;
}

DevicePlacement::~DevicePlacement()
{
    if (known_)
        holdThisThread(original_);
}

// A new thread inherits its creator's cores: the device's thread is started
// while this thread is held to the highest core, then this thread takes the rest.
bool DevicePlacement::start(SimulatedDevice &device, bool apart)
{
    if (!apart || !known_ || CPU_COUNT(&original_) < kFewestCpus)
        return device.start();
    int deviceCpu = CPU_SETSIZE - 1;
    while (!CPU_ISSET(deviceCpu, &original_))
        --deviceCpu;
    cpu_set_t deviceSet;
    CPU_ZERO(&deviceSet);
    CPU_SET(deviceCpu, &deviceSet);
    cpu_set_t hostSet = original_;
    CPU_CLR(deviceCpu, &hostSet);
    placed_ = holdThisThread(deviceSet);
    const bool started = device.start();
    placed_ = holdThisThread(hostSet) && placed_ && started;
    return started;
}
