#include "serial/receivestate.h"

#include "serial/serialline.h"

void drainInput(SerialLine &line, ReceiveState &rx)
{
    while (line.InBufferCount() != 0) {
        QByteArray data = line.Input();
        if (data.isEmpty())
            return;   // the port closed or failed under us
        rx.RxByte = static_cast<quint8>(data.at(0));
        rx.RxData = std::move(data);
    }
}
