#include "systemports/porttroubles.h"
#include "systemports/problemdevices.h"
#include "systemports/setupapi_win.h"

#include <cfgmgr32.h>

namespace {

// Device Manager's problem code, 0 when the device works.
int problemOf(const SP_DEVINFO_DATA &device)
{
    ULONG status = 0;
    ULONG problem = 0;
    if (::CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS)
        return 0;
    return (status & DN_HAS_PROBLEM) ? int(problem) : 0;
}

}   // namespace

// Every device present, of every class: an adapter without a driver has no
// class yet, and shows only under 其他设备 (other devices).
QList<WindowsDevice> presentWindowsDevices()
{
    QList<WindowsDevice> found;
    HDEVINFO devices = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const int problem = problemOf(device);
        if (problem == 0)
            continue;   // only a device with a problem is of interest
        QString name = SetupApi::text(devices, device, SPDRP_FRIENDLYNAME);
        if (name.isEmpty())
            name = SetupApi::text(devices, device, SPDRP_DEVICEDESC);
        found.append({SetupApi::texts(devices, device, SPDRP_HARDWAREID),
                      SetupApi::texts(devices, device, SPDRP_COMPATIBLEIDS),
                      SetupApi::text(devices, device, SPDRP_CLASSGUID), name,
                      SetupApi::portName(devices, device), problem});
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}

PortTroubles systemPortTroubles() { return windowsPortTroubles(presentWindowsDevices); }
