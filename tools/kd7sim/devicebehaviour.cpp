#include "kd7sim/devicebehaviour.h"

#include <algorithm>
#include <limits>

namespace {

constexpr char kHandshakeBody[] = "KD7";   // after the start byte
constexpr char kEndMarkerBody[] = "END";
constexpr std::uint8_t kHandshake[] = {DeviceBehaviour::kStart, 'K', 'D', '7'};

}   // namespace

DeviceBehaviour::Clock::duration DeviceBehaviour::delayOf(double seconds)
{
    if (!(seconds > 0))
        return Clock::duration::zero();
    seconds = std::min(seconds, kLongestDelay);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool DeviceBehaviour::DueLater::operator()(const PendingAnswer &a, const PendingAnswer &b) const
{
    return a.due != b.due ? a.due > b.due : a.order > b.order;
}

void DeviceBehaviour::setFaults(const FaultConfig &faults)
{
    faults_ = faults;
    hangUpArmed_ = true;
}

void DeviceBehaviour::newLine()
{
    state_ = ParseState::AwaitHandshake;
    handshakeMatched_ = 0;
    frame_.clear();
    lineFreeAt_ = {};
    answerLeftAt_.reset();
    pending_ = {};
    outgoing_.clear();
    hangingUp_ = false;
    hangUpAfterAnswer_ = false;
}

// A pseudo-terminal delivers at once what a 9600-baud line takes about a
// millisecond a byte for. Paced, each byte is taken to arrive one byte time
// after the one before, the first no sooner than the line was free.
bool DeviceBehaviour::receive(const std::uint8_t *data, std::size_t length, TimePoint now)
{
    noteHostResponse(now);
    const Clock::duration byteTime = delayOf(kSecondsPerByte);
    const bool paced = faults_.paced;
    const TimePoint first = paced ? std::max(now, lineFreeAt_) : now;
    if (paced)
        lineFreeAt_ = first + byteTime * Clock::rep(length);
    for (std::size_t i = 0; i < length && !hangingUp_; ++i) {   // a hang-up drops the rest
        const TimePoint arrival = paced ? first + byteTime * Clock::rep(i + 1) : now;
        receiveByte(data[i], arrival);
    }
    return !hangingUp_;
}

std::optional<DeviceBehaviour::TimePoint> DeviceBehaviour::nextDue() const
{
    if (pending_.empty())
        return std::nullopt;
    return pending_.top().due;
}

void DeviceBehaviour::sent(std::size_t count, TimePoint now)
{
    if (sent_.size() < kRecordLimit)
        sent_.append(outgoing_, 0, count);
    outgoing_.erase(0, count);
    if (outgoing_.empty())
        answerLeftAt_ = now;
}

// Only the first bytes after an answer count, and only within a download:
// an answer left over from an earlier one says nothing about this host.
void DeviceBehaviour::noteHostResponse(TimePoint arrival)
{
    const std::optional<TimePoint> answered = answerLeftAt_;
    answerLeftAt_.reset();
    if (!answered || state_ != ParseState::InWords || sessions_.empty())
        return;
    if (makeRoom(sizeof(double), 1))
        sessions_.back().hostResponses.push_back(std::chrono::duration<double>(arrival - *answered).count());
}

void DeviceBehaviour::receiveByte(std::uint8_t byte, TimePoint arrival)
{
    ++counters_.bytesReceived;
    if (transcript_.size() < kRecordLimit)
        transcript_.push_back(char(byte));
    if (state_ == ParseState::AwaitHandshake)
        matchHandshake(byte, arrival);
    else
        collectFrame(byte, arrival);
}

// Between downloads everything but a handshake is ignored, the preamble included.
void DeviceBehaviour::matchHandshake(std::uint8_t byte, TimePoint arrival)
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
void DeviceBehaviour::collectFrame(std::uint8_t byte, TimePoint arrival)
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
void DeviceBehaviour::onFrame(TimePoint arrival)
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

void DeviceBehaviour::beginSession(TimePoint arrival)
{
    // What a download is checked against is always the latest session.
    makeRoom(sizeof(Session), 0);
    sessions_.emplace_back();
    ++counters_.handshakesSeen;
    state_ = ParseState::InWords;
    frame_.clear();
    scheduleAnswer(arrival, 0.0, true);
}

void DeviceBehaviour::onEndMarker()
{
    sessions_.back().endMarkerSeen = true;
    ++counters_.endMarkers;
    state_ = ParseState::AwaitHandshake;
    handshakeMatched_ = 0;
}

// The device cannot tell a resent frame from a new one: each is stored.
void DeviceBehaviour::onWord(std::uint16_t word, TimePoint arrival)
{
    Session &session = sessions_.back();
    const int index = session.wordFrames;
    if (session.wordFrames < std::numeric_limits<int>::max())
        ++session.wordFrames;
    if (makeRoom(sizeof(word), 1))   // nor can a host that floods a session with frames exhaust memory
        session.words.push_back(word);
    ++counters_.framesReceived;
    if (hangUpArmed_ && faults_.hangUpAtWord && index == *faults_.hangUpAtWord) {
        // The device unplugged: it happens once until the faults are set again.
        ++counters_.hangUps;
        hangUpArmed_ = false;
        hangingUp_ = true;
        return;
    }
    if (!answersFrame(index))
        return;
    const bool late = faults_.lateFrame && index == *faults_.lateFrame;
    scheduleAnswer(arrival, late ? faults_.lateBy : 0.0, false);
    if (hangUpArmed_ && faults_.hangUpAfterAnswer && index == *faults_.hangUpAfterAnswer) {
        ++counters_.hangUps;
        hangUpArmed_ = false;
        hangUpAfterAnswer_ = true;
    }
}

// Counts `bytes` more against the sessions' record, dropping the oldest
// sessions as needed but never the latest `sessionsKept`. False when they do
// not fit even so: the latest session has filled the record.
bool DeviceBehaviour::makeRoom(std::size_t bytes, std::size_t sessionsKept)
{
    while (sessionBytes_ + bytes > kRecordLimit && sessions_.size() > sessionsKept) {
        const Session &oldest = sessions_.front();
        sessionBytes_ -= sizeof(Session) + oldest.words.size() * sizeof(std::uint16_t)
            + oldest.hostResponses.size() * sizeof(double);
        sessions_.pop_front();
    }
    if (sessionBytes_ + bytes > kRecordLimit)
        return false;
    sessionBytes_ += bytes;
    return true;
}

bool DeviceBehaviour::answersFrame(int index) const
{
    return !(faults_.stopAtWord && index >= *faults_.stopAtWord);
}

// Answers go through a queue ordered by when they are due, so a late answer
// never holds up reading the line or the answers due before it.
void DeviceBehaviour::scheduleAnswer(TimePoint arrival, double extraDelay, bool forHandshake)
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

void DeviceBehaviour::queueDueAnswers(TimePoint now)
{
    while (!pending_.empty() && pending_.top().due <= now) {
        const PendingAnswer &answer = pending_.top();
        if (outgoing_.size() + answer.bytes.size() <= kRecordLimit) {
            outgoing_ += answer.bytes;
            ++(answer.forHandshake ? counters_.handshakesAnswered : counters_.framesAnswered);
        }
        pending_.pop();
    }
}
