#pragma once

#include "serial/serialline.h"
#include "tests/fuzz/devicescript.h"
#include "tests/support/fakeclock.h"
#include "tests/support/scheduledinput.h"

#include <QByteArray>

#include <deque>
#include <vector>

// One Output call as the line saw it.
struct SentMessage {
    QByteArray bytes;
    double sentAt = 0;
    double drainEnd = 0;       // when its bytes have left the port
    double drainSeenAt = -1;   // when the host first found the output empty after it
    double ackLookAt = -1;     // when a look after it ended on 0x06
    bool lineFailed = false;   // the line died as it was written
    bool onDeadLine = false;   // written after the line had died
    bool onClosedPort = false;
};

// Bytes that reached the host's input at one moment.
struct Arrival {
    double at = 0;
    QByteArray bytes;
};

// A serial port whose far end follows a DeviceScript, on a fake clock. It
// keeps a log of what the host sent and what the host read, for the oracle.
// A look is a run of reads that leaves the input empty; it ends on the last
// byte read.
class FuzzedLine : public SerialLine {
    Q_OBJECT

public:
    FuzzedLine(FakeClock &clock, DeviceScript &script, double deadline);

    std::vector<SentMessage> sent;
    std::vector<Arrival> arrivals;   // in order of arrival
    int opens = 0;
    int closes = 0;

    int InBufferCount() override;
    void setInBufferCount(int count) override;
    int OutBufferCount() override;
    void setOutBufferCount(int count) override;
    bool PortOpen() const override { return open_; }
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    int CommEvent() const override { return comEvReceive; }
    void waitForInput(int milliseconds) override;
    bool lineFailed() const override { return failed_; }

protected:
    Refusal openAt(const QString &location, const LineSettings &settings) override;
    void closePort() override;

private:
    static constexpr long kCallBudget = 20'000'000;   // far more than a download can need
    static constexpr int kPendingFrameBytes = 4;

    void schedule(double at, const QByteArray &bytes);
    void checkBudget();
    bool answers(const QByteArray &bytes) const;

    FakeClock &clock_;
    DeviceScript &script_;
    double deadline_;
    long calls_ = 0;
    ScheduledInput input_;
    bool open_ = false;
    bool failed_ = false;
};
