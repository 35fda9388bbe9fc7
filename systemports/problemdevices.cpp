#include "systemports/problemdevices.h"

#include <algorithm>

namespace {

constexpr int kNoDriver = 28;
constexpr int kCannotStart = 10;
constexpr int kDisabled = 22;

const QLatin1String kPortsClass("{4d36e978-e325-11ce-bfc1-08002be10318}");

struct Maker {
    const char *vendorId;   // as hardware ids write it: "VID_1A86"
    const char *driver;     // where its driver comes from
};

const Maker kMakers[] = {
    {"VID_0403", "FTDI 的 VCP 驱动"},
    {"VID_1A86", "WCH 的 CH341SER 驱动"},
    {"VID_067B", "Prolific 的 PL2303 驱动"},
    {"VID_10C4", "Silicon Labs 的 CP210x VCP 驱动"},
};

const Maker *makerOf(const WindowsDevice &device)
{
    for (const Maker &maker : kMakers)
        for (const QString &id : device.hardwareIds)
            if (id.contains(QLatin1String(maker.vendorId), Qt::CaseInsensitive))
                return &maker;
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
    return makerOf(device) || isCdcAcm(device)
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
    const Maker *maker = makerOf(device);
    switch (device.problem) {
    case kNoDriver:
        return QStringLiteral("装上 %1, 再拔插适配器.")
            .arg(maker ? QString::fromUtf8(maker->driver) : QStringLiteral("设备厂家的驱动"));
    case kCannotStart:
        if (maker && QLatin1String(maker->vendorId) == QLatin1String("VID_067B"))
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
