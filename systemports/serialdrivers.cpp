#include "systemports/serialdrivers.h"

#include "systemports/serialbridges.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <fnmatch.h>
#include <sys/utsname.h>

namespace {

// "kernel/drivers/usb/serial/ftdi_sio.ko.xz" is module ftdi_sio; modules
// are named with underscores where their files may have dashes.
QString moduleName(const QByteArray &path)
{
    const QString file = QFileInfo(QString::fromUtf8(path)).fileName();
    return file.left(file.indexOf(QLatin1String(".ko"))).replace(QLatin1Char('-'), QLatin1Char('_'));
}

QSet<QString> serialModules(const QString &depFile)
{
    QSet<QString> modules;
    QFile file(depFile);
    if (!file.open(QIODevice::ReadOnly))
        return modules;
    while (!file.atEnd()) {
        const QByteArray path = file.readLine().split(':').first();
        const QString name = moduleName(path);
        if (path.contains("/drivers/usb/serial/") || name == QLatin1String("cdc_acm"))
            modules.insert(name);
    }
    return modules;
}

}   // namespace

SerialDrivers::SerialDrivers(const QString &kernelModules) : folder_(kernelModules) {}

void SerialDrivers::readLists()
{
    read_ = true;
    QFile aliases(folder_ + QStringLiteral("/modules.alias"));
    listed_ = aliases.open(QIODevice::ReadOnly);
    const QSet<QString> serial
        = listed_ ? serialModules(folder_ + QStringLiteral("/modules.dep")) : QSet<QString>();
    while (listed_ && !aliases.atEnd()) {
        // "alias usb:v0403p6001d*dc*dsc*dp*ic*isc*ip*in* ftdi_sio"
        const QList<QByteArray> fields = aliases.readLine().simplified().split(' ');
        if (fields.size() == 3 && fields.at(1).startsWith("usb:")
            && serial.contains(QString::fromUtf8(fields.at(2))))
            patterns_.append({fields.at(1), QString::fromUtf8(fields.at(2))});
    }
}

// The ids in the modalias: vendor (vNNNN), product (pNNNN) and interface
// number (inNN), in hexadecimal.
const SerialBridge *serialBridgeOf(const QString &modalias)
{
    const QRegularExpression ids(QStringLiteral("^usb:v([0-9A-F]{4})p([0-9A-F]{4}).*in([0-9A-F]{2})$"));
    const QRegularExpressionMatch read = ids.match(modalias);
    if (!read.hasMatch())
        return nullptr;
    return serialBridgeFor(read.captured(1).toUInt(nullptr, 16), read.captured(2).toUInt(nullptr, 16),
                           read.captured(3).toInt(nullptr, 16));
}

QString SerialDrivers::moduleFor(const QString &modalias)
{
    if (!read_)
        readLists();
    if (!listed_) {
        const SerialBridge *bridge = serialBridgeOf(modalias);
        return bridge ? QLatin1String(bridge->linuxModule) : QString();
    }
    const QByteArray alias = modalias.toUtf8();
    for (const auto &[pattern, module] : patterns_)
        if (::fnmatch(pattern.constData(), alias.constData(), 0) == 0)
            return module;
    return {};
}

QString runningKernelModules()
{
    utsname kernel = {};
    if (::uname(&kernel) != 0)
        return {};
    return QStringLiteral("/lib/modules/") + QString::fromLocal8Bit(kernel.release);
}
