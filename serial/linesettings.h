#pragma once

#include <QString>

#include <optional>

// A settings text such as "9600,n,8,1": speed, parity, data bits, stop bits.
struct LineSettings {
    enum class Parity {
        None,
        Even,
        Odd,
        Mark,
        Space
    };
    enum class StopBits {
        One,
        OneAndHalf,
        Two
    };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    static std::optional<LineSettings> parse(const QString &text);
};
