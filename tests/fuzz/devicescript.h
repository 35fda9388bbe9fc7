#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// What the device and the line do about one message the host sends.
struct DeviceAction {
    QByteArray answer;         // the bytes the device sends back; empty for silence
    double delay = 0;          // seconds after the message was sent
    double drainSeconds = 0;   // how long the message takes to leave the port
    bool lineFails = false;    // the line dies as the message is written
};

// Decodes a fuzzer's bytes into a download scenario: the program's length, a
// port that may refuse to open, and the device's behaviour message by
// message. Once the bytes run out, the device answers every message at once.
class DeviceScript {
public:
    static constexpr int kMaxWords = 40;
    static constexpr double kPromptDelay = 0.48;   // answers this soon are inside the 0.5 s wait
    static constexpr double kLateFrom = 0.51;      // answers this late are past it
    static constexpr double kLateSpan = 1.0;
    static constexpr double kLongestDrain = 4.0;   // past the host's 2 s for a stuck line

    DeviceScript(const std::uint8_t *data, std::size_t size);

    int wordCount() const { return wordCount_; }
    bool portRefuses() const { return portRefuses_; }
    quint16 word(int index) const;
    DeviceAction next();

private:
    enum Kind {
        Silence,        // no answer
        Prompt,         // 0x06 inside the 0.5 s wait
        Late,           // 0x06 past it
        OtherByte,      // one byte that is not 0x06
        AckThenOther,   // 0x06 and another byte in one go
        OtherThenAck,   // another byte and 0x06 in one go
        LineFails,      // the line dies as the message is written
        SlowDrain,      // the message takes up to 4 s to leave; 0x06 soon after it was sent
        Kinds
    };

    std::uint8_t take();
    static char notAck(std::uint8_t byte);
    static double fraction(std::uint8_t byte) { return byte / 256.0; }

    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
    int wordCount_ = 0;
    bool portRefuses_ = false;
    std::uint32_t wordSeed_ = 0;
};
