#include "image/objectfilereader.h"

#include <QFile>

ParsedObjectFile ObjectFileReader::read(const QString &path)
{
    ParsedObjectFile failed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failed.error = file.errorString();
        return failed;
    }
    if (file.size() > kMaxFileBytes) {
        failed.error = QStringLiteral("file too large for a program");
        return failed;
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes || file.error() != QFile::NoError) {
        failed.error = file.errorString();
        return failed;
    }
    return ObjectFileParser::parse(text);
}
