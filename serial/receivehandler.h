#pragma once

#include "serial/receivestate.h"
#include "serial/serialline.h"

// The port's receive event: takes the received bytes one at a time into
// RxData and RxByte, and gives the number to print on the main window,
// RxByte + 30 (an acknowledgement, 6, shows as 36).
class ReceiveHandler {
public:
    // While a download runs the bytes are left for it: an acknowledgement
    // taken here would be lost and the frame sent, and stored, twice.
    static int MSComm1_OnComm(SerialLine &line, ReceiveState &rx, bool downloadRunning);
};
