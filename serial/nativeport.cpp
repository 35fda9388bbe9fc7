#include "serial/nativeport.h"

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#endif
#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace NativePort {

#if defined(Q_OS_UNIX)

int outputQueue(NativeHandle handle)
{
    int count = 0;
    return ::ioctl(handle, TIOCOUTQ, &count) == 0 ? count : 0;
}

int inputQueue(NativeHandle handle)
{
    int count = 0;
    return ::ioctl(handle, FIONREAD, &count) == 0 ? count : 0;
}

qint64 writeNow(NativeHandle handle, const char *data, qint64 size)
{
    ssize_t written = -1;
    do
        written = ::write(handle, data, size_t(size));
    while (written < 0 && errno == EINTR);
    return written > 0 ? qint64(written) : 0;
}

bool lockExclusive(NativeHandle handle)
{
    if (::flock(handle, LOCK_EX | LOCK_NB) == 0)
        return true;
    return errno != EWOULDBLOCK;   // a filesystem without locks does not stop us
}

#elif defined(Q_OS_WIN)

int outputQueue(NativeHandle handle)
{
    COMSTAT status = {};
    DWORD errors = 0;
    return ::ClearCommError(handle, &errors, &status) ? int(status.cbOutQue) : 0;
}

int inputQueue(NativeHandle handle)
{
    COMSTAT status = {};
    DWORD errors = 0;
    return ::ClearCommError(handle, &errors, &status) ? int(status.cbInQue) : 0;
}

// Windows opens serial ports for exclusive use already.
bool lockExclusive(NativeHandle) { return true; }

// Overlapped writes stay with QSerialPort.
qint64 writeNow(NativeHandle, const char *, qint64) { return 0; }

#else

int outputQueue(NativeHandle) { return 0; }
int inputQueue(NativeHandle) { return 0; }
bool lockExclusive(NativeHandle) { return true; }
qint64 writeNow(NativeHandle, const char *, qint64) { return 0; }

#endif

#if defined(Q_OS_LINUX)

std::optional<bool> lowLatency(NativeHandle handle)
{
    serial_struct serial = {};
    if (::ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return std::nullopt;   // not a UART driver: no such mode
    return (serial.flags & ASYNC_LOW_LATENCY) != 0;
}

bool setLowLatency(NativeHandle handle, bool on)
{
    serial_struct serial = {};
    if (::ioctl(handle, TIOCGSERIAL, &serial) != 0)
        return false;
    serial.flags = on ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
    return ::ioctl(handle, TIOCSSERIAL, &serial) == 0;
}

// UART drivers (8250, ftdi_sio) report their transmitter-empty bit. Others
// (cdc_acm, ch341, cp210x, pl2303) do not; their tcdrain() would wait with no
// time limit of its own, so it is never called and the caller decides.
std::optional<bool> transmitterEmpty(NativeHandle handle)
{
    unsigned int lineStatus = 0;
    if (::ioctl(handle, TIOCSERGETLSR, &lineStatus) != 0)
        return std::nullopt;
    return (lineStatus & TIOCSER_TEMT) != 0;
}

#else

std::optional<bool> lowLatency(NativeHandle) { return std::nullopt; }
bool setLowLatency(NativeHandle, bool) { return false; }
// An empty driver queue is all the system tells.
std::optional<bool> transmitterEmpty(NativeHandle) { return std::nullopt; }

#endif

}   // namespace NativePort
