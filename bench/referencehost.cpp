#include "referencehost.h"

#include "kd7sim/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr std::uint8_t kStart = 0x02;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kPreambleByte = 0xAA;
constexpr std::size_t kPreambleLength = 100;
constexpr std::uint8_t kHandshake[] = {kStart, 'K', 'D', '7'};
constexpr std::uint8_t kEndMarker[] = {kStart, 'E', 'N', 'D'};
constexpr int kAttempts = 10;
constexpr int kAckWaitMs = 500;
constexpr std::size_t kReadChunk = 64;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// 9600 baud, 8 data bits, no parity, one stop bit, raw, no flow control,
// as the simulated device sets its own end; nothing left from before.
bool setUp(int fd) { return Terminal::makeRaw(fd) && ::tcflush(fd, TCIOFLUSH) == 0; }

bool writeAll(int fd, const std::uint8_t *bytes, std::size_t length, std::string &error)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            error = std::string("write: ") + std::strerror(errno);
            return false;
        }
        pollfd watch{fd, POLLOUT, 0};
        ::poll(&watch, 1, kAckWaitMs);
    }
    return true;
}

// Acknowledged when the last byte read at a look is 0x06.
bool awaitAcknowledgement(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAckWaitMs);
    for (;;) {
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, millisecondsUntil(deadline));
        if (ready == 0)
            return false;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || !(watch.revents & POLLIN))
            return false;   // hung up or failed
        std::uint8_t buffer[kReadChunk];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0 && buffer[got - 1] == kAck)
            return true;
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        if (millisecondsUntil(deadline) == 0)
            return false;   // a device that keeps talking does not hold the wait open
    }
}

// Sends the bytes until they are acknowledged, at most kAttempts times.
bool exchange(int fd, const std::uint8_t *bytes, std::size_t length, std::string &error)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!writeAll(fd, bytes, length, error))
            return false;
        if (awaitAcknowledgement(fd))
            return true;
    }
    error = "no acknowledgement after " + std::to_string(kAttempts) + " attempts";
    return false;
}

// The handshake, every frame and the end marker; the frames acknowledged.
int sendProgram(int fd, const std::vector<std::uint16_t> &words, std::string &error)
{
    std::uint8_t wakeUp[kPreambleLength + sizeof kHandshake];
    std::memset(wakeUp, kPreambleByte, kPreambleLength);
    std::memcpy(wakeUp + kPreambleLength, kHandshake, sizeof kHandshake);
    if (!exchange(fd, wakeUp, sizeof wakeUp, error))
        return 0;
    const std::size_t frames = words.size() + 1;   // the last carries 0
    for (std::size_t sent = 0; sent < frames; ++sent) {
        const std::uint16_t word = sent < words.size() ? words[sent] : 0;
        const std::uint8_t low = word & 0xFF;
        const std::uint8_t high = word >> 8;
        const std::uint8_t frame[] = {kStart, low, high, std::uint8_t(high ^ low)};
        if (!exchange(fd, frame, sizeof frame, error))
            return int(sent);
    }
    // No answer comes to the end marker; tcdrain lets it leave before the close.
    if (writeAll(fd, kEndMarker, sizeof kEndMarker, error))
        ::tcdrain(fd);
    return int(frames);
}

}   // namespace

int referenceDownload(const std::string &path, const std::vector<std::uint16_t> &words, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || !setUp(fd)) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    const int acknowledged = sendProgram(fd, words, error);
    ::close(fd);
    return acknowledged;
}
