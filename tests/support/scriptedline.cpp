#include "tests/support/scriptedline.h"

#include "tests/support/devicebytes.h"

#include <algorithm>
#include <limits>
#include <utility>

HostMessage classify(const QByteArray &bytes)
{
    if (bytes == DeviceBytes::preamble())
        return HostMessage::Preamble;
    if (bytes == DeviceBytes::handshake())
        return HostMessage::Handshake;
    if (bytes == DeviceBytes::endMarker())
        return HostMessage::EndMarker;
    if (bytes.size() == 4 && bytes.at(0) == 0x02)
        return HostMessage::WordFrame;
    return HostMessage::Other;
}

QByteArray ScriptedLine::allWritten() const
{
    QByteArray all;
    for (const QByteArray &w : writes)
        all += w;
    return all;
}

int ScriptedLine::count(HostMessage kind) const
{
    return int(std::count_if(writes.begin(), writes.end(),
                             [kind](const QByteArray &w) { return classify(w) == kind; }));
}

QList<QByteArray> ScriptedLine::frames() const
{
    QList<QByteArray> result;
    for (const QByteArray &w : writes)
        if (classify(w) == HostMessage::WordFrame)
            result << w;
    return result;
}

int ScriptedLine::InBufferCount() { return open_ ? input_.waiting() : 0; }

void ScriptedLine::setInBufferCount(int count)
{
    if (count == 0)
        input_.discardArrived();
}

int ScriptedLine::OutBufferCount()
{
    if (pendingOutputLooks_ > 0) {
        --pendingOutputLooks_;
        return 4;
    }
    return 0;
}

void ScriptedLine::setOutBufferCount(int count)
{
    if (count != 0)
        return;
    pendingOutputLooks_ = 0;
    if (open_ && clock_.now() < sendingUntil_) {
        ++discardsWhileSending;
        sendingUntil_ = clock_.now();
    }
}

SerialLine::Refusal ScriptedLine::openAt(const QString &, const LineSettings &)
{
    if (!openable)
        return Refusal::OpenFailed;
    ++opens;
    failed_ = false;
    open_ = true;
    return Refusal::None;
}

void ScriptedLine::closePort()
{
    ++closes;
    if (clock_.now() < sendingUntil_)
        ++closesWhileSending;
    sendingUntil_ = 0;   // the close cut them
    open_ = false;
}

void ScriptedLine::Output(const QByteArray &bytes)
{
    if (!open_)
        return;
    writes << bytes;
    lastWriteAt = clock_.now();
    if (failed_)
        return;   // nothing reaches the device any more
    pendingOutputLooks_ = drainLooks;
    sendingUntil_ = std::max(sendingUntil_, clock_.now()) + bytes.size() * secondsPerByte;
    const HostMessage kind = classify(bytes);
    const int frameNumber = kind == HostMessage::WordFrame ? framesReceived_++ : -1;
    const int number = kind == HostMessage::Handshake ? handshakesReceived_++ : std::max(frameNumber, 0);
    if (failure && failure->message == kind && failure->number == number) {
        if (failure->whileAwaitingAnswer)
            failsInNextWait_ = true;
        else
            fail();
        return;
    }
    // The device answers a message once the whole of it has reached it.
    if (const auto answer = policy_(kind, frameNumber))
        input_.schedule(sendingUntil_ + answer->delay, answer->bytes);
}

void ScriptedLine::fail()
{
    failed_ = true;
    failedAt = clock_.now();
    if (clock_.now() < sendingUntil_)
        sendingUntil_ = std::numeric_limits<double>::infinity();
}

SerialLine::Transmitter ScriptedLine::transmitter()
{
    if (open_ && std::exchange(failsInNextWait_, false))
        fail();   // the end marker's wait is for the line to empty
    if (OutBufferCount() > 0)
        return Transmitter::Sending;
    if (!reportsTransmitter)
        return Transmitter::Unknown;
    return clock_.now() < sendingUntil_ ? Transmitter::Sending : Transmitter::Empty;
}

QByteArray ScriptedLine::Input() { return input_.take(InputLen()); }

void ScriptedLine::waitForInput(int milliseconds)
{
    input_.wait(milliseconds);
    if (open_ && std::exchange(failsInNextWait_, false))
        fail();
}

namespace Devices {

namespace {
const QByteArray kAck(1, DeviceBytes::kAck);

bool answerable(HostMessage kind) { return kind == HostMessage::Handshake || kind == HostMessage::WordFrame; }
}   // namespace

AnswerPolicy answersEverything()
{
    return [](HostMessage kind, int) -> std::optional<DeviceAnswer> {
        if (!answerable(kind))
            return std::nullopt;
        return DeviceAnswer{kAck, 0};
    };
}

AnswerPolicy silent()
{
    return [](HostMessage, int) -> std::optional<DeviceAnswer> { return std::nullopt; };
}

AnswerPolicy stopsAtFrame(int frame)
{
    return [frame](HostMessage kind, int n) -> std::optional<DeviceAnswer> {
        if (!answerable(kind) || (kind == HostMessage::WordFrame && n >= frame))
            return std::nullopt;
        return DeviceAnswer{kAck, 0};
    };
}

AnswerPolicy answersWith(const QByteArray &bytes)
{
    return [bytes](HostMessage kind, int) -> std::optional<DeviceAnswer> {
        if (!answerable(kind))
            return std::nullopt;
        return DeviceAnswer{bytes, 0};
    };
}

AnswerPolicy answersFrameAfter(int frame, double delay)
{
    return [frame, delay](HostMessage kind, int n) -> std::optional<DeviceAnswer> {
        if (!answerable(kind))
            return std::nullopt;
        return DeviceAnswer{kAck, kind == HostMessage::WordFrame && n == frame ? delay : 0};
    };
}

}   // namespace Devices
