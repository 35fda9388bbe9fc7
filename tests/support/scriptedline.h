#pragma once

#include "serial/serialline.h"
#include "tests/support/fakeclock.h"
#include "tests/support/scheduledinput.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <functional>
#include <optional>

// What the host sent in one Output call, as the device sees it.
enum class HostMessage {
    Preamble,
    Handshake,
    WordFrame,
    EndMarker,
    Other
};
HostMessage classify(const QByteArray &bytes);

// The device's answer to one message: its bytes and how long after the
// message it comes.
struct DeviceAnswer {
    QByteArray bytes;
    double delay = 0;
};

// Decides the answer to a message. `frameNumber` counts the word frames the
// device has received, resends included, from 0.
using AnswerPolicy = std::function<std::optional<DeviceAnswer>(HostMessage, int frameNumber)>;

// A serial port wired to a scripted device on a fake clock. It records every
// write, answers from the policy, and lets waits advance the clock to the
// next answer instead of sleeping.
class ScriptedLine : public SerialLine {
    Q_OBJECT

public:
    // Every port number leads to the scripted device.
    ScriptedLine(FakeClock &clock, AnswerPolicy policy)
        : SerialLine([](int) { return QStringLiteral("scripted device"); }),
          clock_(clock),
          policy_(std::move(policy)),
          input_(clock)
    {}

    // Where the line fails (a device unplugged): as a message is written, or
    // once it has left, during the wait for its answer, which never comes.
    // Bytes still on their way then never leave.
    struct Failure {
        HostMessage message = HostMessage::WordFrame;   // the handshake, a word frame or the end marker
        int number = 0;                                 // which of them, resends included, from 0
        bool whileAwaitingAnswer = false;
    };

    // Test controls.
    bool openable = true;
    std::optional<Failure> failure;
    int drainLooks = 0;               // looks at OutBufferCount before the output has left
    double secondsPerByte = 0;        // how long each byte takes to leave the line
    bool reportsTransmitter = true;   // false: a driver that cannot tell when its hardware is empty
    double lastWriteAt = 0;           // when the last Output call came
    int closesWhileSending = 0;       // closes that cut bytes still on their way
    int discardsWhileSending = 0;     // bytes on their way thrown away (OutBufferCount set to 0)
    double failedAt = 0;              // when the line failed
    QList<QByteArray> writes;         // one entry per Output call
    int opens = 0;
    int closes = 0;

    // The device's answers from now on.
    void setPolicy(AnswerPolicy policy) { policy_ = std::move(policy); }
    // Bytes the device sends on its own, waiting at once.
    void deliver(const QByteArray &bytes) { input_.deliver(bytes); }

    QByteArray allWritten() const;
    int count(HostMessage kind) const;
    QList<QByteArray> frames() const;

    int InBufferCount() override;
    void setInBufferCount(int count) override;
    int OutBufferCount() override;
    void setOutBufferCount(int count) override;
    bool PortOpen() const override { return open_; }
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    int CommEvent() const override { return comEvReceive; }
    Transmitter transmitter() override;
    void waitForInput(int milliseconds) override;
    bool lineFailed() const override { return failed_; }

protected:
    Refusal openAt(const QString &location, const LineSettings &settings) override;
    void closePort() override;

private:
    void fail();

    FakeClock &clock_;
    AnswerPolicy policy_;
    ScheduledInput input_;
    int pendingOutputLooks_ = 0;
    double sendingUntil_ = 0;
    int framesReceived_ = 0;
    int handshakesReceived_ = 0;
    bool open_ = false;
    bool failed_ = false;
    bool failsInNextWait_ = false;
};

// Policies for common devices.
namespace Devices {
AnswerPolicy answersEverything();
AnswerPolicy silent();
AnswerPolicy stopsAtFrame(int frame);
AnswerPolicy answersWith(const QByteArray &bytes);
AnswerPolicy answersFrameAfter(int frame, double delay);
}   // namespace Devices
