#include "downloadrunner.h"

#include "barehost.h"
#include "programfile.h"
#include "quantile.h"
#include "referencehost.h"

#include <QCoreApplication>

namespace {

constexpr double kEndMarkerWait = 2.0;
constexpr int kSettleRounds = 3;

}   // namespace

DownloadRunner::DownloadRunner(SimulatedDevice &device, const ProgramFile &program)
    : device_(device),
      program_(program),
      window_(device)
{
    window_.open(program.path);
}

DownloadRun DownloadRunner::ours()
{
    show(true);
    const qsizetype messages = window_.messages.size();
    return measure(
        QStringLiteral("kd7load"), [this] { return window_.download().toInt(); },
        [this, messages] {
            const int loaded = window_.form->image.WordCount;
            if (loaded != int(program_.words.size()))
                return QStringLiteral("the window loaded %1 words").arg(loaded);
            return window_.messages.mid(messages).join(QLatin1Char(' '));
        });
}

// The same image as the window's, loaded from the same file.
DownloadRun DownloadRunner::bare()
{
    BareHost host(device_);
    show(false);   // no window at all, not even one left from the other host
    return measure(
        QStringLiteral("kd7load, no window"), [&] { return host.download(window_.form->image); },
        [] { return QString(); });
}

DownloadRun DownloadRunner::reference()
{
    const std::string path = device_.devicePath();
    std::string error;
    show(false);
    return measure(
        QStringLiteral("reference (termios+poll)"),
        [&] { return referenceDownload(path, program_.words, error); },
        [&] { return QString::fromStdString(error); });
}

DownloadRun DownloadRunner::measure(const QString &host, const std::function<int()> &download,
                                    const std::function<QString()> &problem)
{
    DownloadRun run;
    run.host = host;
    run.words = int(program_.words.size());
    const SimulatedDevice::Counters before = device_.counters();
    const Stopwatch watch;
    run.reported = download();
    run.usage = watch.elapsed();
    run.problem = problem();
    if (run.exact())
        run.problem = checkDelivery(run, before);
    if (device_.counters().handshakesSeen > before.handshakesSeen) {
        const std::vector<double> responses = device_.sessions().back().hostResponses;
        run.responseMedian = quantile(responses, 0.5);
        run.responseP90 = quantile(responses, 0.9);
    }
    return run;
}

// Exactly one new session, ended by its end marker, holding the program and
// the frame past it, with no frame dropped or resent on the way.
QString DownloadRunner::checkDelivery(const DownloadRun &run, const SimulatedDevice::Counters &before)
{
    if (run.reported != run.frames())
        return QStringLiteral("host reported %1 of %2 frames").arg(run.reported).arg(run.frames());
    if (!device_.waitForEndMarker(kEndMarkerWait))
        return QStringLiteral("no end marker");
    const SimulatedDevice::Counters after = device_.counters();
    if (after.handshakesSeen != before.handshakesSeen + 1)
        return QStringLiteral("more than one handshake");
    if (after.badCheckBytes != before.badCheckBytes || after.skippedBytes != before.skippedBytes)
        return QStringLiteral("damaged frames on the line");
    if (device_.words() != withExtraFrame(program_.words))
        return QStringLiteral("the device stored other words");
    return {};
}

// Showing posts an expose, the expose an update, the update a paint: each
// round of event processing takes the next step, so that no repaint left
// over falls into a timed download.
void DownloadRunner::show(bool shown)
{
    window_.form->setVisible(shown);
    for (int round = 0; round < kSettleRounds; ++round)
        QCoreApplication::processEvents();
}
