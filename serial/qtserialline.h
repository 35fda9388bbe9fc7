#pragma once

#include "serial/lowlatency.h"
#include "serial/portmapping.h"
#include "serial/serialline.h"

#include <QSerialPort>

// The serial port control on a system serial port, through Qt SerialPort.
class QtSerialLine : public SerialLine {
    Q_OBJECT

public:
    explicit QtSerialLine(PortMapping mapping = systemPortFor, QObject *parent = nullptr);
    ~QtSerialLine() override;

    int InBufferCount() override;
    void setInBufferCount(int count) override;
    int OutBufferCount() override;
    void setOutBufferCount(int count) override;
    bool PortOpen() const override;
    bool setPortOpen(bool open) override;
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    int CommEvent() const override { return commEvent_; }
    Transmitter transmitter() override;
    void waitForInput(int milliseconds) override;
    bool lineFailed() const override { return failed_; }

private:
    bool open();
    void pullDriverInput();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    LowLatency::Driver lowLatencyDriver();

    PortMapping mapping_;
    QSerialPort port_;
    LowLatency lowLatency_;
    int commEvent_ = 0;
    bool eventPending_ = false;
    bool failed_ = false;
};
