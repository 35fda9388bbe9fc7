#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The least a host can do for a download, for comparison: plain termios and
// poll(), no event loop, no window; one write, one poll and one read a frame.
// It keeps the same rules as the tool (0.5 s wait, ten attempts, the last
// byte read must be 0x06) so the two do the same work on a good line.
// Returns the frames acknowledged, as the tool counts them: words + 1 when
// all went through, 0 when the port did not open or the handshake went
// unanswered; `error` says why it stopped short.
int referenceDownload(const std::string &path, const std::vector<std::uint16_t> &words, std::string &error);
