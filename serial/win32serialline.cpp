#include "serial/win32serialline.h"

#include "serial/linesettings.h"
#include "serial/systemline.h"

#include <windows.h>
// after windows.h, which it builds on
#include <mmsystem.h>

#include <algorithm>

namespace {

constexpr int kReceiveLookMs = 5;         // how soon the receive event follows an arrival
constexpr DWORD kWriteTimeoutMs = 2000;   // a write the line does not take by then: the line is stuck

HANDLE asHandle(void *handle) { return static_cast<HANDLE>(handle); }

BYTE parityCode(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even: return EVENPARITY;
    case LineSettings::Parity::Odd: return ODDPARITY;
    case LineSettings::Parity::Mark: return MARKPARITY;
    case LineSettings::Parity::Space: return SPACEPARITY;
    case LineSettings::Parity::None: break;
    }
    return NOPARITY;
}

BYTE stopBitsCode(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf: return ONE5STOPBITS;
    case LineSettings::StopBits::Two: return TWOSTOPBITS;
    case LineSettings::StopBits::One: break;
    }
    return ONESTOPBIT;
}

// Speed, parity, data and stop bits, and no handshaking of any kind.
bool applySettings(HANDLE handle, const LineSettings &settings)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb))
        return false;
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityCode(settings.parity);
    dcb.fParity = settings.parity != LineSettings::Parity::None;
    dcb.StopBits = stopBitsCode(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(handle, &dcb);
}

// The system's own words for an error, in the language of this Windows.
QString systemText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString said = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                    : QStringLiteral("Windows 错误 %1").arg(error);
    ::LocalFree(text);
    return said;
}

SerialLine::Refusal refusalOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return SerialLine::Refusal::NoSuchPort;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return SerialLine::Refusal::InUse;
    default: return SerialLine::Refusal::OpenFailed;
    }
}

}   // namespace

struct Win32SerialLine::FoundState {
    DCB dcb = {};
    COMMTIMEOUTS timeouts = {};
};

Win32SerialLine::Win32SerialLine(PortMapping mapping, QObject *parent)
    : SerialLine(std::move(mapping), parent)
{
    receivePoll_.setInterval(kReceiveLookMs);
    receivePoll_.callOnTimeout(this, &Win32SerialLine::takeArrivals);
}

Win32SerialLine::~Win32SerialLine() { setPortOpen(false); }

SerialLine::Refusal Win32SerialLine::openAt(const QString &location, const LineSettings &settings)
{
    // No sharing: a port another program holds cannot be opened.
    const std::wstring path = (QStringLiteral("\\\\.\\") + location).toStdWString();
    HANDLE handle
        = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        setSystemError(systemText(error));
        return refusalOf(error);
    }
    handle_ = handle;
    readWait_ = -1;
    auto found = std::make_unique<FoundState>();
    found->dcb.DCBlength = sizeof found->dcb;
    if (!::GetCommState(handle, &found->dcb) || !::GetCommTimeouts(handle, &found->timeouts)) {
        setSystemError(systemText(::GetLastError()));
        closePort();
        return Refusal::OpenFailed;
    }
    found_ = std::move(found);
    if (!applySettings(handle, settings) || !setReadWait(0)) {
        setSystemError(systemText(::GetLastError()));
        closePort();
        return Refusal::SettingsRefused;
    }
    // A port starts empty: bytes that came before this open are not this download's.
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    arrived_.clear();
    failed_ = false;
    ::timeBeginPeriod(1);   // waits of a millisecond really take about one
    receiving_ = true;
    receivePoll_.start();
    return Refusal::None;
}

void Win32SerialLine::closePort()
{
    receivePoll_.stop();
    // The download has let its last bytes leave by now; the next program
    // finds the port as this one found it.
    if (found_) {
        ::SetCommState(asHandle(handle_), &found_->dcb);
        ::SetCommTimeouts(asHandle(handle_), &found_->timeouts);
        found_.reset();
    }
    ::CloseHandle(asHandle(handle_));
    if (receiving_)
        ::timeEndPeriod(1);
    receiving_ = false;
    handle_ = nullptr;
    arrived_.clear();
}

