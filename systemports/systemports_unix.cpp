#include "systemports/systemports.h"

#include "systemports/sysfsports.h"

QList<SystemPort> systemPorts() { return sysfsSerialPorts(QStringLiteral("/sys")); }

QString systemPortFor(int portNo) { return numberedInListOrder(systemPorts)(portNo); }

// Port n is the n-th port by device name, so a port comes within the first
// four when fewer ports stand before it.
QString renumberingAdvice()
{
    return QStringLiteral(
        "串口按设备名排序编号, 只有前四个能选:\n"
        "拔掉不用的 USB 串口适配器, 或在 BIOS 中关闭不用的板载串口, 要用的串口就会排进前四个.");
}
