#pragma once

#include "serial/lowlatency.h"
#include "serial/nativeport.h"
#include "serial/serialline.h"
#include "systemports/portmapping.h"

#include <QSerialPort>

#include <functional>

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
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    Transmitter transmitter() override;
    void waitForInput(int milliseconds) override;
    bool lineFailed() const override { return failed_; }

    // What the driver says of its transmitter once its queue is empty
    // (NativePort::transmitterEmpty unless a test puts another in its place).
    using TransmitterReport = std::function<std::optional<bool>(NativePort::NativeHandle)>;
    void setTransmitterReport(TransmitterReport report) { transmitterReport_ = std::move(report); }

protected:
    Refusal openAt(const QString &location, const LineSettings &settings) override;
    void closePort() override;

private:
    void pullDriverInput();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    LowLatency::Driver lowLatencyDriver();

    QSerialPort port_;
    TransmitterReport transmitterReport_ = NativePort::transmitterEmpty;
    LowLatency lowLatency_;
    bool failed_ = false;
};
