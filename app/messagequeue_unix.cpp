#include "app/messagequeue.h"

// The X11 and Wayland desktops ask a window for a sign of life with an event
// of their own, which only processing events could answer.
void lookAtMessageQueue() {}
