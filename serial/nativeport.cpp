#include "serial/nativeport.h"

#include <cerrno>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#endif

namespace NativePort {

int outputQueue(NativeHandle fd)
{
    int count = 0;
    return ::ioctl(fd, TIOCOUTQ, &count) == 0 ? count : 0;
}

int inputQueue(NativeHandle fd)
{
    int count = 0;
    return ::ioctl(fd, FIONREAD, &count) == 0 ? count : 0;
}

qint64 writeNow(NativeHandle fd, const char *data, qint64 size)
{
    ssize_t written = -1;
    do
        written = ::write(fd, data, size_t(size));
    while (written < 0 && errno == EINTR);
    return written > 0 ? qint64(written) : 0;
}

bool lockExclusive(NativeHandle fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    return errno != EWOULDBLOCK;   // a filesystem without locks does not stop us
}

#if defined(Q_OS_LINUX)

std::optional<bool> lowLatency(NativeHandle fd)
{
    serial_struct serial = {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return std::nullopt;   // not a UART driver: no such mode
    return (serial.flags & ASYNC_LOW_LATENCY) != 0;
}

bool setLowLatency(NativeHandle fd, bool on)
{
    serial_struct serial = {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return false;
    serial.flags = on ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

// UART drivers (8250, ftdi_sio) report their transmitter-empty bit. Others
// (cdc_acm, ch341, cp210x, pl2303) do not; their tcdrain() would wait with no
// time limit of its own, so it is never called and the caller decides.
std::optional<bool> transmitterEmpty(NativeHandle fd)
{
    unsigned int lineStatus = 0;
    if (::ioctl(fd, TIOCSERGETLSR, &lineStatus) != 0)
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
