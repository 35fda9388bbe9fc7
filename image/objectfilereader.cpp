#include "image/objectfilereader.h"

#include "image/regularfile.h"

ParsedObjectFile ObjectFileReader::read(const QString &path)
{
    const RegularFileRead file = readRegularFile(path, kMaxFileBytes + 1);
    ParsedObjectFile failed;
    if (!file.ok) {
        failed.error = file.error;
        return failed;
    }
    if (file.bytes.size() > kMaxFileBytes) {
        failed.error = QStringLiteral("文件太大, 不会是程序");
        return failed;
    }
    return ObjectFileParser::parse(file.bytes);
}
