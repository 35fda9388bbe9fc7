#include "systemports/kernelreport.h"

#include <QFile>

QString kernelReportLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}
