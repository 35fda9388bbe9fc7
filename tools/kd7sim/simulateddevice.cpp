#include "kd7sim/simulateddevice.h"

#include "kd7sim/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr char kHandshakeBody[] = "KD7";   // after the start byte
constexpr char kEndMarkerBody[] = "END";
constexpr std::uint8_t kHandshake[] = {SimulatedDevice::kStart, 'K', 'D', '7'};
constexpr unsigned long kTimerSlackNs = 1;   // the least the kernel takes; 0 means its default

using Clock = std::chrono::steady_clock;

// Seconds as a clock duration; nonsense (negative, NaN) means no delay and a
// huge delay is cut, so no arithmetic on time points can overflow.
Clock::duration delayOf(double seconds)
{
    if (!(seconds > 0))
        return Clock::duration::zero();
    seconds = std::min(seconds, SimulatedDevice::kLongestDelay);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Closes a descriptor on a failure path without losing the failure's errno.
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

bool SimulatedDevice::DueLater::operator()(const PendingAnswer &a, const PendingAnswer &b) const
{
    return a.due != b.due ? a.due > b.due : a.order > b.order;
}

SimulatedDevice::SimulatedDevice() : SimulatedDevice(FaultConfig()) {}

SimulatedDevice::SimulatedDevice(FaultConfig faults) : faults_(std::move(faults)) {}

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
    if (!openLine())
        return false;
    startThread();
    return true;
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

// A fresh line: a partly received frame or an answer still waiting belonged
// to the old one.
void SimulatedDevice::resetLineState()
{
    state_ = ParseState::AwaitHandshake;
    handshakeMatched_ = 0;
    frame_.clear();
    lineFreeAt_ = {};
    answerLeftAt_.reset();
    pending_ = {};
    outgoing_.clear();
    hungUp_ = false;
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
    faults_ = faults;
    hangUpArmed_ = true;
}

std::vector<std::uint16_t> SimulatedDevice::words() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_.empty() ? std::vector<std::uint16_t>() : sessions_.back().words;
}

std::vector<SimulatedDevice::Session> SimulatedDevice::sessions() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_;
}

std::string SimulatedDevice::transcript() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

std::string SimulatedDevice::sentBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

SimulatedDevice::Counters SimulatedDevice::counters() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

bool SimulatedDevice::waitForEndMarker(double timeoutSeconds)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ended = [this] { return !sessions_.empty() && sessions_.back().endMarkerSeen; };
    changed_.wait_for(lock, delayOf(timeoutSeconds), [&] { return ended() || hungUp_; });
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
            if (!outgoing_.empty())
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
        queueDueAnswers();
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
    if (pending_.empty())
        return interval;
    const Clock::duration wait = pending_.top().due - Clock::now() - kWakeEarly;
    return std::clamp(wait, Clock::duration::zero(), interval);
}

