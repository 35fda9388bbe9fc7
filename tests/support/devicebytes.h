#pragma once

#include <QByteArray>
#include <QtGlobal>

// The bytes of a download as the KD7 reads them, spelled out here rather than
// taken from the tool's WireProtocol: a test compares what the tool sends
// with a reading of its own, so a slip in one shows against the other.
namespace DeviceBytes {

constexpr char kAck = 0x06;   // the device's answer to the handshake and to each frame

// 100 bytes 0xAA: they wake the device before each handshake.
inline QByteArray preamble() { return QByteArray(100, char(0xAA)); }

// 02 'K' 'D' '7'
inline QByteArray handshake() { return QByteArray("\x02KD7", 4); }

// What a device hears when a download starts: the preamble, then the handshake.
inline QByteArray wakeUp() { return preamble() + handshake(); }

// 02, low byte, high byte, low XOR high.
inline QByteArray frame(quint16 word)
{
    const char low = char(word & 0xFF);
    const char high = char(word >> 8);
    return QByteArray(1, '\x02') + low + high + char(low ^ high);
}

// 02 'E' 'N' 'D'
inline QByteArray endMarker() { return QByteArray(1, '\x02') + "END"; }

}   // namespace DeviceBytes
