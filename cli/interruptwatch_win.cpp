#include "cli/interruptwatch.h"

#include <QMetaObject>

#include <windows.h>

namespace {

// Windows ends the program once the handler returns from a close, a log-off
// or a shutdown, and at the latest about five seconds after the event: the
// handler waits until the ports are given back, within that time.
constexpr DWORD kClosingWaitMs = 4500;

InterruptWatch *watch = nullptr;
HANDLE wrappedUpEvent = nullptr;

bool isClosing(DWORD event)
{
    return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

// Runs on a thread of its own that Windows starts for each event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    InterruptWatch *target = watch;
    if (!target)
        return FALSE;
    QMetaObject::invokeMethod(target, &InterruptWatch::interrupted, Qt::QueuedConnection);
    if (isClosing(event))
        ::WaitForSingleObject(wrappedUpEvent, kClosingWaitMs);
    return TRUE;
}

}   // namespace

InterruptWatch::InterruptWatch(QObject *parent) : QObject(parent)
{
    wrappedUpEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch = this;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    watch = nullptr;
    wrappedUp();
}

void InterruptWatch::wrappedUp()
{
    if (wrappedUpEvent)
        ::SetEvent(wrappedUpEvent);
}
