#include "tests/fuzz/fuzzedline.h"

#include "download/wireprotocol.h"
#include "tests/fuzz/fuzzcheck.h"

#include <algorithm>

// Every port number leads to the fuzzed device.
FuzzedLine::FuzzedLine(FakeClock &clock, DeviceScript &script, double deadline)
    : SerialLine([](int) { return QStringLiteral("fuzzed device"); }),
      clock_(clock),
      script_(script),
      deadline_(deadline),
      input_(clock)
{}

// Every call the host makes passes here: a download that runs past the
// longest it can take, or spins without the clock moving, never ends.
void FuzzedLine::checkBudget()
{
    fuzzRequire(++calls_ < kCallBudget, "the download spins without end");
    fuzzRequire(clock_.now() <= deadline_, "the download runs past the longest it can take");
}

// Only the preamble goes unanswered and leaves at once; every other message
// gets the script's next action.
bool FuzzedLine::answers(const QByteArray &bytes) const { return bytes != WireProtocol::preamble(); }

void FuzzedLine::schedule(double at, const QByteArray &bytes)
{
    arrivals.push_back(Arrival{at, bytes});
    input_.schedule(at, bytes);
}

int FuzzedLine::InBufferCount()
{
    checkBudget();
    return open_ ? input_.waiting() : 0;
}

void FuzzedLine::setInBufferCount(int count)
{
    if (count == 0)
        input_.discardArrived();
}

int FuzzedLine::OutBufferCount()
{
    checkBudget();
    if (sent.empty() || !open_)
        return 0;
    SentMessage &last = sent.back();
    if (clock_.now() < last.drainEnd)
        return kPendingFrameBytes;
    if (last.drainSeenAt < 0)
        last.drainSeenAt = clock_.now();
    return 0;
}

void FuzzedLine::setOutBufferCount(int) {}

SerialLine::Refusal FuzzedLine::openAt(const QString &, const LineSettings &)
{
    checkBudget();
    if (script_.portRefuses())
        return Refusal::OpenFailed;
    ++opens;
    failed_ = false;
    open_ = true;
    return Refusal::None;
}

void FuzzedLine::closePort()
{
    checkBudget();
    ++closes;
    input_.discardAll();
    open_ = false;
}

void FuzzedLine::Output(const QByteArray &bytes)
{
    checkBudget();
    SentMessage message;
    message.bytes = bytes;
    message.sentAt = clock_.now();
    message.drainEnd = message.sentAt;
    message.onDeadLine = failed_;
    message.onClosedPort = !open_;
    if (open_ && !failed_ && answers(bytes)) {
        const DeviceAction action = script_.next();
        message.drainEnd += action.drainSeconds;
        message.lineFailed = action.lineFails;
        failed_ = action.lineFails;
        if (!failed_ && !action.answer.isEmpty())
            schedule(message.sentAt + action.delay, action.answer);
    }
    if (failed_)
        input_.discardAll();   // nothing more comes in on a dead line
    sent.push_back(message);
}

QByteArray FuzzedLine::Input()
{
    checkBudget();
    if (!open_)
        return {};
    const QByteArray taken = input_.take(InputLen());
    const bool lookEnds = input_.waiting() == 0 && !taken.isEmpty();
    if (lookEnds && WireProtocol::isAcknowledgement(quint8(taken.back())) && !sent.empty()
        && sent.back().ackLookAt < 0)
        sent.back().ackLookAt = clock_.now();
    return taken;
}

// Returns at once when input is waiting, like a real port; otherwise time
// passes until the next arrival or the end of the wait.
void FuzzedLine::waitForInput(int milliseconds)
{
    checkBudget();
    if (open_ && !failed_)
        input_.wait(milliseconds);
}
