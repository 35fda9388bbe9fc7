#include "cli/devicename.h"

#include <QFileInfo>

QString namedDevice(const QString &text) { return text.startsWith(QLatin1Char('/')) ? text : QString(); }

QString deviceIdentity(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    return target.isEmpty() ? device : target;
}
