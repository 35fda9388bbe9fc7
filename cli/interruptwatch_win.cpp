#include "cli/interruptwatch.h"

#include <QMetaObject>

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace {

// Windows ends the program once the handler returns from a close, a log-off
// or a shutdown, and at the latest about five seconds after the event: the
// handler waits until the ports are given back, within that time.
constexpr DWORD kClosingWaitMs = 4500;

// What the handler shares with the watch. Windows runs the handler on a
// thread of its own for each event, at any moment, also while the watch is
// being destroyed: the watch goes only once no handler uses it.
struct Shared {
    std::mutex mutex;
    std::condition_variable handlerDone;
    InterruptWatch *watch = nullptr;
    HANDLE wrappedUpEvent = nullptr;
    int runningHandlers = 0;
};
Shared shared;

bool isClosing(DWORD event)
{
    return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI onConsoleEvent(DWORD event)
{
    HANDLE wrappedUp = nullptr;
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        if (!shared.watch)
            return FALSE;
        QMetaObject::invokeMethod(shared.watch, &InterruptWatch::interrupted, Qt::QueuedConnection);
        wrappedUp = shared.wrappedUpEvent;
        ++shared.runningHandlers;
    }
    if (isClosing(event))
        ::WaitForSingleObject(wrappedUp, kClosingWaitMs);
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        --shared.runningHandlers;
    }
    shared.handlerDone.notify_all();
    return TRUE;
}

}   // namespace

InterruptWatch::InterruptWatch(QObject *parent) : QObject(parent)
{
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.wrappedUpEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        shared.watch = this;
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// A handler waiting for the wrap-up is released first; the event handle is
// closed once every handler has let go of it.
InterruptWatch::~InterruptWatch()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    wrappedUp();
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.watch = nullptr;
    shared.handlerDone.wait(lock, [] { return shared.runningHandlers == 0; });
    if (shared.wrappedUpEvent)
        ::CloseHandle(shared.wrappedUpEvent);
    shared.wrappedUpEvent = nullptr;
}

void InterruptWatch::wrappedUp()
{
    const std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.wrappedUpEvent)
        ::SetEvent(shared.wrappedUpEvent);
}

int InterruptWatch::signalNumber() const { return 0; }

void InterruptWatch::endAsSignalled(int) {}
