#include "systemports/setupapi_win.h"

#include "systemports/windowsregistry.h"

#include <vector>

namespace SetupApi {

namespace {

// The property's raw value as wide characters, with a terminating zero more.
std::vector<wchar_t> property(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD which)
{
    DWORD size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(devices, &device, which, nullptr, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, which, nullptr,
                                             reinterpret_cast<PBYTE>(value.data()), size, nullptr))
        return {};
    return value;
}

}   // namespace

QString text(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD which)
{
    const std::vector<wchar_t> value = property(devices, device, which);
    return value.empty() ? QString() : QString::fromWCharArray(value.data());
}

// A list is texts one after another, each ended by a zero, and an empty one last.
QStringList texts(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD which)
{
    const std::vector<wchar_t> value = property(devices, device, which);
    QStringList list;
    for (size_t at = 0; at < value.size() && value[at] != L'\0';) {
        const QString item = QString::fromWCharArray(value.data() + at);
        list << item;
        at += size_t(item.size()) + 1;
    }
    return list;
}

QString portName(HDEVINFO devices, SP_DEVINFO_DATA &device)
{
    HKEY key = ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    const QString name = WindowsRegistry::text(key, L"PortName");
    ::RegCloseKey(key);
    return name;
}

}   // namespace SetupApi
