#pragma once

#include <string>

// The line's end of things: opening pseudo-terminals and setting terminals
// raw, for the simulated device and the tests that stand in for a host.
namespace Terminal {

struct PseudoTerminal {
    int master = -1;    // -1 when none could be opened
    std::string path;   // the device end, for a host to open
};

// A new pseudo-terminal, granted and unlocked.
PseudoTerminal openPseudoTerminal();

// Whatever the host does to it, the line must carry bytes unchanged: no echo,
// no line editing, no CR/LF translation and no XON/XOFF flow control.
bool makeRaw(int fd);

// The listening thread must never block on the line, and programs this
// process starts (kd7sim from the tests) must not inherit it: a copy of the
// descriptor elsewhere would keep the line up after a hang-up.
bool setNonBlockingAndPrivate(int fd);

// Closes without disturbing the errno a failure left to report.
void closeKeepingErrno(int fd);

}   // namespace Terminal
