#include "systemports/serialbridges.h"

namespace {

constexpr SerialBridge kFtdi{"FTDI", "ftdi_sio", "FTDI 的 VCP 驱动"};
constexpr SerialBridge kCh340{"CH340", "ch341", "WCH 的 CH341SER 驱动"};
constexpr SerialBridge kPl2303{"PL2303", "pl2303", "Prolific 的 PL2303 驱动"};
constexpr SerialBridge kCp210x{"CP210x", "cp210x", "Silicon Labs 的 CP210x VCP 驱动"};

constexpr int kAnyInterface = -1;

struct KnownId {
    unsigned vendor;
    unsigned product;
    int interfaceNo;   // the one serial interface of a composite device
    const SerialBridge *bridge;
};

// The makers' own ids for their serial bridges. JTAG adapters built on a
// dual FTDI chip (Olimex's ARM-USB-OCD) keep their first interface for JTAG.
constexpr KnownId kKnownIds[] = {
    {0x0403, 0x6001, kAnyInterface, &kFtdi},
    {0x0403, 0x6010, kAnyInterface, &kFtdi},
    {0x0403, 0x6011, kAnyInterface, &kFtdi},
    {0x0403, 0x6014, kAnyInterface, &kFtdi},
    {0x0403, 0x6015, kAnyInterface, &kFtdi},
    {0x15ba, 0x0003, 1, &kFtdi},
    {0x15ba, 0x002b, 1, &kFtdi},
    {0x1a86, 0x7523, kAnyInterface, &kCh340},
    {0x1a86, 0x7522, kAnyInterface, &kCh340},
    {0x1a86, 0x5523, kAnyInterface, &kCh340},
    {0x4348, 0x5523, kAnyInterface, &kCh340},
    {0x067b, 0x2303, kAnyInterface, &kPl2303},
    {0x067b, 0x2304, kAnyInterface, &kPl2303},
    {0x067b, 0x23a3, kAnyInterface, &kPl2303},
    {0x067b, 0x23b3, kAnyInterface, &kPl2303},
    {0x067b, 0x23c3, kAnyInterface, &kPl2303},
    {0x067b, 0x23d3, kAnyInterface, &kPl2303},
    {0x067b, 0x23e3, kAnyInterface, &kPl2303},
    {0x067b, 0x23f3, kAnyInterface, &kPl2303},
    {0x10c4, 0xea60, kAnyInterface, &kCp210x},
    {0x10c4, 0xea61, kAnyInterface, &kCp210x},
    {0x10c4, 0xea63, kAnyInterface, &kCp210x},
    {0x10c4, 0xea70, kAnyInterface, &kCp210x},
    {0x10c4, 0xea71, kAnyInterface, &kCp210x},
    {0x10c4, 0xea7a, kAnyInterface, &kCp210x},
    {0x10c4, 0xea7b, kAnyInterface, &kCp210x},
};

}   // namespace

const SerialBridge *serialBridgeFor(unsigned vendor, unsigned product, int interfaceNo)
{
    for (const KnownId &id : kKnownIds)
        if (id.vendor == vendor && id.product == product
            && (id.interfaceNo == kAnyInterface || interfaceNo < 0 || id.interfaceNo == interfaceNo))
            return id.bridge;
    return nullptr;
}
