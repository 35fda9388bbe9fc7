#include "serial/portcontroller.h"

#include "serial/module1.h"

PortController::PortController(SerialLine &line, MessageBox showMessage, PortTroubles troubles,
                               PortNumber portNumber)
    : line_(line),
      showMessage_(std::move(showMessage)),
      troubles_(std::move(troubles)),
      portNumber_(portNumber ? std::move(portNumber) : [] { return int(PortNo); })
{}

void PortController::Openport()
{
    // Every open starts from a closed port, so the settings apply afresh.
    if (line_.PortOpen())
        line_.setPortOpen(false);
    const int portNo = portNumber_();
    line_.setCommPort(portNo);
    line_.setInBufferCount(0);
    line_.setOutBufferCount(0);
    line_.setInputLen(1);
    line_.setRThreshold(1);
    line_.setInputMode(SerialLine::comInputModeBinary);
    line_.setSettings(QString::fromLatin1(kLineSettings));
    if (!line_.setPortOpen(true))
        showMessage_(
            QStringLiteral("串口不能打开! "),
            explainRefusal({portNo, line_.location(), line_.refusal(), line_.systemError()}, troubles_));
}

void PortController::Closeport()
{
    if (line_.PortOpen())
        line_.setPortOpen(false);
}
