#include "cli/interruptwatch.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kEndingSignals{SIGINT, SIGTERM, SIGHUP};

// What each ending signal did before the watch, and whether the watch took
// it over: one ignored at start is left alone. Written before any handler
// is installed; the handlers only read it.
std::array<struct sigaction, kEndingSignals.size()> before{};
std::array<bool, kEndingSignals.size()> takenOver{};
struct sigaction pipeBefore = {};

// The handler's only way out: a byte down a pipe, whose other end the main
// thread's event loop watches.
int wakeUpFd = -1;
int readEnd = -1;
volatile std::sig_atomic_t firstSignal = 0;

void giveSignalsBack()
{
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
        if (takenOver[i])
            ::sigaction(kEndingSignals[i], &before[i], nullptr);
}

// Only async-signal-safe calls. The signals are given back at once, so the
// next one ends the program while the ports are still being closed.
void onEndingSignal(int signalNumber)
{
    const int savedErrno = errno;
    giveSignalsBack();
    if (firstSignal == 0)
        firstSignal = signalNumber;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUpFd, &byte, 1);
    errno = savedErrno;
}

struct sigaction actionOf(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return action;
}

bool isIgnored(const struct sigaction &action)
{
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

}   // namespace

InterruptWatch::InterruptWatch(QObject *parent) : QObject(parent)
{
    firstSignal = 0;
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
    const struct sigaction watching = actionOf(onEndingSignal);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        ::sigaction(kEndingSignals[i], nullptr, &before[i]);
        takenOver[i] = !isIgnored(before[i]);
        if (takenOver[i])
            ::sigaction(kEndingSignals[i], &watching, nullptr);
    }
    const struct sigaction ignoring = actionOf(SIG_IGN);
    ::sigaction(SIGPIPE, &ignoring, &pipeBefore);
}

InterruptWatch::~InterruptWatch()
{
    if (readEnd < 0)
        return;
    giveSignalsBack();
    takenOver.fill(false);
    ::sigaction(SIGPIPE, &pipeBefore, nullptr);
    ::close(readEnd);
    ::close(wakeUpFd);
    readEnd = wakeUpFd = -1;
}

void InterruptWatch::wrappedUp() {}

int InterruptWatch::signalNumber() const { return firstSignal; }

void InterruptWatch::endAsSignalled(int signalNumber)
{
    if (signalNumber == 0)
        return;
    const struct sigaction byDefault = actionOf(SIG_DFL);
    ::sigaction(signalNumber, &byDefault, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signalNumber);
}
