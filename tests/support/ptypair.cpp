#include "tests/support/ptypair.h"

#include "kd7sim/terminal.h"

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kWriteMs = 1000;        // far beyond what a line takes to accept a message
constexpr int kCloselyMs = 20;        // bytes this soon after others belong with them
constexpr int kMostGatherMs = 1000;   // an end that never stops writing is read no longer than this

// Whether bytes wait at `fd` within `milliseconds`.
bool readable(int fd, int milliseconds)
{
    pollfd watch{fd, POLLIN, 0};
    return milliseconds > 0 && ::poll(&watch, 1, milliseconds) > 0 && (watch.revents & POLLIN);
}

}   // namespace

TerminalEnd::TerminalEnd(int fd) : fd_(fd)
{
    if (fd_ >= 0)
        Terminal::setNonBlockingAndPrivate(fd_);
}

bool TerminalEnd::open(const std::string &path, bool raw)
{
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return fd_ >= 0 && (!raw || Terminal::makeRaw(fd_));
}

void TerminalEnd::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TerminalEnd::write(const QByteArray &bytes)
{
    const QDeadlineTimer deadline(kWriteMs);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = fd_ < 0 ? -1 : ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        pollfd watch{fd_, POLLOUT, 0};
        if (n > 0)
            done += n;
        else if (fd_ < 0 || (n < 0 && errno != EAGAIN && errno != EINTR)
                 || ::poll(&watch, 1, int(deadline.remainingTime())) <= 0)
            return false;   // no line, a failed one, or an other end that takes nothing
    }
    return true;
}

QByteArray TerminalEnd::read(int milliseconds, int expected, int *reads)
{
    QByteArray got;
    int count = 0;
    const QDeadlineTimer deadline(milliseconds);
    const QDeadlineTimer gatherDeadline(milliseconds + kMostGatherMs);
    while (fd_ >= 0 && (expected <= 0 || got.size() < expected) && !gatherDeadline.hasExpired()) {
        const bool gathering = expected <= 0 && !got.isEmpty();
        if (!readable(fd_, gathering ? kCloselyMs : int(deadline.remainingTime())))
            break;
        char buffer[512];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, qsizetype(n));
        ++count;
    }
    if (reads)
        *reads = count;
    return got;
}

int TerminalEnd::unread(int milliseconds)
{
    int count = 0;
    if (fd_ < 0 || !readable(fd_, milliseconds) || ::ioctl(fd_, FIONREAD, &count) != 0)
        return 0;
    return count;
}

bool TerminalEnd::waitForHangUp(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    pollfd watch{fd_, POLLIN, 0};
    while (fd_ >= 0 && ::poll(&watch, 1, int(deadline.remainingTime())) > 0) {
        char byte = 0;
        const ssize_t n = (watch.revents & (POLLHUP | POLLERR)) ? 0 : ::read(fd_, &byte, 1);
        if (n == 0 || (n < 0 && errno == EIO))
            return true;
    }
    return false;
}

PtyPair::PtyPair() : PtyPair(Terminal::openPseudoTerminal()) {}

PtyPair::PtyPair(const Terminal::PseudoTerminal &pty)
    : controlling_(pty.master),
      path_(QString::fromStdString(pty.path))
{
    if (isValid())
        keptDeviceEnd_.open(pty.path);
}

void PtyPair::hangUp()
{
    keptDeviceEnd_.close();
    controlling_.close();
}
