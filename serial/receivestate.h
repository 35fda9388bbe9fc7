#pragma once

#include <QByteArray>

class SerialLine;

// The last data read from the port and the value of its first byte, shared by
// the receive event and the download's acknowledgement check.
struct ReceiveState {
    QByteArray RxData;
    int RxByte = 0;   // a value never set counts as 0
};

// Reads the waiting bytes one at a time; RxByte ends as the last byte read.
void drainInput(SerialLine &line, ReceiveState &rx);
