#pragma once

// What a window busy in a download does to stay alive on screen while it
// processes no window events (no event may run during the waits).
namespace BusyWindow {

// Looks at the window system's message queue without taking or dispatching
// anything. Windows marks a window whose program has not looked at its
// queue for five seconds as not responding (white, "(未响应)" in its
// caption, an offer to end the program); a wait for the device that looks
// now and then never gets there. Elsewhere it does nothing.
void lookAtMessageQueue();

// Hands what the window has just painted to the screen now, not at the next
// processing of events (Windows keeps a thread's drawing calls in a batch).
void showPainting();

}   // namespace BusyWindow
