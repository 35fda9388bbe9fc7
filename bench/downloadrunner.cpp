#include "downloadrunner.h"

#include "barehost.h"
#include "programfile.h"
#include "referencehost.h"
#include "stopwatch.h"

#include "image/objectfilereader.h"
#include "kd7sim/simulateddevice.h"

#include <algorithm>

namespace {

constexpr double kMedian = 0.5;
constexpr double kNinetieth = 0.9;

double quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(q * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

}   // namespace

DownloadRunner::DownloadRunner(SimulatedDevice &device, const ProgramFile &program)
    : device_(device),
      program_(program),
      form_(device)
{
    loadedWords_ = form_.load(program.path());
    const ParsedObjectFile file = ObjectFileReader::read(program.path());
    if (file.ok)
        image_.load(file.words);
}

DownloadRun DownloadRunner::startRun(const QString &host) const
{
    DownloadRun run;
    run.host = host;
    run.words = int(program_.words().size());
    return run;
}

DownloadRun DownloadRunner::ours()
{
    DownloadRun run = startRun(QStringLiteral("kd7load"));
    const Before before = snapshot();
    if (loadedWords_ != run.words) {
        run.problem = QStringLiteral("the window loaded %1 words").arg(loadedWords_);
        return run;
    }
    form_.setShown(true);
    const qsizetype messagesBefore = form_.messages().size();
    const Stopwatch watch;
    const QString shown = form_.download();
    run.usage = watch.elapsed();
    run.reported = shown.toInt();
    if (form_.messages().size() > messagesBefore)
        run.problem = form_.messages().mid(messagesBefore).join(QLatin1Char(' '));
    return finish(run, before);
}

DownloadRun DownloadRunner::bare()
{
    DownloadRun run = startRun(QStringLiteral("kd7load, no window"));
    const Before before = snapshot();
    BareHost host(device_);
    form_.setShown(false);   // no window at all, not even one left from the other host
    const Stopwatch watch;
    const DownloadOutcome outcome = host.download(image_);
    run.usage = watch.elapsed();
    run.reported = outcome.WordIndex;
    return finish(run, before);
}

DownloadRun DownloadRunner::reference()
{
    DownloadRun run = startRun(QStringLiteral("reference (termios+poll)"));
    const Before before = snapshot();
    ReferenceHost host(device_.devicePath());
    form_.setShown(false);
    const Stopwatch watch;
    run.reported = host.download(program_.words());
    run.usage = watch.elapsed();
    if (!host.error().empty())
        run.problem = QString::fromStdString(host.error());
    return finish(run, before);
}

DownloadRunner::Before DownloadRunner::snapshot() const
{
    const SimulatedDevice::Counters counters = device_.counters();
    return {device_.sessions().size(), counters.badCheckBytes, counters.skippedBytes};
}

DownloadRun DownloadRunner::finish(DownloadRun run, const Before &before) const
{
    if (run.exact())
        run.problem = checkDelivery(run, before);
    if (device_.sessions().size() > before.sessions)
        addResponses(run);
    return run;
}

void DownloadRunner::addResponses(DownloadRun &run) const
{
    const std::vector<SimulatedDevice::Session> sessions = device_.sessions();
    const std::vector<double> &responses = sessions.back().hostResponses;
    run.responseMedian = quantile(responses, kMedian);
    run.responseP90 = quantile(responses, kNinetieth);
}

// Exactly one new session, ended by its end marker, holding the program and
// the frame past it, with no frame dropped or resent on the way.
QString DownloadRunner::checkDelivery(const DownloadRun &run, const Before &before) const
{
    if (run.reported != run.frames())
        return QStringLiteral("host reported %1 of %2 frames").arg(run.reported).arg(run.frames());
    if (!device_.waitForEndMarker(kEndMarkerWait))
        return QStringLiteral("no end marker");
    if (device_.sessions().size() != before.sessions + 1)
        return QStringLiteral("more than one handshake");
    const SimulatedDevice::Counters counters = device_.counters();
    if (counters.badCheckBytes != before.badCheckBytes || counters.skippedBytes != before.skippedBytes)
        return QStringLiteral("damaged frames on the line");
    if (device_.words() != program_.expectedOnDevice())
        return QStringLiteral("the device stored other words");
    return {};
}
