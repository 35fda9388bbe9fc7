#include "serial/linesettings.h"

#include <QStringList>

namespace {

using Parity = LineSettings::Parity;
using StopBits = LineSettings::StopBits;

std::optional<Parity> parityFrom(const QString &letter)
{
    const QString p = letter.trimmed().toLower();
    if (p == QLatin1String("n"))
        return Parity::None;
    if (p == QLatin1String("e"))
        return Parity::Even;
    if (p == QLatin1String("o"))
        return Parity::Odd;
    if (p == QLatin1String("m"))
        return Parity::Mark;
    if (p == QLatin1String("s"))
        return Parity::Space;
    return std::nullopt;
}

std::optional<StopBits> stopBitsFrom(const QString &text)
{
    const QString s = text.trimmed();
    if (s == QLatin1String("1"))
        return StopBits::One;
    if (s == QLatin1String("1.5"))
        return StopBits::OneAndHalf;
    if (s == QLatin1String("2"))
        return StopBits::Two;
    return std::nullopt;
}

}   // namespace

std::optional<LineSettings> LineSettings::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    bool okBaud = false;
    bool okData = false;
    const int baud = parts[0].trimmed().toInt(&okBaud);
    const int data = parts[2].trimmed().toInt(&okData);
    const auto parity = parityFrom(parts[1]);
    const auto stop = stopBitsFrom(parts[3]);
    if (!okBaud || baud <= 0 || !okData || data < 5 || data > 8 || !parity || !stop)
        return std::nullopt;
    LineSettings s;
    s.baudRate = baud;
    s.parity = *parity;
    s.dataBits = data;
    s.stopBits = *stop;
    return s;
}
