#include "kd7sim/simulateddevice.h"

#include "kd7sim/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>

namespace {

constexpr unsigned long kTimerSlackNs = 1;   // the least the kernel takes; 0 means its default

using Clock = std::chrono::steady_clock;

timespec timespecOf(Clock::duration wait)
{
    using namespace std::chrono;
    const auto whole = duration_cast<seconds>(wait);
    return {time_t(whole.count()), long(duration_cast<nanoseconds>(wait - whole).count())};
}

// The kernel may let a timed wait run on by the thread's timer slack (50 us
// by default) to group wake-ups; an answer's time is the device's behaviour,
// so this thread asks for none.
void wakeOnTime()
{
#ifdef PR_SET_TIMERSLACK
    ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0, 0, 0);
#endif
}

}   // namespace

SimulatedDevice::SimulatedDevice() : SimulatedDevice(FaultConfig()) {}

SimulatedDevice::SimulatedDevice(FaultConfig faults) : behaviour_(std::move(faults)) {}

SimulatedDevice::~SimulatedDevice() { stop(); }

bool SimulatedDevice::start() { return startLine(LineKind::PseudoTerminal, {}); }

bool SimulatedDevice::startOnDevice(const std::string &path) { return startLine(LineKind::SerialPort, path); }

bool SimulatedDevice::startLine(LineKind kind, const std::string &path)
{
    if (thread_.joinable()) {
        errno = EBUSY;
        return fail("already listening");
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        kind_ = kind;
        path_ = path;
        resetLineState();
    }
    return listen();
}

void SimulatedDevice::stop()
{
    stopThread();
    std::lock_guard<std::mutex> lock(mutex_);
    closeLine();
    resetLineState();
    changed_.notify_all();
}

bool SimulatedDevice::reopen()
{
    if (kind_ == LineKind::None) {
        errno = ENODEV;
        return fail("never started");
    }
    stopThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closeLine();
        resetLineState();
    }
    return listen();
}

bool SimulatedDevice::listen()
{
    if (!openLine())
        return false;
    startThread();
    return true;
}

bool SimulatedDevice::openLine()
{
    return kind_ == LineKind::PseudoTerminal ? openPseudoTerminal() : openSerialPort();
}

bool SimulatedDevice::openPseudoTerminal()
{
    const Terminal::PseudoTerminal pty = Terminal::openPseudoTerminal();
    if (pty.master < 0)
        return fail("cannot open a pseudo-terminal");
    const int master = pty.master;
    const std::string &path = pty.path;
    if (!Terminal::setNonBlockingAndPrivate(master)) {
        Terminal::closeKeepingErrno(master);
        return fail("cannot prepare the pseudo-terminal");
    }
    // Our own descriptor on the device end: without it the line hangs up each
    // time the host closes its port, and the master end then reports errors.
    const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0 || !Terminal::makeRaw(slave)) {
        if (slave >= 0)
            Terminal::closeKeepingErrno(slave);
        Terminal::closeKeepingErrno(master);
        return fail("cannot set up " + path);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    lineFd_ = master;
    keptSlaveFd_ = slave;
    path_ = path;
    return true;
}

bool SimulatedDevice::openSerialPort()
{
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot open " + path_);
    if (!Terminal::makeRaw(fd)) {
        Terminal::closeKeepingErrno(fd);
        return fail(path_ + " is not a usable serial port");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    lineFd_ = fd;
    return true;
}

void SimulatedDevice::closeLine()
{
    if (lineFd_ >= 0)
        ::close(lineFd_);
    if (keptSlaveFd_ >= 0)
        ::close(keptSlaveFd_);
    lineFd_ = -1;
    keptSlaveFd_ = -1;
}

bool SimulatedDevice::fail(const std::string &what)
{
    const std::string reason = std::strerror(errno);
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = what + ": " + reason;
    return false;
}

void SimulatedDevice::startThread()
{
    stopping_ = false;
    thread_ = std::thread(&SimulatedDevice::run, this);
}

void SimulatedDevice::stopThread()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

void SimulatedDevice::resetLineState()
{
    behaviour_.newLine();
    hungUp_ = false;
    hostHeldSince_.reset();
}

std::string SimulatedDevice::devicePath() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

std::string SimulatedDevice::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

bool SimulatedDevice::hungUp() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hungUp_;
}

void SimulatedDevice::setFaults(const FaultConfig &faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    behaviour_.setFaults(faults);
}

std::vector<std::uint16_t> SimulatedDevice::words() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::deque<Session> &sessions = behaviour_.sessions();
    return sessions.empty() ? std::vector<std::uint16_t>() : sessions.back().words;
}

