#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// A settings text such as "9600,n,8,1": speed, parity, data bits, stop bits.
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static std::optional<LineSettings> parse(const QString &text);
};
