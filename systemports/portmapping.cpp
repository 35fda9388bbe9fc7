#include "systemports/portmapping.h"

#include "systemports/systemports.h"

#include <algorithm>

namespace {

qsizetype digitRunEnd(const QString &s, qsizetype from)
{
    while (from < s.size() && s.at(from).isDigit())
        ++from;
    return from;
}

}   // namespace

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

PortMapping portOneAt(std::function<QString()> where)
{
    return [where = std::move(where)](int portNo) { return portNo == 1 ? where() : QString(); };
}

QString portAmong(QStringList locations, int portNo)
{
    if (portNo < 1 || portNo > locations.size())
        return {};
    std::sort(locations.begin(), locations.end(), naturalPortOrder);
    return locations.at(portNo - 1);
}

PortMapping numberedInListOrder(PortList ports)
{
    return [ports = std::move(ports)](int portNo) {
        QStringList locations;
        for (const SystemPort &port : ports())
            locations << port.location;
        return portAmong(locations, portNo);
    };
}
