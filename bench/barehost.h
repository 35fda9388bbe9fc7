#pragma once

#include "download/clock.h"
#include "download/downloadprocedure.h"
#include "kd7sim/simulatedport.h"
#include "serial/portcontroller.h"
#include "serial/qtserialline.h"
#include "serial/receivestate.h"

#include <QCoreApplication>

// The download without the window: the same procedure, serial line, clock and
// event processing as the tool, but no progress bar and no receive event
// printed on a surface. Beside the real window it shows what they cost.
class BareHost {
public:
    explicit BareHost(const SimulatedDevice &device)
        : line_(portOneOn(device)),
          ports_(line_, [](const QString &, const QString &) {}),
          procedure_(line_, rx_, clock_, hooks())
    {}

    // The frames acknowledged.
    int download(const ProgramImage &image) { return procedure_.run(image).WordIndex; }

private:
    DownloadProcedure::Hooks hooks()
    {
        DownloadProcedure::Hooks h;
        h.Openport = [this] { ports_.Openport(); };
        h.Closeport = [this] { ports_.Closeport(); };
        h.processEvents = [] { QCoreApplication::processEvents(); };
        return h;
    }

    QtSerialLine line_;
    ReceiveState rx_;
    SteadyClock clock_;
    PortController ports_;
    DownloadProcedure procedure_;
};
