#include "image/filenamebytes.h"

#include <QStringView>

namespace {

constexpr char16_t kKeptByte = 0xDC00;   // U+DC80 keeps the byte 0x80, U+DCFF the byte 0xFF

bool isKeptByte(const QString &name, qsizetype at)
{
    const char16_t c = name.at(at).unicode();
    return c >= kKeptByte + 0x80 && c <= kKeptByte + 0xFF && (at == 0 || !name.at(at - 1).isHighSurrogate());
}

}   // namespace

QString fileNameFromBytes(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        return text;
    QString kept;
    kept.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = char16_t(quint8(byte));
        kept += QChar(value < 0x80 ? value : char16_t(kKeptByte + value));
    }
    return kept;
}

QByteArray fileNameBytes(const QString &name)
{
    QByteArray bytes;
    qsizetype textFrom = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (!isKeptByte(name, at))
            continue;
        bytes += QStringView(name).mid(textFrom, at - textFrom).toUtf8();
        bytes += char(name.at(at).unicode() - kKeptByte);
        textFrom = at + 1;
    }
    return bytes + QStringView(name).mid(textFrom).toUtf8();
}
