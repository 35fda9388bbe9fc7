#include "app/busywindow.h"

// The X11 and Wayland desktops ask a window for a sign of life with an event
// of their own, which only processing events could answer; Qt hands its
// painting to the display server as it flushes.
void BusyWindow::lookAtMessageQueue() {}

void BusyWindow::showPainting() {}
