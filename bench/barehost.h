#pragma once

#include "download/clock.h"
#include "download/downloadprocedure.h"
#include "serial/portcontroller.h"
#include "serial/qtserialline.h"
#include "serial/receivestate.h"

#include <QStringList>

class SimulatedDevice;

// The download without the window: the same procedure, serial line, clock and
// event processing as the tool, but no progress bar and no receive event
// printed on a surface. Beside the real window it shows what they cost.
class BareHost {
public:
    explicit BareHost(SimulatedDevice &device);

    DownloadOutcome download(const ProgramImage &image);
    const QStringList &messages() const { return messages_; }

private:
    DownloadProcedure::Hooks hooks();

    QStringList messages_;
    QtSerialLine line_;
    ReceiveState rx_;
    SteadyClock clock_;
    PortController ports_;
    DownloadProcedure procedure_;
};
