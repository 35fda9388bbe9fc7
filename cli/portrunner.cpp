#include "cli/portrunner.h"

#include "serial/portcontroller.h"
#include "serial/receivestate.h"
#include "serial/systemline.h"

#include <QElapsedTimer>

PortRunner::PortRunner(PortTarget target, const ProgramImage &image, ClockMaker makeClock, QObject *parent)
    : QThread(parent),
      image_(image),
      makeClock_(makeClock ? std::move(makeClock)
                           : [](const PortTarget &) { return std::make_unique<SteadyClock>(); })
{
    result_.target = std::move(target);
}

PortRunner::~PortRunner()
{
    stop();
    wait();   // bounded: a stopped download ends within its last frame's drain
}

// The window's hooks, but for the events: this thread has none to run. The
// port is opened with no receive event, as nothing here shows the bytes
// received, and it is read and waited on directly, its failures included;
// processing events once a frame would only cost CPU (about a seventh of
// it). Where the window would look at its events while a frame leaves, and
// at each look at the input while it waits, a stop is taken up instead.
DownloadProcedure::Hooks PortRunner::hooksFor(SerialLine &line, PortController &ports,
                                              DownloadProcedure *&procedure)
{
    const auto takeUpStop = [this, &procedure] {
        if (stopping_ && procedure)
            procedure->abort();
    };
    DownloadProcedure::Hooks hooks;
    hooks.Openport = [&line, &ports] {
        ports.Openport();
        line.setRThreshold(0);
    };
    hooks.Closeport = [&ports] { ports.Closeport(); };
    hooks.processEvents = takeUpStop;
    hooks.showResponsive = takeUpStop;
    hooks.progress = [this](int acknowledged, int) { acknowledged_ = acknowledged; };
    return hooks;
}

void PortRunner::run()
{
    QElapsedTimer elapsed;
    elapsed.start();
    const QString device = result_.target.device;
    const int number = result_.target.number;
    const std::unique_ptr<SerialLine> line = makeSystemSerialLine([device](int) { return device; });
    const std::unique_ptr<Clock> clock = makeClock_(result_.target);
    ReceiveState rx;
    QString refusal;
    QString message;
    PortTroubles troubles = systemPortTroubles();
    troubles.numbersShownIn = QStringLiteral("kd7load-cli --list 列出了它们");
    const auto refused = [&refusal, &message](const QString &text, const QString &detail) {
        message = text;
        refusal = text + detail;
    };
    PortController ports(*line, refused, troubles, [number] { return number; });
    DownloadProcedure *procedure = nullptr;
    DownloadProcedure download(*line, rx, *clock, hooksFor(*line, ports, procedure));
    procedure = &download;
    result_.outcome = stopping_ ? DownloadOutcome{DownloadOutcome::End::Aborted, 0} : download.run(image_);
    result_.refusal = refusal;
    result_.message = message.trimmed();
    result_.seconds = double(elapsed.nsecsElapsed()) / 1e9;
}
