#include "serial/systemports.h"

#include "serial/portmapping.h"

#include <QSerialPortInfo>

#include <algorithm>

QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), std::nullopt});
    std::sort(ports.begin(), ports.end(), [](const SystemPort &a, const SystemPort &b) {
        return naturalPortOrder(a.location, b.location);
    });
    return ports;
}

// Port n is the n-th of the ports the port window lists, by the same look.
QString systemPortFor(int portNo)
{
    QStringList locations;
    for (const SystemPort &port : systemPorts())
        locations << port.location;
    return portAmong(locations, portNo);
}

// Port n is the n-th port by device name, so a port comes within the first
// four when fewer ports stand before it.
QString renumberingAdvice()
{
    return QStringLiteral(
        "串口按设备名排序编号, 只有前四个能选:\n"
        "拔掉不用的 USB 串口适配器, 或在 BIOS 中关闭不用的板载串口, 要用的串口就会排进前四个.");
}
