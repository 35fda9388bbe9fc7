#include "cli/interruptwatch.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kEndingSignals{SIGINT, SIGTERM, SIGHUP};

// The handler's only way out: a byte down a pipe, whose other end the main
// thread's event loop watches.
int wakeUpFd = -1;
int readEnd = -1;

void onEndingSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUpFd, &byte, 1);
}

void handle(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

}   // namespace

InterruptWatch::InterruptWatch(QObject *parent) : QObject(parent)
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd = ends[0];
    wakeUpFd = ends[1];
    auto *notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(readEnd, bytes, sizeof bytes) > 0) {}
        emit interrupted();
    });
    for (const int signalNumber : kEndingSignals)
        handle(signalNumber, onEndingSignal);
    handle(SIGPIPE, SIG_IGN);
}

InterruptWatch::~InterruptWatch()
{
    for (const int signalNumber : kEndingSignals)
        handle(signalNumber, SIG_DFL);
    handle(SIGPIPE, SIG_DFL);
    if (readEnd >= 0) {
        ::close(readEnd);
        ::close(wakeUpFd);
    }
    readEnd = wakeUpFd = -1;
}

void InterruptWatch::wrappedUp() {}
