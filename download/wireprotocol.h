#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The bytes of a download. The host sends a wake-up preamble, a handshake,
// one frame per word and an end marker; the device answers the handshake and
// every frame with one acknowledgement byte.
namespace WireProtocol {

constexpr quint8 kStart = 0x02;
constexpr quint8 kPreambleByte = 0xAA;
constexpr int kPreambleLength = 100;
constexpr quint8 kAck = 0x06;

using WordFrame = std::array<quint8, 4>;

QByteArray preamble();
QByteArray handshake();   // 02 'K' 'D' '7'
QByteArray endMarker();   // 02 'E' 'N' 'D'

// 02, low byte, high byte, check byte (high XOR low).
WordFrame wordFrame(quint16 word);
QByteArray bytes(const WordFrame &frame);

// The device acknowledged only when the last byte drained was 0x06.
inline bool isAcknowledgement(int lastByte) { return lastByte == kAck; }

}   // namespace WireProtocol
