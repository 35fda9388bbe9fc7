#include "serial/windowsportnames.h"

#include <windows.h>
// after windows.h, which they build on
#include <devguid.h>
#include <setupapi.h>

#include <vector>

namespace {

QString registryText(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD property)
{
    DWORD size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                             reinterpret_cast<PBYTE>(text.data()), size, nullptr))
        return {};
    return QString::fromWCharArray(text.data());
}

QString portNameOf(HDEVINFO devices, SP_DEVINFO_DATA &device)
{
    HKEY key = ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    const bool read
        = ::RegQueryValueExW(key, L"PortName", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size)
        == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return read ? QString::fromWCharArray(name) : QString();
}

}   // namespace

QString windowsFriendlyName(const QString &comName)
{
    HDEVINFO devices = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return {};
    QString found;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; found.isEmpty() && ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        if (portNameOf(devices, device).compare(comName, Qt::CaseInsensitive) == 0)
            found = registryText(devices, device, SPDRP_FRIENDLYNAME);
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}
