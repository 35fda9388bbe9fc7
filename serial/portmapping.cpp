#include "serial/portmapping.h"

#include <algorithm>

namespace {

qsizetype digitRunEnd(const QString &s, qsizetype from)
{
    while (from < s.size() && s.at(from).isDigit())
        ++from;
    return from;
}

} // namespace

bool naturalPortOrder(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            const qsizetype ie = digitRunEnd(a, i);
            const qsizetype je = digitRunEnd(b, j);
            const qulonglong x = a.mid(i, ie - i).toULongLong();
            const qulonglong y = b.mid(j, je - j).toULongLong();
            if (x != y)
                return x < y;
            i = ie;
            j = je;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

QList<QSerialPortInfo> orderedSystemPorts()
{
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return naturalPortOrder(a.systemLocation(), b.systemLocation());
    });
    return ports;
}

QString systemPortFor(int portNo)
{
    if (portNo < 1)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNo);
#else
    const QList<QSerialPortInfo> ports = orderedSystemPorts();
    if (portNo > ports.size())
        return {};
    return ports.at(portNo - 1).systemLocation();
#endif
}
