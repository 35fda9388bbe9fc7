#include "tests/fuzz/downloadoracle.h"

#include "tests/fuzz/fuzzcheck.h"
#include "tests/support/devicebytes.h"

#include <algorithm>
#include <map>

namespace {
using End = DownloadOutcome::End;

constexpr double kFinalDrain = DownloadProcedure::kFinalDrain;
constexpr double kLookRounding = 0.001;   // the host waits for input in whole milliseconds
const QByteArray kPreamble = DeviceBytes::preamble();
const QByteArray kHandshake = DeviceBytes::handshake();
const QByteArray kEndMarker = DeviceBytes::endMarker();
constexpr char kAck = DeviceBytes::kAck;
}   // namespace

// Reads the host's messages in the order they were sent.
class DownloadOracle::Cursor {
public:
    explicit Cursor(const std::vector<SentMessage> &sent) : sent_(sent) {}
    bool atEnd() const { return at_ == sent_.size(); }
    const SentMessage &peek() const { return sent_[at_]; }
    const SentMessage &take() { return sent_[at_++]; }

private:
    const std::vector<SentMessage> &sent_;
    std::size_t at_ = 0;
};

double DownloadOracle::longestDownload(int wordCount)
{
    const double handshake = kAckWait + kLookRounding;
    const double frame = kStuckLine + kPollSlack + kAckWait + kLookRounding;
    return kAttempts * handshake + (wordCount + 1) * kAttempts * frame + kFinalDrain + kPollSlack;
}

void DownloadOracle::check(const FuzzedDownload &run)
{
    fuzzRequire(run.closeportCalls == 1, "the port is closed once on every way out");
    fuzzRequire(!run.line.PortOpen(), "the port is closed after the download");
    fuzzRequire(run.endedAt - run.startedAt <= longestDownload(run.script.wordCount()) + kEpsilon,
                "the download ends within the longest time it can take");
    if (run.script.wordCount() <= 1) {
        fuzzRequire(run.outcome.end == End::NoData, "fewer than two words: no data");
        fuzzRequire(run.outcome.label4Text() == QStringLiteral("无数据!"), "no data shows 无数据!");
        fuzzRequire(run.openportCalls == 0, "no data: the port is not opened");
        checkNothingSent(run);
        return;
    }
    if (run.script.portRefuses()) {
        fuzzRequire(run.outcome.end == End::PortNotOpened, "a port that cannot open ends the download");
        fuzzRequire(run.outcome.label4Text() == QStringLiteral("0"), "a port that cannot open shows 0");
        fuzzRequire(run.messageBoxes == QStringList{QStringLiteral("串口不能打开! ")},
                    "a port that cannot open is reported");
        checkNothingSent(run);
        return;
    }
    fuzzRequire(run.messageBoxes.isEmpty(), "an open port shows no message");
    fuzzRequire(run.line.opens == 1 && run.line.closes == 1, "the port is opened and closed once");
    checkEnding(run, walk(run));
}

void DownloadOracle::checkNothingSent(const FuzzedDownload &run)
{
    fuzzRequire(run.line.sent.empty(), "nothing is sent");
    fuzzRequire(run.progress.empty(), "no progress is reported");
}

void DownloadOracle::checkEnding(const FuzzedDownload &run, const Ending &expected)
{
    fuzzRequire(run.outcome.end == expected.end, "the download ends the way its messages show");
    fuzzRequire(run.outcome.WordIndex == expected.acknowledged, "the count is the frames acknowledged");
    fuzzRequire(run.outcome.label4Text() == QString::number(expected.acknowledged),
                "Label4 shows the frames acknowledged");
    const int frames = run.script.wordCount() + 1;
    fuzzRequire(int(run.progress.size()) == expected.acknowledged, "progress once per acknowledged frame");
    for (std::size_t i = 0; i < run.progress.size(); ++i)
        fuzzRequire(run.progress[i] == std::make_pair(int(i) + 1, frames), "progress counts up by one");
}

DownloadOracle::Ending DownloadOracle::walk(const FuzzedDownload &run)
{
    Cursor cursor(run.line.sent);
    Ending ending{End::GaveUp, 0};
    for (int attempt = 1; !handshakeAnswered(run, cursor, attempt, ending); ++attempt) {
        if (cursor.atEnd())
            return ending;   // given up, or the line died
    }
    const int words = run.script.wordCount();
    for (int frame = 0; frame <= words; ++frame) {
        for (int attempt = 1; !frameAnswered(run, cursor, frame, attempt, ending); ++attempt) {
            if (cursor.atEnd())
                return ending;
        }
    }
    fuzzRequire(!cursor.atEnd() && cursor.peek().bytes == kEndMarker,
                "the end marker follows the last acknowledged frame");
    const bool markerLost = cursor.take().lineFailed;
    fuzzRequire(cursor.atEnd(), "exactly one end marker, and nothing after it");
    return {markerLost ? End::EndMarkerFailed : End::Finished, words + 1};
}

