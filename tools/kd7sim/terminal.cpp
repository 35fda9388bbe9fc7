#include "kd7sim/terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace Terminal {

namespace {

constexpr std::size_t kSlaveNameLength = 128;

}   // namespace

void closeKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

bool makeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB);
#ifdef CRTSCTS
    settings.c_cflag &= ~CRTSCTS;
#endif
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool setNonBlockingAndPrivate(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0
        && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

std::string slaveName(int master)
{
#ifdef __GLIBC__
    char name[kSlaveNameLength] = {};
    return ::ptsname_r(master, name, sizeof name) == 0 ? std::string(name) : std::string();
#else
    const char *name = ::ptsname(master);   // only this thread opens pseudo-terminals here
    return name ? std::string(name) : std::string();
#endif
}

PseudoTerminal openPseudoTerminal()
{
    PseudoTerminal pty;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return pty;
    const std::string path = slaveName(master);
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || path.empty()) {
        closeKeepingErrno(master);
        return pty;
    }
    pty.master = master;
    pty.path = path;
    return pty;
}

}   // namespace Terminal
