#pragma once

#include <QtGlobal>

#include <optional>

// What QSerialPort does not offer on a POSIX system: the driver's own queues,
// exclusive use and low-latency mode, on the port's file descriptor. Each
// does nothing where the system has no such thing.
namespace NativePort {

using NativeHandle = int;

// Bytes the driver still holds for sending.
int outputQueue(NativeHandle fd);
// Bytes the driver holds that the program has not read.
int inputQueue(NativeHandle fd);
// Takes an advisory exclusive lock; false when another program holds the port.
bool lockExclusive(NativeHandle fd);
// Whether the driver hands received bytes over at once instead of batching
// them; nothing where the driver has no such mode (a pseudo-terminal, say).
std::optional<bool> lowLatency(NativeHandle fd);
// Switches that mode; false when the driver refuses.
bool setLowLatency(NativeHandle fd, bool on);
// Whether the last byte written has left the line, the UART's FIFO or the
// adapter's own buffer included; nothing where the driver cannot tell. Call
// it once the driver's queue is empty. It never waits.
std::optional<bool> transmitterEmpty(NativeHandle fd);
// Hands bytes to the driver without blocking; how many it took (0 when it
// takes none now). A failure is left for QSerialPort to meet and report on
// its own write.
qint64 writeNow(NativeHandle fd, const char *data, qint64 size);

}   // namespace NativePort
