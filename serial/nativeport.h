#pragma once

#include <QSerialPort>

#include <utility>

// What QSerialPort does not offer: the driver's own queues, exclusive use and
// low-latency mode. Each does nothing where the system has no such thing.
namespace NativePort {

using NativeHandle = decltype(std::declval<QSerialPort &>().handle());

// Bytes the driver still holds for sending.
int outputQueue(NativeHandle handle);
// Bytes the driver holds that the program has not read.
int inputQueue(NativeHandle handle);
// Takes an advisory exclusive lock; false when another program holds the port.
bool lockExclusive(NativeHandle handle);
// Asks the driver to hand received bytes over at once instead of batching them.
void requestLowLatency(NativeHandle handle);
// Hands bytes to the driver without blocking; how many it took (0 when it
// takes none now, or where the system has no such write). A failure is left
// for QSerialPort to meet and report on its own write.
qint64 writeNow(NativeHandle handle, const char *data, qint64 size);

} // namespace NativePort