// Reads return what has arrived at once; with nothing there they wait up to
// `milliseconds` for the first byte (0: not at all).
bool Win32SerialLine::setReadWait(int milliseconds)
{
    if (milliseconds == readWait_)
        return true;
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = milliseconds > 0 ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutConstant = DWORD(milliseconds);
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!::SetCommTimeouts(asHandle(handle_), &timeouts))
        return false;
    readWait_ = milliseconds;
    return true;
}

int Win32SerialLine::queued(bool input)
{
    if (!handle_)
        return 0;
    COMSTAT status = {};
    DWORD errors = 0;
    if (!::ClearCommError(asHandle(handle_), &errors, &status)) {
        failed();
        return -1;
    }
    return int(input ? status.cbInQue : status.cbOutQue);
}

int Win32SerialLine::InBufferCount()
{
    const int driver = queued(true);
    return int(arrived_.size()) + std::max(driver, 0);
}

void Win32SerialLine::setInBufferCount(int count)
{
    if (count != 0 || !handle_)
        return;
    arrived_.clear();
    ::PurgeComm(asHandle(handle_), PURGE_RXCLEAR);
}

int Win32SerialLine::OutBufferCount() { return std::max(queued(false), 0); }

void Win32SerialLine::setOutBufferCount(int count)
{
    if (count == 0 && handle_)
        ::PurgeComm(asHandle(handle_), PURGE_TXCLEAR);
}

void Win32SerialLine::Output(const QByteArray &bytes)
{
    if (!handle_ || failed_ || bytes.isEmpty())
        return;
    DWORD written = 0;
    if (!::WriteFile(asHandle(handle_), bytes.constData(), DWORD(bytes.size()), &written, nullptr)
        || written != DWORD(bytes.size()))
        failed();   // refused, or not taken within the write time-out: the line is gone or stuck
}

QByteArray Win32SerialLine::readQueued()
{
    const int queuedNow = std::max(queued(true), 0);
    if (queuedNow == 0 || !setReadWait(0))
        return {};
    QByteArray buffer(queuedNow, Qt::Uninitialized);
    DWORD read = 0;
    if (!::ReadFile(asHandle(handle_), buffer.data(), DWORD(queuedNow), &read, nullptr)) {
        failed();
        return {};
    }
    buffer.truncate(int(read));
    return buffer;
}

// What the driver holds arrives now, all of it at once: one arrival.
void Win32SerialLine::takeArrivals()
{
    if (!handle_)
        return;
    const QByteArray bytes = readQueued();
    if (bytes.isEmpty())
        return;
    arrived_ += bytes;
    announceArrival();
}

QByteArray Win32SerialLine::Input()
{
    if (!handle_)
        return {};
    takeArrivals();
    const int wanted = InputLen() > 0 ? InputLen() : int(arrived_.size());
    const QByteArray taken = arrived_.left(wanted);
    arrived_.remove(0, taken.size());
    return taken;
}

// Waits in the driver for the first byte, which arrives with any others
// there by then.
void Win32SerialLine::waitForInput(int milliseconds)
{
    if (!handle_ || failed_ || milliseconds <= 0 || InBufferCount() > 0)
        return;
    if (!setReadWait(milliseconds))
        return;
    char received = 0;
    DWORD read = 0;
    if (!::ReadFile(asHandle(handle_), &received, 1, &read, nullptr)) {
        failed();
    } else if (read == 1) {
        arrived_ += received;
        arrived_ += readQueued();
        announceArrival();
    }
}

void Win32SerialLine::failed()
{
    failed_ = true;
    receivePoll_.stop();
}

std::unique_ptr<SerialLine> makeSystemSerialLine(PortMapping mapping)
{
    return std::make_unique<Win32SerialLine>(std::move(mapping));
}
