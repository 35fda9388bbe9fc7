#include "serial/linesettings.h"

#include <QStringList>

namespace {

std::optional<QSerialPort::Parity> parityFrom(const QString &letter)
{
    const QString p = letter.trimmed().toLower();
    if (p == QLatin1String("n")) return QSerialPort::NoParity;
    if (p == QLatin1String("e")) return QSerialPort::EvenParity;
    if (p == QLatin1String("o")) return QSerialPort::OddParity;
    if (p == QLatin1String("m")) return QSerialPort::MarkParity;
    if (p == QLatin1String("s")) return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> stopBitsFrom(const QString &text)
{
    const QString s = text.trimmed();
    if (s == QLatin1String("1")) return QSerialPort::OneStop;
    if (s == QLatin1String("1.5")) return QSerialPort::OneAndHalfStop;
    if (s == QLatin1String("2")) return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

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
    s.dataBits = static_cast<QSerialPort::DataBits>(data);
    s.stopBits = *stop;
    return s;
}
