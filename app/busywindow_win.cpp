#include "app/busywindow.h"

#include <windows.h>

namespace {
// A message nobody sends this program: looking for it finds nothing.
constexpr UINT kNoMessage = WM_APP + 0x3FF7;
}   // namespace

// Looks for a message that never comes, among posted messages only, and
// leaves the queue as it was: messages sent from elsewhere are not asked
// for, as taking one would run a window procedure. Finding nothing, the
// system also hands the window's painting over, as it does while a program
// waits for messages.
void BusyWindow::lookAtMessageQueue()
{
    MSG message;
    ::PeekMessageW(&message, nullptr, kNoMessage, kNoMessage, PM_NOREMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE);
}

void BusyWindow::showPainting()
{
    ::GdiFlush();
    lookAtMessageQueue();
}