// One attempt of the handshake: a preamble and the handshake, or the closing
// preamble after ten. False when the host must go on (or has ended).
bool DownloadOracle::handshakeAnswered(const FuzzedDownload &run, Cursor &cursor, int attempt, Ending &ending)
{
    fuzzRequire(!cursor.atEnd() && cursor.take().bytes == kPreamble,
                "a preamble goes out before every handshake attempt");
    if (attempt > kAttempts) {
        fuzzRequire(cursor.atEnd(), "nothing follows the closing preamble");
        ending = {End::GaveUp, 0};
        return false;
    }
    fuzzRequire(!cursor.atEnd(), "a handshake follows each preamble");
    const SentMessage &handshake = cursor.take();
    fuzzRequire(handshake.bytes == kHandshake, "a handshake follows each preamble");
    if (handshake.lineFailed) {
        fuzzRequire(cursor.atEnd(), "nothing is sent on a dead line");
        ending = {End::LineFailed, 0};
        return false;
    }
    if (answeredInTime(handshake, handshake.sentAt))
        return true;
    checkTimedOut(run, cursor, handshake.sentAt);
    fuzzRequire(!cursor.atEnd(), "an unanswered handshake is tried again");
    return false;
}

// One attempt of frame `frame`. False when the host must go on (or has ended).
bool DownloadOracle::frameAnswered(const FuzzedDownload &run, Cursor &cursor, int frame, int attempt,
                                   Ending &ending)
{
    fuzzRequire(attempt <= kAttempts, "at most ten attempts per frame");
    fuzzRequire(!cursor.atEnd(), "a frame goes out until it is answered or ten attempts failed");
    const SentMessage &sent = cursor.take();
    const quint16 word = frame < run.script.wordCount() ? run.script.word(frame) : 0;
    fuzzRequire(sent.bytes == DeviceBytes::frame(word),
                "frame n carries word n; the extra last frame carries 0");
    const double drain = sent.drainEnd - sent.sentAt;
    const bool stuck = drain > kStuckLine + kPollSlack;
    const bool maybeStuck = drain >= kStuckLine - kPollSlack;
    if (sent.lineFailed || stuck || (maybeStuck && cursor.atEnd())) {
        fuzzRequire(cursor.atEnd(), "nothing is sent on a dead or stuck line");
        ending = {End::LineFailed, frame};
        return false;
    }
    // The wait starts when the host finds the frame gone from its output.
    const double waitStart = sent.drainSeenAt >= 0 ? sent.drainSeenAt : sent.sentAt;
    if (answeredInTime(sent, waitStart))
        return true;
    checkTimedOut(run, cursor, waitStart);
    if (attempt == kAttempts) {
        fuzzRequire(cursor.atEnd(), "nothing is sent after giving up");
        ending = {End::GaveUp, frame};
    } else {
        fuzzRequire(!cursor.atEnd(), "an unanswered frame is tried again");
    }
    return false;
}

bool DownloadOracle::answeredInTime(const SentMessage &message, double waitStart)
{
    if (message.ackLookAt < 0)
        return false;
    fuzzRequire(message.ackLookAt < waitStart + kAckWait + kEpsilon,
                "an acknowledgement counts only inside the half-second wait");
    return true;
}

// The host gave an attempt up: it must have waited out the half second, and
// no lone acknowledgement may have arrived inside it.
void DownloadOracle::checkTimedOut(const FuzzedDownload &run, Cursor &cursor, double waitStart)
{
    fuzzRequire(!timelyAcknowledgementArrived(run, waitStart),
                "an acknowledgement arriving inside the wait is taken");
    if (!cursor.atEnd())
        fuzzRequire(cursor.peek().sentAt >= waitStart + kAckWait - kEpsilon,
                    "each attempt waits the half second out");
}

// Bytes arriving at one instant are read in one look; an instant strictly
// inside the wait whose bytes end on 0x06 is an acknowledgement the host
// must see.
bool DownloadOracle::timelyAcknowledgementArrived(const FuzzedDownload &run, double waitStart)
{
    std::map<double, QByteArray> instants;
    for (const Arrival &a : run.line.arrivals)
        if (a.at > waitStart + kEpsilon && a.at < waitStart + kAckWait - kEpsilon)
            instants[a.at] += a.bytes;
    return std::any_of(instants.begin(), instants.end(),
                       [](const auto &instant) { return instant.second.endsWith(kAck); });
}
