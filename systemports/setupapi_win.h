#pragma once

#include <QString>
#include <QStringList>

#include <windows.h>
// after windows.h, which it builds on
#include <setupapi.h>

// What SetupAPI tells of one device of a device information set.
namespace SetupApi {

// A text property (SPDRP_FRIENDLYNAME, SPDRP_CLASSGUID, ...); empty when it has none.
QString text(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD property);
// A list property (SPDRP_HARDWAREID, SPDRP_COMPATIBLEIDS).
QStringList texts(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD property);
// The COM port its driver gave it ("COM3"), kept in its device key; empty when none.
QString portName(HDEVINFO devices, SP_DEVINFO_DATA &device);

}   // namespace SetupApi
