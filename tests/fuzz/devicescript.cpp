#include "tests/fuzz/devicescript.h"

namespace {
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr double kEarliestAnswer = 0.001;   // an answer never arrives the instant a message leaves
constexpr int kRefusingPortOneIn = 16;
constexpr std::uint32_t kWordMultiplier = 2654435761u;   // spreads the seed over all 16 bits
}   // namespace

DeviceScript::DeviceScript(const std::uint8_t *data, std::size_t size) : data_(data), size_(size)
{
    wordCount_ = take() % (kMaxWords + 1);
    portRefuses_ = take() % kRefusingPortOneIn == kRefusingPortOneIn - 1;
    wordSeed_ = take();
}

std::uint8_t DeviceScript::take() { return at_ < size_ ? data_[at_++] : 0; }

quint16 DeviceScript::word(int index) const
{
    return quint16((std::uint32_t(index) + wordSeed_) * kWordMultiplier >> 16);
}

// Any byte but the acknowledgement.
char DeviceScript::notAck(std::uint8_t byte) { return char(byte) == kAck ? kNak : char(byte); }

DeviceAction DeviceScript::next()
{
    if (at_ >= size_)
        return {QByteArray(1, kAck), kEarliestAnswer, 0, false};
    const int kind = take() % Kinds;
    const std::uint8_t parameter = take();
    const double prompt = kEarliestAnswer + fraction(parameter) * (kPromptDelay - kEarliestAnswer);
    switch (kind) {
    case Silence: return {};
    case Prompt: return {QByteArray(1, kAck), prompt, 0, false};
    case Late: return {QByteArray(1, kAck), kLateFrom + fraction(parameter) * kLateSpan, 0, false};
    case OtherByte: return {QByteArray(1, notAck(parameter)), prompt, 0, false};
    case AckThenOther: return {QByteArray(1, kAck) + notAck(parameter), prompt, 0, false};
    case OtherThenAck: return {QByteArray(1, char(parameter)) + kAck, prompt, 0, false};
    case LineFails: return {{}, 0, 0, true};
    default: return {QByteArray(1, kAck), prompt, fraction(parameter) * kLongestDrain, false};
    }
}
