#include "tests/support/ptypair.h"

#include "kd7sim/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    const Terminal::PseudoTerminal pty = Terminal::openPseudoTerminal();
    master_ = pty.master;
    if (master_ < 0)
        return;
    path_ = QString::fromStdString(pty.path);
    // Keep the device end open ourselves, raw, so the port's own closing
    // never hangs up the line between tests.
    keptSlave_ = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    if (keptSlave_ >= 0)
        Terminal::makeRaw(keptSlave_);
}

PtyPair::~PtyPair() { hangUp(); }

void PtyPair::write(const QByteArray &bytes)
{
    if (master_ >= 0)
        (void)!::write(master_, bytes.constData(), size_t(bytes.size()));
}

QByteArray PtyPair::read(int milliseconds)
{
    QByteArray got;
    pollfd p{master_, POLLIN, 0};
    while (master_ >= 0 && ::poll(&p, 1, milliseconds) > 0 && (p.revents & POLLIN)) {
        char buffer[512];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, int(n));
        milliseconds = 20;   // gather what follows closely
    }
    return got;
}

void PtyPair::hangUp()
{
    if (keptSlave_ >= 0)
        ::close(keptSlave_);
    if (master_ >= 0)
        ::close(master_);
    keptSlave_ = master_ = -1;
}
