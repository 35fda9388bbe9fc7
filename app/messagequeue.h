#pragma once

// Looks at the window system's message queue without taking or dispatching
// anything, so that no window event runs. Windows marks a window whose
// program has not looked at its queue for five seconds as not responding
// (white, "(未响应)" in its caption, an offer to end the program); a wait
// for the device that looks now and then never gets there. Elsewhere it
// does nothing.
void lookAtMessageQueue();
