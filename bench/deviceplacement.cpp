#include "deviceplacement.h"

#include "kd7sim/simulateddevice.h"

#include <pthread.h>

namespace {

constexpr int kFewestCpus = 2;

int highestCpu(const cpu_set_t &set)
{
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu)
        if (CPU_ISSET(cpu, &set))
            return cpu;
    return -1;
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

bool DevicePlacement::holdThisThread(const cpu_set_t &cores)
{
    return ::pthread_setaffinity_np(::pthread_self(), sizeof cores, &cores) == 0;
}

// A new thread inherits its creator's cores: the device's thread is started
// while this thread is held to one core, then this thread takes the rest.
bool DevicePlacement::startApart(SimulatedDevice &device)
{
    if (!known_ || CPU_COUNT(&original_) < kFewestCpus)
        return device.start();
    const int deviceCpu = highestCpu(original_);
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
