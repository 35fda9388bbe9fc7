#include "systemports/sysfsports.h"

#include "systemports/kernelreport.h"
#include "systemports/portmapping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// 8250's PORT_UNKNOWN: a port kept for a UART that was never found.
constexpr int kPlaceholderType = 0;

// Serial ports whose tty has no device behind it: Bluetooth (rfcomm),
// virtual null modems (tnt) and USB gadget ports (ttyGS).
bool isVirtualSerialPort(const QString &name)
{
    for (const char *prefix : {"rfcomm", "tnt", "ttyGS"})
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

bool isPlaceholder(const QString &ttyDir)
{
    bool isNumber = false;
    const int type = kernelReportLine(ttyDir + QStringLiteral("/type")).toInt(&isNumber);
    return isNumber && type == kPlaceholderType;
}

// The product name of the USB device the port belongs to, if it is on USB.
QString usbProductOf(const QString &devicePath, const QString &root)
{
    for (QDir dir(devicePath); dir.absolutePath().startsWith(root + QLatin1Char('/')); dir.cdUp()) {
        if (dir.exists(QStringLiteral("idVendor")))
            return kernelReportLine(dir.filePath(QStringLiteral("product")));
    }
    return {};
}

}   // namespace

QList<SystemPort> sysfsSerialPorts(const QString &sysfsRoot)
{
    const QString root = QFileInfo(sysfsRoot).canonicalFilePath();
    const QDir ttys(root + QStringLiteral("/class/tty"));
    QList<SystemPort> ports;
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString ttyDir = ttys.filePath(name);
        const QFileInfo device(ttyDir + QStringLiteral("/device"));
        const bool served
            = device.exists() && QFileInfo::exists(device.filePath() + QStringLiteral("/driver"));
        if (served ? isPlaceholder(ttyDir) : !isVirtualSerialPort(name))
            continue;
        const QString product = served ? usbProductOf(device.canonicalFilePath(), root) : QString();
        ports.append({QStringLiteral("/dev/") + name, product, std::nullopt});
    }
    std::sort(ports.begin(), ports.end(), [](const SystemPort &a, const SystemPort &b) {
        return naturalPortOrder(a.location, b.location);
    });
    return ports;
}
