#include "app/messagequeue.h"

#include <windows.h>

// Posted messages are looked at and left in the queue. Messages sent from
// elsewhere are not asked for: taking one would run a window procedure.
void lookAtMessageQueue()
{
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE);
}
