#include "referencehost.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr std::uint8_t kStart = 0x02;
constexpr std::uint8_t kPreambleByte = 0xAA;
constexpr std::size_t kPreambleLength = 100;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kHandshake[] = {kStart, 'K', 'D', '7'};
constexpr std::uint8_t kEndMarker[] = {kStart, 'E', 'N', 'D'};
constexpr std::size_t kReadChunk = 64;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}   // namespace

int ReferenceHost::download(const std::vector<std::uint16_t> &words)
{
    if (!open())
        return 0;
    int acknowledged = 0;
    if (handshake()) {
        const std::size_t frames = words.size() + 1;   // the last carries 0
        while (std::size_t(acknowledged) < frames
               && sendFrame(std::size_t(acknowledged) < words.size() ? words[acknowledged] : 0))
            ++acknowledged;
        if (std::size_t(acknowledged) == frames)
            sendEndMarker();
    }
    close();
    return acknowledged;
}

// 9600 baud, 8 data bits, no parity, one stop bit, raw, no flow control.
bool ReferenceHost::open()
{
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) {
        error_ = path_ + ": " + std::strerror(errno);
        close();
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0 || ::tcflush(fd_, TCIOFLUSH) != 0) {
        error_ = path_ + ": " + std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void ReferenceHost::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool ReferenceHost::handshake()
{
    std::uint8_t wakeUp[kPreambleLength + sizeof kHandshake];
    std::memset(wakeUp, kPreambleByte, kPreambleLength);
    std::memcpy(wakeUp + kPreambleLength, kHandshake, sizeof kHandshake);
    return exchange(wakeUp, sizeof wakeUp);
}

bool ReferenceHost::sendFrame(std::uint16_t word)
{
    const std::uint8_t low = word & 0xFF;
    const std::uint8_t high = word >> 8;
    const std::uint8_t frame[] = {kStart, low, high, std::uint8_t(high ^ low)};
    return exchange(frame, sizeof frame);
}

bool ReferenceHost::exchange(const std::uint8_t *bytes, std::size_t length)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!writeAll(bytes, length))
            return false;
        if (awaitAcknowledgement())
            return true;
    }
    error_ = "no acknowledgement after " + std::to_string(kAttempts) + " attempts";
    return false;
}

bool ReferenceHost::writeAll(const std::uint8_t *bytes, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, bytes + done, length - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            error_ = std::string("write: ") + std::strerror(errno);
            return false;
        }
        pollfd watch{fd_, POLLOUT, 0};
        ::poll(&watch, 1, kAckWaitMs);
    }
    return true;
}

// Acknowledged when the last byte read at a look is 0x06.
bool ReferenceHost::awaitAcknowledgement()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAckWaitMs);
    for (;;) {
        pollfd watch{fd_, POLLIN, 0};
        const int ready = ::poll(&watch, 1, millisecondsUntil(deadline));
        if (ready == 0)
            return false;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || !(watch.revents & POLLIN))
            return false;   // hung up or failed
        std::uint8_t buffer[kReadChunk];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got > 0 && buffer[got - 1] == kAck)
            return true;
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        if (millisecondsUntil(deadline) == 0)
            return false;   // a device that keeps talking does not hold the wait open
    }
}

// No answer comes to the end marker; tcdrain lets it leave before the close.
void ReferenceHost::sendEndMarker()
{
    if (writeAll(kEndMarker, sizeof kEndMarker))
        ::tcdrain(fd_);
}
