#include "serial/systemline.h"

#ifdef Q_OS_WIN
#include "serial/win32serialline.h"
using SystemSerialLine = Win32SerialLine;
#else
#include "serial/qtserialline.h"
using SystemSerialLine = QtSerialLine;
#endif

std::unique_ptr<SerialLine> makeSystemSerialLine(PortMapping mapping)
{
    return std::make_unique<SystemSerialLine>(std::move(mapping));
}
