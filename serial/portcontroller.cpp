#include "serial/portcontroller.h"

#include "serial/module1.h"

void PortController::Openport()
{
    // Every open starts from a closed port, so the settings apply afresh.
    if (line_.PortOpen())
        line_.setPortOpen(false);
    line_.setCommPort(PortNo);
    line_.setInBufferCount(0);
    line_.setOutBufferCount(0);
    line_.setInputLen(1);
    line_.setRThreshold(1);
    line_.setInputMode(SerialLine::comInputModeBinary);
    line_.setSettings(QString::fromLatin1(kLineSettings));
    if (!line_.setPortOpen(true))
        showMessage_(QStringLiteral("串口不能打开! "));
}

void PortController::Closeport()
{
    if (line_.PortOpen())
        line_.setPortOpen(false);
}