// False when the line reports an end of file or an error: the far end is gone.
bool SimulatedDevice::readAvailable()
{
    std::uint8_t buffer[kReadChunk];
    const ssize_t got = ::read(lineFd_, buffer, sizeof buffer);
    if (got > 0) {
        receiveChunk(buffer, std::size_t(got));
        return true;
    }
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

// A pseudo-terminal delivers at once what a 9600-baud line takes about a
// millisecond a byte for. Paced, each byte is taken to arrive one byte time
// after the one before, the first no sooner than the line was free.
void SimulatedDevice::receiveChunk(const std::uint8_t *data, std::size_t length)
{
    const TimePoint now = Clock::now();
    noteHostResponse(now);
    const Clock::duration byteTime = delayOf(kSecondsPerByte);
    const bool paced = faults_.paced;
    const TimePoint first = paced ? std::max(now, lineFreeAt_) : now;
    if (paced)
        lineFreeAt_ = first + byteTime * Clock::rep(length);
    for (std::size_t i = 0; i < length && lineFd_ >= 0; ++i) {   // a hang-up drops the rest
        const TimePoint arrival = paced ? first + byteTime * Clock::rep(i + 1) : now;
        receiveByte(data[i], arrival);
    }
}

// Only the first bytes after an answer count, and only within a download:
// an answer left over from an earlier one says nothing about this host.
void SimulatedDevice::noteHostResponse(TimePoint arrival)
{
    const std::optional<TimePoint> answered = answerLeftAt_;
    answerLeftAt_.reset();
    if (!answered || state_ != ParseState::InWords || sessions_.empty())
        return;
    std::vector<double> &responses = sessions_.back().hostResponses;
    if (responses.size() < kResponseLimit)
        responses.push_back(std::chrono::duration<double>(arrival - *answered).count());
}

void SimulatedDevice::receiveByte(std::uint8_t byte, TimePoint arrival)
{
    ++counters_.bytesReceived;
    if (transcript_.size() < kTranscriptLimit)
        transcript_.push_back(char(byte));
    if (state_ == ParseState::AwaitHandshake)
        matchHandshake(byte, arrival);
    else
        collectFrame(byte, arrival);
}

// Between downloads everything but a handshake is ignored, the preamble included.
void SimulatedDevice::matchHandshake(std::uint8_t byte, TimePoint arrival)
{
    if (byte == kHandshake[handshakeMatched_])
        ++handshakeMatched_;
    else
        handshakeMatched_ = byte == kStart ? 1 : 0;   // only the start byte can begin a new match
    if (handshakeMatched_ == kFrameLength) {
        handshakeMatched_ = 0;
        beginSession(arrival);
    }
}

// Every message of a download is four bytes starting with 0x02; a byte that
// cannot start one is skipped so a lost byte costs one frame, not the rest.
void SimulatedDevice::collectFrame(std::uint8_t byte, TimePoint arrival)
{
    if (frame_.empty() && byte != kStart) {
        ++counters_.skippedBytes;
        return;
    }
    frame_.push_back(char(byte));
    if (frame_.size() == std::size_t(kFrameLength))
        onFrame(arrival);
}

// The handshake and the end marker never pass the check byte test, so they
// are told apart from words by their letters.
void SimulatedDevice::onFrame(TimePoint arrival)
{
    const std::string body = frame_.substr(1);
    frame_.clear();
    if (body == kHandshakeBody) {
        beginSession(arrival);
        return;
    }
    if (body == kEndMarkerBody) {
        onEndMarker();
        return;
    }
    const auto low = std::uint8_t(body[0]);
    const auto high = std::uint8_t(body[1]);
    if (std::uint8_t(body[2]) != (low ^ high)) {
        ++counters_.badCheckBytes;   // the host hears nothing and sends the frame again
        return;
    }
    onWord(std::uint16_t(low | (high << 8)), arrival);
}

void SimulatedDevice::beginSession(TimePoint arrival)
{
    // A host that keeps handshaking cannot exhaust memory: the oldest session
    // goes, and what a download is checked against is always the latest.
    if (sessions_.size() >= kSessionLimit)
        sessions_.erase(sessions_.begin());
    sessions_.emplace_back();
    ++counters_.handshakesSeen;
    state_ = ParseState::InWords;
    frame_.clear();
    scheduleAnswer(arrival, 0.0, true);
    changed_.notify_all();   // the latest session is a new one
}

void SimulatedDevice::onEndMarker()
{
    sessions_.back().endMarkerSeen = true;
    ++counters_.endMarkers;
    state_ = ParseState::AwaitHandshake;
    handshakeMatched_ = 0;
    changed_.notify_all();
}

// The device cannot tell a resent frame from a new one: each is stored.
void SimulatedDevice::onWord(std::uint16_t word, TimePoint arrival)
{
    Session &session = sessions_.back();
    const int index = session.wordFrames;
    if (session.wordFrames < std::numeric_limits<int>::max())
        ++session.wordFrames;
    if (session.words.size() < kStoredWordsLimit)   // nor can one that floods a session with frames
        session.words.push_back(word);
    ++counters_.framesReceived;
    if (hangUpArmed_ && faults_.hangUpAtWord && index == *faults_.hangUpAtWord) {
        hangUp();
        return;
    }
    if (!answersFrame(index))
        return;
    const bool late = faults_.lateFrame && index == *faults_.lateFrame;
    scheduleAnswer(arrival, late ? faults_.lateBy : 0.0, false);
}

bool SimulatedDevice::answersFrame(int index) const
{
    return !(faults_.stopAtWord && index >= *faults_.stopAtWord);
}

// Answers go through a queue ordered by when they are due, so a late answer
// never holds up reading the line or the answers due before it.
void SimulatedDevice::scheduleAnswer(TimePoint arrival, double extraDelay, bool forHandshake)
{
    if (faults_.silent)
        return;
    PendingAnswer answer;
    answer.bytes.push_back(char(faults_.answerByte.value_or(kAck)));
    if (faults_.trailingByte)
        answer.bytes.push_back(char(*faults_.trailingByte));
    answer.due = arrival + delayOf(faults_.answerLatency) + delayOf(extraDelay);
    if (faults_.paced)
        answer.due += delayOf(kSecondsPerByte * double(answer.bytes.size()));
    answer.order = nextOrder_++;
    answer.forHandshake = forHandshake;
    pending_.push(std::move(answer));
}

void SimulatedDevice::queueDueAnswers()
{
    const TimePoint now = Clock::now();
    while (!pending_.empty() && pending_.top().due <= now) {
        const PendingAnswer &answer = pending_.top();
        if (outgoing_.size() + answer.bytes.size() <= kOutgoingLimit) {
            outgoing_ += answer.bytes;
            ++(answer.forHandshake ? counters_.handshakesAnswered : counters_.framesAnswered);
        }
        pending_.pop();
    }
}

// One write for everything due, so an answer and its trailing byte reach the
// host together. What the line does not take now waits for the next turn.
void SimulatedDevice::flushOutgoing()
{
    if (outgoing_.empty() || lineFd_ < 0)
        return;
    const ssize_t written = ::write(lineFd_, outgoing_.data(), outgoing_.size());
    if (written > 0) {
        if (sent_.size() < kTranscriptLimit)
            sent_.append(outgoing_, 0, std::size_t(written));
        outgoing_.erase(0, std::size_t(written));
        if (outgoing_.empty())
            answerLeftAt_ = Clock::now();
    } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        outgoing_.clear();   // the line is gone; on a real line these bytes are lost too
    }
}

// The device unplugged: both ends of the pseudo-terminal close, so the host
// sees its port hang up. It happens once until the faults are set again.
void SimulatedDevice::hangUp()
{
    ++counters_.hangUps;
    hangUpArmed_ = false;
    closeLine();
    resetLineState();
    hungUp_ = true;
    changed_.notify_all();
}
