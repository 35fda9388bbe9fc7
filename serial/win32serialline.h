#pragma once

#include "serial/serialline.h"
#include "systemports/portmapping.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

// The serial port control on a Windows COM port, through the Win32 serial
// calls. Reads and writes are plain (not overlapped) calls with timeouts, so
// nothing waits without a bound. Bytes arrive when they leave the driver's
// queue: read by the download, or taken into the line's own buffer by a
// look at the queue while window events are processed; each arrival raises
// the receive event. The port is left as it was found: its line settings
// and time-outs go back to what they were when it closes.
class Win32SerialLine : public SerialLine {
    Q_OBJECT

public:
    explicit Win32SerialLine(PortMapping mapping = systemPortFor, QObject *parent = nullptr);
    ~Win32SerialLine() override;

    int InBufferCount() override;
    void setInBufferCount(int count) override;
    int OutBufferCount() override;
    void setOutBufferCount(int count) override;
    bool PortOpen() const override { return handle_ != nullptr; }
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    // transmitterEmpty() stays SerialLine's: the driver's queue is all Windows tells.
    void waitForInput(int milliseconds) override;
    bool lineFailed() const override { return failed_; }

protected:
    Refusal openAt(const QString &location, const LineSettings &settings) override;
    void closePort() override;

private:
    bool setReadWait(int milliseconds);
    // Bytes in the driver's queues; -1 when the port no longer answers.
    int queued(bool input);
    // Reads what the driver holds, without waiting.
    QByteArray readQueued();
    void takeArrivals();
    void failed();

    struct FoundState;   // the port's settings as this program found them

    void *handle_ = nullptr;
    std::unique_ptr<FoundState> found_;
    QByteArray arrived_;   // bytes taken from the driver ahead of Input
    int readWait_ = -1;    // the read time-out now set, in milliseconds
    QTimer receivePoll_;
    bool receiving_ = false;   // the receive poll and the finer system timer are on
    bool failed_ = false;
};
