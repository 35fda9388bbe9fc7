#include "serial/receivehandler.h"

int ReceiveHandler::MSComm1_OnComm(SerialLine &line, ReceiveState &rx, bool downloadRunning)
{
    if (line.CommEvent() == SerialLine::comEvReceive && !downloadRunning)
        drainInput(line, rx);
    return rx.RxByte + 30;
}
