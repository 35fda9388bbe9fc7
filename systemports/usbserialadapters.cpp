#include "systemports/usbserialadapters.h"

#include "systemports/kernelreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

struct Bridge {
    const char *chip;
    const char *module;
};

// The makers of the serial bridges in most adapters, by USB vendor id.
const QHash<QString, Bridge> &bridgeMakers()
{
    static const QHash<QString, Bridge> makers{
        {QStringLiteral("0403"), {"FTDI", "ftdi_sio"}},
        {QStringLiteral("1a86"), {"CH340", "ch341"}},
        {QStringLiteral("067b"), {"PL2303", "pl2303"}},
        {QStringLiteral("10c4"), {"CP210x", "cp210x"}},
    };
    return makers;
}

constexpr Bridge kCdcAcm{"", "cdc_acm"};

bool isCdcAcmInterface(const QString &interfaceDir)
{
    return kernelReportLine(interfaceDir + QStringLiteral("/bInterfaceClass")) == QLatin1String("02")
        && kernelReportLine(interfaceDir + QStringLiteral("/bInterfaceSubClass")) == QLatin1String("02");
}

QString adapterName(const Bridge &bridge, const QString &product)
{
    const QString chip = QLatin1String(bridge.chip);
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

QList<StrandedAdapter> strandedUsbAdapters(const QString &sysfsRoot)
{
    const QDir devices(sysfsRoot + QStringLiteral("/bus/usb/devices"));
    QList<StrandedAdapter> stranded;
    QStringList seen;   // one line per adapter, however many interfaces it has
    // Interfaces are named BUS-PORT:CONFIG.INTERFACE; USB devices have no colon.
    for (const QString &name : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!name.contains(QLatin1Char(':')))
            continue;
        const QString interfaceDir = QFileInfo(devices.filePath(name)).canonicalFilePath();
        const QString deviceDir = QFileInfo(interfaceDir).path();
        const QString vendor = kernelReportLine(deviceDir + QStringLiteral("/idVendor")).toLower();
        const bool cdcAcm = isCdcAcmInterface(interfaceDir);
        if (!bridgeMakers().contains(vendor) && !cdcAcm)
            continue;
        const QString driver = QFileInfo(interfaceDir + QStringLiteral("/driver")).symLinkTarget();
        const QString driverName = QFileInfo(driver).fileName();
        const bool usbfs = driverName == QLatin1String("usbfs");
        if ((!driver.isEmpty() && !usbfs) || seen.contains(deviceDir))
            continue;
        seen << deviceDir;
        const Bridge bridge = bridgeMakers().value(vendor, kCdcAcm);
        stranded.append({adapterName(bridge, kernelReportLine(deviceDir + QStringLiteral("/product"))),
                         QLatin1String(bridge.module), usbDeviceFile(deviceDir), usbfs});
    }
    return stranded;
}
