#include "barehost.h"
#include "kd7sim/simulatedport.h"

#include "kd7sim/simulateddevice.h"
#include "serial/module1.h"

#include <QCoreApplication>

BareHost::BareHost(SimulatedDevice &device)
    : line_(portOneOn(device)),
      ports_(line_, [this](const QString &text) { messages_ << text; }),
      procedure_(line_, rx_, clock_, hooks())
{}

DownloadProcedure::Hooks BareHost::hooks()
{
    DownloadProcedure::Hooks h;
    h.Openport = [this] { ports_.Openport(); };
    h.Closeport = [this] { ports_.Closeport(); };
    h.processEvents = [] { QCoreApplication::processEvents(); };
    return h;
}

DownloadOutcome BareHost::download(const ProgramImage &image)
{
    PortNo = 1;
    return procedure_.run(image);
}
