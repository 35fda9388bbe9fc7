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

} // namespace NativePort
