#pragma once

#include <QString>

// The name Windows shows for a COM port in its device list, such as
// "USB Serial Port (COM3)"; empty when Windows knows none.
QString windowsFriendlyName(const QString &comName);
