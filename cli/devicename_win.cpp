#include "cli/devicename.h"

#include <QRegularExpression>

// "COM7", also written "com7" or as the device path "\\.\COM7".
QString namedDevice(const QString &text)
{
    static const QRegularExpression com(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?(COM[1-9][0-9]*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(text);
    return match.hasMatch() ? match.captured(1).toUpper() : QString();
}

QString deviceIdentity(const QString &device) { return device.toUpper(); }
