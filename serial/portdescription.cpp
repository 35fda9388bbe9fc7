#include "serial/portdescription.h"

#include <QSerialPortInfo>

QString describePort(const PortMapping &mapping, int portNo)
{
    const QString location = mapping ? mapping(portNo) : QString();
    if (location.isEmpty())
        return QStringLiteral("串口 %1: 没有这个串口").arg(portNo);
    const QString description = QSerialPortInfo(location).description();
    if (description.isEmpty())
        return QStringLiteral("串口 %1: %2").arg(portNo).arg(location);
    return QStringLiteral("串口 %1: %2 (%3)").arg(portNo).arg(location, description);
}
