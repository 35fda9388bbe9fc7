#include "serial/portdescription.h"

#ifdef Q_OS_WIN
#include "serial/windowsportnames.h"
#else
#include <QSerialPortInfo>
#endif

namespace {

// What the system calls the device at `location`, if it says.
QString systemDescription(const QString &location)
{
#ifdef Q_OS_WIN
    return windowsFriendlyName(location);
#else
    return QSerialPortInfo(location).description();
#endif
}

}   // namespace

QString describePort(const PortMapping &mapping, int portNo)
{
    const QString location = mapping ? mapping(portNo) : QString();
    if (location.isEmpty())
        return QStringLiteral("串口 %1: 没有这个串口").arg(portNo);
    const QString description = systemDescription(location);
    if (description.isEmpty())
        return QStringLiteral("串口 %1: %2").arg(portNo).arg(location);
#ifdef Q_OS_WIN
    return QStringLiteral("串口 %1: %2").arg(portNo).arg(description);   // "USB Serial Port (COM3)"
#else
    return QStringLiteral("串口 %1: %2 (%3)").arg(portNo).arg(location, description);
#endif
}
