#include "serial/qtserialline.h"

#include "serial/linefailure.h"
#include "serial/linesettings.h"
#include "serial/nativeport.h"
#include "serial/systemline.h"

namespace {

QSerialPort::Parity qtParity(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even: return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd: return QSerialPort::OddParity;
    case LineSettings::Parity::Mark: return QSerialPort::MarkParity;
    case LineSettings::Parity::Space: return QSerialPort::SpaceParity;
    case LineSettings::Parity::None: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two: return QSerialPort::TwoStop;
    case LineSettings::StopBits::One: break;
    }
    return QSerialPort::OneStop;
}

SerialLine::Refusal refusalOf(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return SerialLine::Refusal::NoSuchPort;
    case QSerialPort::PermissionError: return SerialLine::Refusal::InUse;   // or held by its lock file
    default: return SerialLine::Refusal::OpenFailed;
    }
}

}   // namespace

QtSerialLine::QtSerialLine(PortMapping mapping, QObject *parent) : SerialLine(std::move(mapping), parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialLine::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

QtSerialLine::~QtSerialLine() { setPortOpen(false); }

bool QtSerialLine::PortOpen() const { return port_.isOpen(); }

void QtSerialLine::closePort()
{
    lowLatency_.giveBack(lowLatencyDriver());
    port_.close();
}

SerialLine::Refusal QtSerialLine::openAt(const QString &location, const LineSettings &settings)
{
    port_.setPortName(location);
    failed_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        setSystemError(port_.errorString());
        return refusalOf(port_.error());
    }
    const bool configured = port_.setBaudRate(settings.baudRate) && port_.setParity(qtParity(settings.parity))
        && port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits))
        && port_.setStopBits(qtStopBits(settings.stopBits))
        && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        setSystemError(port_.errorString());
        port_.close();
        return Refusal::SettingsRefused;
    }
    if (!NativePort::lockExclusive(port_.handle())) {
        port_.close();
        return Refusal::InUse;
    }
    lowLatency_.take(lowLatencyDriver());
    // A port starts empty: bytes that reached the driver before this open
    // (a late answer to an earlier download) are not this download's.
    port_.clear(QSerialPort::AllDirections);
    failed_ = false;
    return Refusal::None;
}

// Qt moves received bytes into its buffer only when it is told the port is
// readable; looking at the driver's queue lets a poll see bytes at once.
void QtSerialLine::pullDriverInput()
{
    if (port_.isOpen() && port_.bytesAvailable() == 0 && NativePort::inputQueue(port_.handle()) > 0)
        port_.waitForReadyRead(0);
}

int QtSerialLine::InBufferCount()
{
    pullDriverInput();
    return port_.isOpen() ? int(port_.bytesAvailable()) : 0;
}

void QtSerialLine::setInBufferCount(int count)
{
    if (count == 0 && port_.isOpen())
        port_.clear(QSerialPort::Input);
}

int QtSerialLine::OutBufferCount()
{
    if (!port_.isOpen())
        return 0;
    port_.flush();
    return int(port_.bytesToWrite()) + NativePort::outputQueue(port_.handle());
}

QtSerialLine::Transmitter QtSerialLine::transmitter()
{
    if (!port_.isOpen())
        return Transmitter::Empty;
    if (OutBufferCount() > 0)
        return Transmitter::Sending;
    const std::optional<bool> empty = transmitterReport_(port_.handle());
    if (!empty)
        return Transmitter::Unknown;
    return *empty ? Transmitter::Empty : Transmitter::Sending;
}

void QtSerialLine::setOutBufferCount(int count)
{
    if (count == 0 && port_.isOpen())
        port_.clear(QSerialPort::Output);
}

// The bytes go straight to the driver when nothing waits before them in
// QSerialPort's buffer. Through that buffer every frame would switch the
// port's write notifier on and off again: two wake-ups of the event loop and
// a notifier event a frame, for bytes the driver takes at once anyway. What
// the driver does not take, or a write that fails, goes through QSerialPort
// as before, so the order of the bytes and the reporting of errors stay.
void QtSerialLine::Output(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return;
    const qint64 taken = port_.bytesToWrite() == 0
        ? NativePort::writeNow(port_.handle(), bytes.constData(), bytes.size())
        : 0;
    if (taken == bytes.size())
        return;
    port_.write(bytes.constData() + taken, bytes.size() - taken);
    port_.flush();   // hand the bytes to the driver now, without waiting for them
}

QByteArray QtSerialLine::Input()
{
    pullDriverInput();
    if (!port_.isOpen())
        return {};
    return InputLen() > 0 ? port_.read(InputLen()) : port_.readAll();
}

void QtSerialLine::waitForInput(int milliseconds)
{
    if (!port_.isOpen() || failed_ || port_.bytesAvailable() > 0)
        return;
    port_.waitForReadyRead(milliseconds);
}

void QtSerialLine::onReadyRead() { announceArrival(); }

LowLatency::Driver QtSerialLine::lowLatencyDriver()
{
    const auto handle = port_.handle();
    return {[handle] { return NativePort::lowLatency(handle); },
            [handle](bool on) { return NativePort::setLowLatency(handle, on); }};
}

void QtSerialLine::onError(QSerialPort::SerialPortError error)
{
    if (port_.isOpen() && isLineFailure(error))
        failed_ = true;
}

std::unique_ptr<SerialLine> makeSystemSerialLine(PortMapping mapping)
{
    return std::make_unique<QtSerialLine>(std::move(mapping));
}
