#include "cli/jsonline.h"

#include <QJsonDocument>

QString jsonLine(const QJsonObject &object)
{
    const QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString ascii;
    ascii.reserve(json.size() + 1);
    for (const QChar c : json) {
        if (c.unicode() < 0x80)
            ascii += c;
        else
            ascii += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return ascii + QLatin1Char('\n');
}