std::vector<SimulatedDevice::Session> SimulatedDevice::sessions() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::deque<Session> &sessions = behaviour_.sessions();
    return {sessions.begin(), sessions.end()};
}

std::string SimulatedDevice::transcript() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return behaviour_.transcript();
}

std::string SimulatedDevice::sentBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return behaviour_.sentBytes();
}

SimulatedDevice::Counters SimulatedDevice::counters() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return behaviour_.counters();
}

bool SimulatedDevice::waitForEndMarker(double timeoutSeconds)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ended = [this] {
        const std::deque<Session> &sessions = behaviour_.sessions();
        return !sessions.empty() && sessions.back().endMarkerSeen;
    };
    changed_.wait_for(lock, DeviceBehaviour::delayOf(timeoutSeconds), [&] { return ended() || hungUp_; });
    return ended();
}

// The listening thread. Only it touches the line while it runs; the control
// calls stop it before they close or replace the line.
void SimulatedDevice::run()
{
    wakeOnTime();
    bool backOff = false;
    while (!stopping_) {
        if (lineFd_ < 0 || backOff) {
            // No line, or it failed (nobody holds the far end): wait out one
            // interval rather than asking again at once and spinning.
            backOff = false;
            ::poll(nullptr, 0, kPollIntervalMs);
            continue;
        }
        pollfd watch{lineFd_, POLLIN, 0};
        timespec timeout{};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!behaviour_.outgoing().empty())
                watch.events |= POLLOUT;
            timeout = timespecOf(pollTimeout());
        }
        if (::ppoll(&watch, 1, &timeout, nullptr) < 0 && errno != EINTR) {
            backOff = true;
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (watch.revents & POLLIN)
            backOff = !readAvailable();
        else if (watch.revents & (POLLHUP | POLLERR | POLLNVAL))
            backOff = true;
        behaviour_.queueDueAnswers(Clock::now());
        if (behaviour_.hangsUpAfterAnswer())
            hangUpOnceAnswerRead();
        flushOutgoing();
    }
}

// Wakes for the next delayed answer, and at least every interval for stop().
// The wait has the clock's own resolution: rounded up to whole milliseconds,
// every paced answer would leave up to a millisecond late, a fifth of a
// frame's time on the line. Even so a thread wakes from a timed wait some
// tens of microseconds late (more on a virtual machine), so the wait ends a
// little early and the last stretch is spent looking at the line without
// blocking: the answer leaves when it is due, not when the system gets round
// to it.
SimulatedDevice::Clock::duration SimulatedDevice::pollTimeout() const
{
    const Clock::duration interval = std::chrono::milliseconds(kPollIntervalMs);
    const std::optional<TimePoint> due = behaviour_.nextDue();
    if (!due)
        return interval;
    const Clock::duration wait = *due - Clock::now() - kWakeEarly;
    return std::clamp(wait, Clock::duration::zero(), interval);
}

// False when the line reports an end of file or an error: the far end is gone.
bool SimulatedDevice::readAvailable()
{
    std::uint8_t buffer[kReadChunk];
    const ssize_t got = ::read(lineFd_, buffer, sizeof buffer);
    if (got > 0) {
        if (!behaviour_.receive(buffer, std::size_t(got), Clock::now()))
            hangUp();
        changed_.notify_all();   // a session may have begun or ended
        return true;
    }
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

// One write for everything due, so an answer and its trailing byte reach the
// host together. What the line does not take now waits for the next turn.
void SimulatedDevice::flushOutgoing()
{
    const std::string &outgoing = behaviour_.outgoing();
    if (outgoing.empty() || lineFd_ < 0)
        return;
    const ssize_t written = ::write(lineFd_, outgoing.data(), outgoing.size());
    if (written > 0)
        behaviour_.sent(std::size_t(written), Clock::now());
    else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        behaviour_.dropOutgoing();
}

// The host's output is held before the answer goes, so its next message cannot leave; the line
// closes once the answer has surely reached the host and been read (a hang-up drops what is unread).
void SimulatedDevice::hangUpOnceAnswerRead()
{
    if (!hostHeldSince_ && ::tcflow(keptSlaveFd_, TCOOFF) == 0)   // only a pseudo-terminal's
        hostHeldSince_ = Clock::now();
    int unread = 0;
    if (hostHeldSince_ && Clock::now() - *hostHeldSince_ >= std::chrono::milliseconds(50)
        && ::ioctl(keptSlaveFd_, FIONREAD, &unread) == 0 && unread == 0)
        hangUp();
}

// The device unplugged: both ends of the pseudo-terminal close, so the host
// sees its port hang up.
void SimulatedDevice::hangUp()
{
    closeLine();
    resetLineState();
    hungUp_ = true;
    changed_.notify_all();
}
