#include "systemports/systemports.h"

#include "systemports/ftdilatency.h"
#include "systemports/portmapping.h"
#include "systemports/setupapi_win.h"
#include "systemports/windowsregistry.h"

#include <devguid.h>

#include <QHash>

#include <algorithm>

namespace {

// "USB Serial Port (COM3)" names the port by its number already.
QString withoutPortName(QString friendlyName, const QString &portName)
{
    const QString suffix = QStringLiteral(" (%1)").arg(portName);
    if (friendlyName.endsWith(suffix, Qt::CaseInsensitive))
        friendlyName.chop(suffix.size());
    return friendlyName;
}

// What Device Manager lists under 端口 (COM 和 LPT): the COM ports present,
// each with the name Windows shows for it.
QHash<QString, QString> deviceManagerNames()
{
    QHash<QString, QString> names;
    HDEVINFO devices = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const QString port = SetupApi::portName(devices, device).toUpper();
        if (port.startsWith(QLatin1String("COM")))
            names.insert(port, withoutPortName(SetupApi::text(devices, device, SPDRP_FRIENDLYNAME), port));
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return names;
}

// Every serial port driver enters its ports here while they are present.
QStringList serialCommPorts()
{
    QStringList ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return ports;
    for (const QString &value : WindowsRegistry::values(key))
        ports << WindowsRegistry::text(key, reinterpret_cast<const wchar_t *>(value.utf16())).toUpper();
    ::RegCloseKey(key);
    return ports;
}

}   // namespace

QString systemPortFor(int portNo) { return portNo < 1 ? QString() : QStringLiteral("COM%1").arg(portNo); }

QList<SystemPort> systemPorts()
{
    const QHash<QString, QString> names = deviceManagerNames();
    QStringList locations = serialCommPorts();
    for (auto it = names.begin(); it != names.end(); ++it)
        locations << it.key();
    locations.removeAll(QString());
    locations.removeDuplicates();
    std::sort(locations.begin(), locations.end(), naturalPortOrder);
    const QHash<QString, int> latency = ftdiLatencyTimers();
    QList<SystemPort> ports;
    for (const QString &location : locations) {
        const auto timer = latency.find(location);
        ports.append({location, names.value(location),
                      timer != latency.end() ? std::optional<int>(*timer) : std::nullopt});
    }
    return ports;
}

// Windows keeps a port's number with the adapter and the USB socket it is in.
QString renumberingAdvice()
{
    return QStringLiteral("给它一个 1 到 4 的编号 (要管理员来做, 每个 USB 插口做一次):\n"
                          "设备管理器 > 端口 (COM 和 LPT) > 该端口的属性 > 端口设置 > 高级 > COM 端口号");
}
