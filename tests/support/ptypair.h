#pragma once

#include "kd7sim/terminal.h"

#include <QByteArray>
#include <QString>

#include <string>

// One end of a terminal line that a test drives with plain system calls:
// the host's end of the simulated device's line, or the controlling end of a
// pseudo-terminal. Every wait is bounded.
class TerminalEnd {
public:
    // Takes over an open descriptor (or none: -1), made non-blocking.
    explicit TerminalEnd(int fd = -1);
    ~TerminalEnd() { close(); }
    TerminalEnd(const TerminalEnd &) = delete;
    TerminalEnd &operator=(const TerminalEnd &) = delete;

    // Opens the terminal at `path`, set raw unless its settings are to be left alone.
    bool open(const std::string &path, bool raw = true);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // False when the other end takes not all of them within a second.
    bool write(const QByteArray &bytes);
    // Reads until `expected` bytes have come or `milliseconds` have passed;
    // expecting none, what comes within `milliseconds` and what follows
    // closely. `reads` counts the reads that returned bytes.
    QByteArray read(int milliseconds, int expected = 0, int *reads = nullptr);
    // Bytes that wait here unread, once some have come or `milliseconds` have
    // passed; it reads none of them.
    int unread(int milliseconds);
    // The other end hung up: poll reports it, or a read ends or fails.
    bool waitForHangUp(int milliseconds);

private:
    int fd_ = -1;
};

// A raw pseudo-terminal for port tests: the test plays the device on the
// controlling end, the code under test opens the device end by its path.
class PtyPair {
public:
    PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return controlling_.isOpen(); }
    QString devicePath() const { return path_; }

    void write(const QByteArray &bytes) { controlling_.write(bytes); }
    // Reads what arrived within `milliseconds`.
    QByteArray read(int milliseconds) { return controlling_.read(milliseconds); }
    // Bytes the device wrote that the host has not read yet, once some have
    // reached the host's end or `milliseconds` have passed.
    int unreadByHost(int milliseconds) { return keptDeviceEnd_.unread(milliseconds); }
    // The device goes away: the port sees a hang-up.
    void hangUp();

private:
    explicit PtyPair(const Terminal::PseudoTerminal &pty);

    TerminalEnd controlling_;
    // Held open by the test, so the port's own closing never hangs up the
    // line between tests.
    TerminalEnd keptDeviceEnd_;
    QString path_;
};
