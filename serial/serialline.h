#pragma once

#include "serial/linesettings.h"
#include "systemports/openrefusal.h"
#include "systemports/portmapping.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial port control: the operations the tool needs from a serial port,
// named as operators and maintainers know them. The real one drives a system
// serial port; tests drive a scripted one. Opening is the same everywhere:
// the port number is resolved through the port mapping and the settings text
// parsed here, once; each platform only opens the device it is given.
class SerialLine : public QObject {
    Q_OBJECT

public:
    static constexpr int comEvReceive = 2;   // CommEvent: bytes were received
    static constexpr int comInputModeBinary = 1;

    // Why the last open failed.
    using Refusal = OpenRefusal;

    explicit SerialLine(PortMapping mapping, QObject *parent = nullptr)
        : QObject(parent),
          mapping_(std::move(mapping))
    {}

    // Settings applied when the port opens.
    int CommPort() const { return commPort_; }
    void setCommPort(int port) { commPort_ = port; }
    QString Settings() const { return settings_; }
    void setSettings(const QString &settings) { settings_ = settings; }
    // Openport sets binary input, which is all this control reads: Input
    // always returns bytes. The mode is kept as the port was told it.
    int InputMode() const { return inputMode_; }
    void setInputMode(int mode) { inputMode_ = mode; }
    int InputLen() const { return inputLen_; }
    void setInputLen(int len) { inputLen_ = len; }
    int RThreshold() const { return rThreshold_; }
    void setRThreshold(int threshold) { rThreshold_ = threshold; }

    // Bytes received and not yet read; setting it to 0 discards them.
    virtual int InBufferCount() = 0;
    virtual void setInBufferCount(int count) = 0;
    // Bytes written and not yet handed to the line; setting it to 0 discards them.
    virtual int OutBufferCount() = 0;
    virtual void setOutBufferCount(int count) = 0;

    virtual bool PortOpen() const = 0;
    // Opens or closes the port; false when it cannot be opened, and then
    // refusal() tells why. The operator is told only that it did not open.
    bool setPortOpen(bool open);
    Refusal refusal() const { return refusal_; }
    // The device the last open went to ("/dev/ttyUSB0", "COM3"); empty when
    // the port number named none.
    QString location() const { return location_; }
    // The system's own words for the last failed open, where it gave any.
    QString systemError() const { return systemError_; }

    // Queues bytes for sending and returns without waiting for them to go out.
    virtual void Output(const QByteArray &bytes) = 0;
    // Removes and returns the waiting bytes, at most InputLen of them.
    virtual QByteArray Input() = 0;
    // The cause of the last OnComm event.
    virtual int CommEvent() const { return commEvent_; }

    // Beyond the control itself: whether every byte written has left the
    // line. OutBufferCount counts only the driver's queue; Empty and Sending
    // also cover a UART's FIFO or a USB adapter's own buffer, where the
    // driver can tell. Unknown: the driver's queue is empty, and what the
    // hardware still holds the driver does not say.
    enum class Transmitter {
        Empty,
        Sending,
        Unknown
    };
    virtual Transmitter transmitter()
    {
        return OutBufferCount() == 0 ? Transmitter::Unknown : Transmitter::Sending;
    }
    // Waits in the operating system until input
    // arrives or `milliseconds` pass, so that polling loops do not spin.
    virtual void waitForInput(int milliseconds) = 0;
    // Whether the line failed since it opened (the device was unplugged).
    virtual bool lineFailed() const = 0;

signals:
    // Raised on the window thread, when pending events are processed, after
    // at least RThreshold bytes were received.
    void OnComm();

protected:
    // Raises OnComm for bytes that have just arrived, once for each arrival.
    // The event is posted, never run at once: the download's polling meets
    // arrivals in its waits too, and the event must run only when the window
    // thread processes its events.
    void announceArrival();

    // Opens the device at `location`, the name the port number resolved to,
    // with the parsed settings; Refusal::None when it is open. A refusal
    // passes on the system's words for it through setSystemError.
    virtual Refusal openAt(const QString &location, const LineSettings &settings) = 0;
    void setSystemError(const QString &text) { systemError_ = text; }
    // Closes an open port; the line's own destructor calls it.
    virtual void closePort() = 0;

private:
    bool open();

    PortMapping mapping_;
    Refusal refusal_ = Refusal::None;
    QString location_;
    QString systemError_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    int inputMode_ = 0;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    int commEvent_ = 0;
};
