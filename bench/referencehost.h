#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The least a host can do for a download, for comparison: plain termios and
// poll(), no event loop, no window. One write, one poll and one read a frame.
// It keeps the same rules as the tool (0.5 s wait, ten attempts, the last
// byte read must be 0x06) so the two do the same work on a good line.
class ReferenceHost {
public:
    static constexpr int kAttempts = 10;
    static constexpr int kAckWaitMs = 500;

    explicit ReferenceHost(std::string path) : path_(std::move(path)) {}
    ~ReferenceHost() { close(); }
    ReferenceHost(const ReferenceHost &) = delete;
    ReferenceHost &operator=(const ReferenceHost &) = delete;

    // Frames acknowledged, as the tool counts them: words + 1 when all went
    // through, 0 when the port did not open or the handshake went unanswered.
    int download(const std::vector<std::uint16_t> &words);
    const std::string &error() const { return error_; }

private:
    bool open();
    void close();
    bool handshake();
    bool sendFrame(std::uint16_t word);
    bool exchange(const std::uint8_t *bytes, std::size_t length);
    bool writeAll(const std::uint8_t *bytes, std::size_t length);
    bool awaitAcknowledgement();
    void sendEndMarker();

    std::string path_;
    std::string error_;
    int fd_ = -1;
};
