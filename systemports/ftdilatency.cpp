#include "systemports/ftdilatency.h"

#include "systemports/windowsregistry.h"

namespace {

// Each adapter (VID_0403+PID_6001+serial number) has one instance key or
// more (0000), and its settings under "Device Parameters".
constexpr wchar_t kFtdiBus[] = L"SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";

HKEY openForReading(HKEY parent, const QString &path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(parent, reinterpret_cast<const wchar_t *>(path.utf16()), 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void readAdapter(HKEY adapter, QHash<QString, int> &timers)
{
    for (const QString &instance : WindowsRegistry::subkeys(adapter)) {
        HKEY parameters = openForReading(adapter, instance + QStringLiteral("\\Device Parameters"));
        if (!parameters)
            continue;
        const QString port = WindowsRegistry::text(parameters, L"PortName").toUpper();
        const std::optional<DWORD> timer = WindowsRegistry::number(parameters, L"LatencyTimer");
        if (!port.isEmpty() && timer)
            timers.insert(port, int(*timer));
        ::RegCloseKey(parameters);
    }
}

}   // namespace

QHash<QString, int> ftdiLatencyTimers()
{
    QHash<QString, int> timers;
    HKEY bus = openForReading(HKEY_LOCAL_MACHINE, QString::fromWCharArray(kFtdiBus));
    if (!bus)
        return timers;
    for (const QString &name : WindowsRegistry::subkeys(bus)) {
        if (HKEY adapter = openForReading(bus, name)) {
            readAdapter(adapter, timers);
            ::RegCloseKey(adapter);
        }
    }
    ::RegCloseKey(bus);
    return timers;
}
