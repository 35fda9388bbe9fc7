#pragma once

#include <QSerialPort>

// Whether a port error means the line is gone (the device was unplugged or
// the driver failed), as opposed to a harmless report such as a poll that
// timed out.
bool isLineFailure(QSerialPort::SerialPortError error);
