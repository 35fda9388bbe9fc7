#include "download/wireprotocol.h"

namespace WireProtocol {

QByteArray preamble() { return QByteArray(kPreambleLength, char(kPreambleByte)); }

QByteArray handshake()
{
    return QByteArray("\x02"
                      "KD7",
                      4);
}

QByteArray endMarker()
{
    return QByteArray("\x02"
                      "END",
                      4);
}

WordFrame wordFrame(quint16 word)
{
    const quint8 low = word % 256;
    const quint8 high = word / 256;
    return {kStart, low, high, quint8(high ^ low)};
}

QByteArray bytes(const WordFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
}

}   // namespace WireProtocol
