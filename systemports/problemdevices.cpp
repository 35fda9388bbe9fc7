#include "systemports/problemdevices.h"

#include "systemports/serialbridges.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kNoDriver = 28;
constexpr int kCannotStart = 10;
constexpr int kDisabled = 22;

const QLatin1String kPortsClass("{4d36e978-e325-11ce-bfc1-08002be10318}");

// The bridge a hardware id names: "USB\\VID_0403&PID_6010&MI_01" (the
// second interface of a composite device), "FTDIBUS\\VID_0403+PID_6001+...".
const SerialBridge *bridgeOf(const WindowsDevice &device)
{
    const QRegularExpression ids(
        QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})(?:.*&MI_([0-9A-F]{2}))?"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &id : device.hardwareIds) {
        const QRegularExpressionMatch read = ids.match(id);
        const int interfaceNo = read.captured(3).isEmpty() ? -1 : read.captured(3).toInt(nullptr, 16);
        if (read.hasMatch())
            if (const SerialBridge *bridge = serialBridgeFor(
                    read.captured(1).toUInt(nullptr, 16), read.captured(2).toUInt(nullptr, 16), interfaceNo))
                return bridge;
    }
    return nullptr;
}

bool isCdcAcm(const WindowsDevice &device)
{
    return std::any_of(device.compatibleIds.begin(), device.compatibleIds.end(), [](const QString &id) {
        return id.startsWith(QLatin1String("USB\\Class_02&SubClass_02"), Qt::CaseInsensitive);
    });
}

bool isSerialAdapter(const WindowsDevice &device)
{
    return bridgeOf(device) || isCdcAcm(device)
        || device.classGuid.compare(kPortsClass, Qt::CaseInsensitive) == 0;
}

bool onUsb(const WindowsDevice &device)
{
    return std::any_of(device.hardwareIds.begin(), device.hardwareIds.end(), [](const QString &id) {
        return id.startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive)
            || id.startsWith(QLatin1String("FTDIBUS\\"), Qt::CaseInsensitive);
    });
}

QString remedy(const WindowsDevice &device)
{
    const SerialBridge *bridge = bridgeOf(device);
    switch (device.problem) {
    case kNoDriver:
        return QStringLiteral("装上 %1, 再拔插适配器.")
            .arg(bridge ? QString::fromUtf8(bridge->windowsDriver) : QStringLiteral("设备厂家的驱动"));
    case kCannotStart:
        if (bridge && QLatin1String(bridge->chip) == QLatin1String("PL2303"))
            return QStringLiteral("多半是仿制的 PL2303 芯片, Prolific 的新驱动不认它: "
                                  "换一个适配器 (CH340, FTDI 或 CP210x), 或装 Prolific 的旧版驱动.");
        return QStringLiteral("拔下适配器再插上; 还不行就重装它的驱动.");
    case kDisabled: return QStringLiteral("在设备管理器中右键点它, 选 启用设备.");
    default: return QStringLiteral("在设备管理器中查看它.");
    }
}

QString problemText(int problem)
{
    switch (problem) {
    case kNoDriver: return QStringLiteral("没有安装驱动");
    case kCannotStart: return QStringLiteral("的驱动不能启动它");
    case kDisabled: return QStringLiteral("被停用了");
    default: return QStringLiteral("出了问题");
    }
}

QString troubleLine(const WindowsDevice &device)
{
    const QString kind = onUsb(device) ? QStringLiteral("USB 串口适配器") : QStringLiteral("串口设备");
    const QString port = device.portName.isEmpty() ? QString() : device.portName + QStringLiteral(": ");
    QString name = device.name;   // "USB Serial Port (COM3)" names its port already
    if (!device.portName.isEmpty() && name.endsWith(QStringLiteral(" (%1)").arg(device.portName)))
        name.chop(device.portName.size() + 3);
    return QStringLiteral("%1%2 (%3) %4 (设备管理器代码 %5): ")
               .arg(port, kind, name, problemText(device.problem), QString::number(device.problem))
        + remedy(device);
}

QList<WindowsDevice> faulty(const QList<WindowsDevice> &devices)
{
    QList<WindowsDevice> found;
    for (const WindowsDevice &device : devices)
        if (device.problem != 0 && isSerialAdapter(device))
            found << device;
    return found;
}

QString troubleAt(const QList<WindowsDevice> &faultyDevices, const QString &location)
{
    for (const WindowsDevice &device : faultyDevices)
        if (device.portName.compare(location, Qt::CaseInsensitive) == 0)
            return troubleLine(device);
    return {};
}

QStringList troubleLines(const QList<WindowsDevice> &faultyDevices)
{
    QStringList lines;
    for (const WindowsDevice &device : faultyDevices)
        lines << troubleLine(device);
    return lines;
}

}   // namespace

// Each question enumerates the device tree afresh; a survey does it once.
PortTroubles windowsPortTroubles(std::function<QList<WindowsDevice>()> devices)
{
    PortTroubles troubles;
    troubles.at = [devices](const QString &location) { return troubleAt(faulty(devices()), location); };
    troubles.adaptersWithoutPort = [devices] { return troubleLines(faulty(devices())); };
    troubles.survey = [devices](const QStringList &locations) {
        const QList<WindowsDevice> found = faulty(devices());
        TroubleSurvey survey;
        for (const QString &location : locations)
            survey.at.insert(location, troubleAt(found, location));
        survey.stranded = troubleLines(found);
        return survey;
    };
    return troubles;
}
