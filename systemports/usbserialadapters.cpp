#include "systemports/usbserialadapters.h"

#include "systemports/kernelreport.h"
#include "systemports/serialdrivers.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool isCdcAcmInterface(const QString &interfaceDir)
{
    return kernelReportLine(interfaceDir + QStringLiteral("/bInterfaceClass")) == QLatin1String("02")
        && kernelReportLine(interfaceDir + QStringLiteral("/bInterfaceSubClass")) == QLatin1String("02");
}

// A serial driver puts the interface's tty below it: ttyUSB0 (USB serial
// converters) or tty/ttyACM0 (CDC-ACM).
bool hasTty(const QString &interfaceDir)
{
    return !QDir(interfaceDir).entryList({QStringLiteral("tty*")}, QDir::Dirs).isEmpty();
}

// Interfaces are named BUS-PORT:CONFIG.INTERFACE; USB devices have no colon.
bool anyInterfaceHasTty(const QString &deviceDir)
{
    const QDir device(deviceDir);
    for (const QString &name : device.entryList({QStringLiteral("*:*")}, QDir::Dirs))
        if (hasTty(device.filePath(name)))
            return true;
    return false;
}

QString adapterName(const SerialBridge *bridge, const QString &product)
{
    const QString chip = bridge ? QLatin1String(bridge->chip) : QString();
    if (product.isEmpty())
        return chip;
    return chip.isEmpty() ? QStringLiteral("(%1)").arg(product)
                          : QStringLiteral("%1 (%2)").arg(chip, product);
}

QString usbDeviceFile(const QString &deviceDir)
{
    const int bus = kernelReportLine(deviceDir + QStringLiteral("/busnum")).toInt();
    const int device = kernelReportLine(deviceDir + QStringLiteral("/devnum")).toInt();
    return QStringLiteral("/dev/bus/usb/%1/%2")
        .arg(bus, 3, 10, QLatin1Char('0'))
        .arg(device, 3, 10, QLatin1Char('0'));
}

}   // namespace

QList<StrandedAdapter> strandedUsbAdapters(const QString &sysfsRoot, const QString &kernelModules)
{
    const QDir devices(sysfsRoot + QStringLiteral("/bus/usb/devices"));
    SerialDrivers drivers(kernelModules);
    QList<StrandedAdapter> stranded;
    QStringList seen;   // one line per adapter, however many interfaces it has
    for (const QString &name : devices.entryList({QStringLiteral("*:*")}, QDir::Dirs)) {
        const QString interfaceDir = QFileInfo(devices.filePath(name)).canonicalFilePath();
        const QString deviceDir = QFileInfo(interfaceDir).path();
        const QString driver = QFileInfo(interfaceDir + QStringLiteral("/driver")).symLinkTarget();
        const bool usbfs = QFileInfo(driver).fileName() == QLatin1String("usbfs");
        if ((!driver.isEmpty() && !usbfs) || seen.contains(deviceDir))
            continue;
        const QString modalias = kernelReportLine(interfaceDir + QStringLiteral("/modalias"));
        const QString module
            = isCdcAcmInterface(interfaceDir) ? QStringLiteral("cdc_acm") : drivers.moduleFor(modalias);
        if (module.isEmpty() || anyInterfaceHasTty(deviceDir))
            continue;
        seen << deviceDir;
        stranded.append(
            {adapterName(serialBridgeOf(modalias), kernelReportLine(deviceDir + QStringLiteral("/product"))),
             module, usbDeviceFile(deviceDir), usbfs,
             QFileInfo::exists(sysfsRoot + QStringLiteral("/module/") + module)});
    }
    return stranded;
}
