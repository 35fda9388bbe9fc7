#include "figures.h"

#include "deviceplacement.h"
#include "downloadrunner.h"
#include "loaderbench.h"
#include "programfile.h"
#include "wirebudget.h"

#include "kd7sim/simulateddevice.h"

#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <array>

namespace {

constexpr double kPacedGoal = 1.01;   // within 1% of the line's own limit
constexpr double kCpuGoal = 0.03;     // under 3% of one core
constexpr double kMilli = 1e3;
constexpr double kMicro = 1e6;
constexpr double kBytesPerKiB = 1024.0;

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }
QString percent(double fraction) { return fixed(fraction * 100.0, 2) + QLatin1Char('%'); }
QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("NOT met"); }
QString exactCell(const DownloadRun &run)
{
    return run.exact() ? QStringLiteral("yes") : QStringLiteral("NO: ") + run.problem;
}

double ratio(double ours, double reference) { return reference > 0 ? ours / reference : 0.0; }

template <typename Field> double medianOf(const std::vector<DownloadRun> &runs, Field field)
{
    std::vector<double> values;
    for (const DownloadRun &run : runs)
        values.push_back(field(run));
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// One run standing for several: the median of each figure, and the first
// problem any of them had.
DownloadRun summary(const std::vector<DownloadRun> &runs)
{
    DownloadRun typical = runs.front();
    typical.usage.wall = medianOf(runs, [](const DownloadRun &r) { return r.usage.wall; });
    typical.usage.threadCpu = medianOf(runs, [](const DownloadRun &r) { return r.usage.threadCpu; });
    typical.usage.processCpu = medianOf(runs, [](const DownloadRun &r) { return r.usage.processCpu; });
    typical.responseMedian = medianOf(runs, [](const DownloadRun &r) { return r.responseMedian; });
    typical.responseP90 = medianOf(runs, [](const DownloadRun &r) { return r.responseP90; });
    for (const DownloadRun &run : runs)
        if (!run.exact() && typical.exact())
            typical.problem = run.problem;
    return typical;
}

QJsonObject runJson(const DownloadRun &run)
{
    return {{"host", run.host},
            {"words", run.words},
            {"frames", run.frames()},
            {"wall_s", run.usage.wall},
            {"host_thread_cpu_s", run.usage.threadCpu},
            {"process_cpu_s", run.usage.processCpu},
            {"frames_per_s", run.usage.wall > 0 ? run.frames() / run.usage.wall : 0.0},
            {"host_response_median_s", run.responseMedian},
            {"host_response_p90_s", run.responseP90},
            {"exact", run.exact()},
            {"problem", run.problem}};
}

QJsonArray wallsJson(const std::vector<DownloadRun> &runs)
{
    QJsonArray walls;
    for (const DownloadRun &run : runs)
        walls.append(run.usage.wall);
    return walls;
}

QStringList unpacedRow(const DownloadRun &run)
{
    const double frames = run.frames();
    return {run.host,
            QString::number(run.frames()),
            fixed(run.usage.wall, 3),
            fixed(frames / run.usage.wall, 0),
            fixed(run.responseMedian * kMicro, 1),
            fixed(run.usage.threadCpu, 3),
            fixed(run.usage.threadCpu / frames * kMicro, 1),
            fixed(run.usage.processCpu, 3),
            exactCell(run)};
}

QStringList pacedRow(const DownloadRun &run, double limit)
{
    const double wall = run.usage.wall;
    return {run.host,
            fixed(wall, 3),
            fixed(limit, 3),
            fixed(wall / limit, 4),
            fixed((wall - limit) / run.frames() * kMilli, 3),
            fixed(run.responseMedian * kMicro, 1),
            fixed(run.responseP90 * kMicro, 1),
            fixed(run.usage.threadCpu, 3),
            percent(run.usage.threadCpu / wall),
            percent(run.usage.processCpu / wall),
            exactCell(run)};
}

QJsonObject pacedJson(const DownloadRun &run, double limit)
{
    QJsonObject json = runJson(run);
    json.insert("line_limit_s", limit);
    json.insert("wall_over_limit", run.usage.wall / limit);
    json.insert("extra_ms_per_frame", (run.usage.wall - limit) / run.frames() * kMilli);
    json.insert("host_cpu_over_wall", run.usage.threadCpu / run.usage.wall);
    json.insert("process_cpu_over_wall", run.usage.processCpu / run.usage.wall);
    return json;
}

}   // namespace

bool Figures::startDevice(SimulatedDevice &device, DevicePlacement &placement, Section &section, bool apart)
{
    if (apart ? placement.startApart(device) : device.start())
        return true;
    const QString problem = QStringLiteral("simulator: ") + QString::fromStdString(device.lastError());
    section.table.addNote(problem);
    problems_ << problem;
    return false;
}

void Figures::record(const DownloadRun &run)
{
    if (!run.exact())
        problems_ << run.host + QStringLiteral(": ") + run.problem;
}

// Each round runs the three hosts in a rotated order, so that a drift in the
// machine favours none of them.
Figures::UnpacedRuns Figures::unpacedRuns(const ProgramFile &program, bool apart, Section &section)
{
    UnpacedRuns runs;
    DevicePlacement placement;   // outlives the device: the host gets its cores back after it
    SimulatedDevice device;
    if (!startDevice(device, placement, section, apart))
        return runs;
    DownloadRunner runner(device, program);
    using Take = DownloadRun (DownloadRunner::*)();
    const std::array<std::pair<Take, std::vector<DownloadRun> *>, 3> hosts{
        {{&DownloadRunner::reference, &runs.reference},
         {&DownloadRunner::ours, &runs.ours},
         {&DownloadRunner::bare, &runs.bare}}};
    for (int round = 0; round < options_.unpacedRounds; ++round) {
        for (std::size_t i = 0; i < hosts.size(); ++i) {
            const auto &[take, into] = hosts[(std::size_t(round) + i) % hosts.size()];
            into->push_back((runner.*take)());
            record(into->back());
        }
    }
    return runs;
}

QJsonObject Figures::addUnpacedRows(Section &section, const QString &placement, const UnpacedRuns &runs) const
{
    if (runs.ours.empty())
        return {};
    const DownloadRun o = summary(runs.ours), b = summary(runs.bare), r = summary(runs.reference);
    const double wallRatio = ratio(o.usage.wall, r.usage.wall);
    const double cpuRatio = ratio(o.usage.threadCpu, r.usage.threadCpu);
    section.table.addRow({placement});
    for (const DownloadRun *run : {&o, &b, &r})
        section.table.addRow(unpacedRow(*run));
    section.table.addRow({"  kd7load / reference", "", fixed(wallRatio, 3),
                          fixed(ratio(r.usage.wall, o.usage.wall), 3),
                          fixed(ratio(o.responseMedian, r.responseMedian), 3), fixed(cpuRatio, 3), "",
                          fixed(ratio(o.usage.processCpu, r.usage.processCpu), 3), ""});
    return {{"kd7load", runJson(o)},
            {"kd7load_no_window", runJson(b)},
            {"reference", runJson(r)},
            {"kd7load_walls_s", wallsJson(runs.ours)},
            {"reference_walls_s", wallsJson(runs.reference)},
            {"wall_ratio_ours_over_reference", wallRatio},
            {"host_cpu_ratio_ours_over_reference", cpuRatio},
            {"goal_at_least_as_fast_met", wallRatio <= 1.0}};
}

Figures::Section Figures::unpaced()
{
    Section section{
        Table(QStringLiteral("1. Unpaced: %1 words to the simulated device through a pseudo-terminal, "
                             "median of %2 round%3")
                  .arg(options_.unpacedWords)
                  .arg(options_.unpacedRounds)
                  .arg(options_.unpacedRounds == 1 ? "" : "s")),
        {}};
    const ProgramFile program(dir_ + QStringLiteral("/UNPACED.OBJ"), options_.unpacedWords);
    section.table.setHeader({"host", "frames", "wall s", "frames/s", "response µs", "host CPU s",
                             "CPU µs/frame", "process CPU s", "exact"});
    const UnpacedRuns apart = unpacedRuns(program, true, section);
    const UnpacedRuns shared = unpacedRuns(program, false, section);
    const QJsonObject apartJson
        = addUnpacedRows(section, QStringLiteral("device on a core of its own:"), apart);
    const QJsonObject sharedJson
        = addUnpacedRows(section, QStringLiteral("device sharing the host's cores:"), shared);
    section.table.addNote(
        QStringLiteral("host CPU: CLOCK_THREAD_CPUTIME_ID of the thread running the download; "
                       "process CPU includes the simulator's thread"));
    section.table.addNote(
        QStringLiteral("response: median time from an answer leaving the device to the host's "
                       "next frame reaching it, as the device saw it"));
    section.table.addNote(
        QStringLiteral("goal, at least as fast as the reference (wall ratio <= 1): %1 with the "
                       "device on its own core, %2 sharing cores")
            .arg(verdict(apartJson.value("goal_at_least_as_fast_met").toBool()),
                 verdict(sharedJson.value("goal_at_least_as_fast_met").toBool())));
    section.json = {{"words", options_.unpacedWords},
                    {"rounds", options_.unpacedRounds},
                    {"device_on_own_core", apartJson},
                    {"device_sharing_cores", sharedJson}};
    return section;
}

Figures::Section Figures::pacedSection(const QString &title, const std::vector<DownloadRun> &runs,
                                       double limit) const
{
    Section section{Table(title), {}};
    section.table.setHeader({"host", "wall s", "limit s", "wall/limit", "extra ms/frame", "response µs",
                             "p90 µs", "host CPU s", "host CPU/wall", "process CPU/wall", "exact"});
    QJsonArray hosts;
    for (const DownloadRun &run : runs) {
        section.table.addRow(pacedRow(run, limit));
        hosts.append(pacedJson(run, limit));
    }
    section.json = {{"words", runs.front().words}, {"line_limit_s", limit}, {"hosts", hosts}};
    const DownloadRun &reference = runs.front(), &ours = runs[1];
    const double oursOverReference = (ours.usage.wall - reference.usage.wall) / ours.frames();
    section.table.addNote(
        QStringLiteral("kd7load over the reference: %1 µs a frame (%2 of the limit); what the "
                       "reference itself takes over the limit is the pseudo-terminal (a kernel "
                       "worker carries every write across) and the wake-ups, on any host")
            .arg(fixed(oursOverReference * kMicro, 1),
                 percent((ours.usage.wall - reference.usage.wall) / limit)));
    section.json.insert("kd7load_over_reference_s_per_frame", oursOverReference);
    // The two ratios runs are compared by: paced wall time, kd7load (with the
    // window) over the reference, and the unpaced one in its own figure.
    section.json.insert("wall_ratio_ours_over_reference", ratio(ours.usage.wall, reference.usage.wall));
    return section;
}

Figures::Section Figures::paced()
{
    const int words = options_.pacedWords;
    SimulatedDevice::FaultConfig pace;
    pace.paced = true;
    DevicePlacement placement;
    SimulatedDevice device(pace);
    const ProgramFile program(dir_ + QStringLiteral("/PACED.OBJ"), words);
    Section failed{Table(QStringLiteral("2. Paced")), {}};
    if (!startDevice(device, placement, failed, options_.placeDevice))
        return failed;
    DownloadRunner runner(device, program);
    const std::vector<DownloadRun> runs{runner.reference(), runner.ours(), runner.bare()};
    for (const DownloadRun &run : runs)
        record(run);
    pacedOurs_ = runs[1];
    pacedBare_ = runs[2];

    const double limit = WireBudget::seconds(words);
    Section section = pacedSection(
        QStringLiteral("2. Paced at 9600 baud: %1 words; limit = %2 bytes on the wire at 960 bytes/s")
            .arg(words)
            .arg(WireBudget::bytes(words)),
        runs, limit);
    const DownloadRun &ours = runs[1];
    const bool fast = ours.usage.wall <= limit * kPacedGoal;
    const bool light = ours.usage.threadCpu < ours.usage.wall * kCpuGoal;
    section.table.addNote(
        QStringLiteral("limit counts preamble+handshake 104, its answer 1, 5 a frame for %1 frames, "
                       "end marker 4")
            .arg(WireBudget::frames(words)));
    section.table.addNote(placement.placed()
                              ? QStringLiteral("the device's thread ran on a core of its own (--device-core)")
                              : QStringLiteral("the device's thread shared the host's cores, as in the demo; "
                                               "--device-core gives it one of its own"));
    section.json.insert("device_on_own_core", placement.placed());
    section.table.addNote(QStringLiteral("goal, kd7load within 1% of the limit: %1; under 3% of one core: %2")
                              .arg(verdict(fast), verdict(light)));
    section.json.insert("goal_within_1_percent_met", fast);
    section.json.insert("goal_under_3_percent_cpu_met", light);
    return section;
}

Figures::Section Figures::latency()
{
    const int words = options_.latencyWords;
    const double latency = options_.addedLatency;
    SimulatedDevice::FaultConfig slow;
    slow.paced = true;
    slow.answerLatency = latency;
    DevicePlacement placement;
    SimulatedDevice device(slow);
    const ProgramFile program(dir_ + QStringLiteral("/LATENCY.OBJ"), words);
    Section failed{Table(QStringLiteral("3. Answer latency")), {}};
    if (!startDevice(device, placement, failed, options_.placeDevice))
        return failed;
    DownloadRunner runner(device, program);
    const std::vector<DownloadRun> runs{runner.reference(), runner.ours()};
    for (const DownloadRun &run : runs)
        record(run);

    const int answers = WireBudget::frames(words) + 1;   // every frame and the handshake
    const double lineLimit = WireBudget::seconds(words);
    const double limit = lineLimit + answers * latency;
    Section section = pacedSection(
        QStringLiteral("3. Paced, every answer %1 ms late: %2 words; limit = line limit + %3 answers x %1 ms")
            .arg(latency * kMilli)
            .arg(words)
            .arg(answers),
        runs, limit);
    const double wall = runs[1].usage.wall;
    section.table.addNote(
        QStringLiteral("a pseudo-terminal has no low-latency mode (TIOCGSERIAL is refused), so "
                       "kd7load's request does nothing here; the simulator adds the %1 ms "
                       "a USB adapter's latency timer holds each answer")
            .arg(latency * kMilli));
    section.table.addNote(QStringLiteral("what low-latency mode is worth where a driver honours it: %1 s of "
                                         "kd7load's %2 s are latency; without it the line limit is %3 s "
                                         "(%4x faster)")
                              .arg(fixed(answers * latency, 2), fixed(wall, 2), fixed(lineLimit, 2),
                                   fixed(wall / lineLimit, 1)));
    section.json.insert("added_latency_s", latency);
    section.json.insert("line_limit_without_latency_s", lineLimit);
    section.json.insert("latency_share_s", answers * latency);
    section.json.insert("pseudo_terminal_has_low_latency_mode", false);
    return section;
}

Figures::Section Figures::loader()
{
    const ProgramFile program(dir_ + QStringLiteral("/LOADER.OBJ"), options_.loaderWords);
    const LoaderBench::Result result = LoaderBench::run(program.path(), program.words(), options_.loaderRuns);
    if (!result.problem.isEmpty())
        problems_ << QStringLiteral("loader: ") + result.problem;
    Section section{
        Table(QStringLiteral("4. Loader: ObjectFileReader::read + ProgramImage::load of %1 numbers")
                  .arg(result.words)),
        {}};
    section.table.setHeader(
        {"", "median ms", "fastest ms", "runs", "peak RSS added KiB", "child peak KiB", "exact"});
    section.table.addRow(
        {"read + load", fixed(result.medianSeconds * kMilli, 3), fixed(result.fastestSeconds * kMilli, 3),
         QString::number(result.runs), QString::number(result.addedKiB()),
         QString::number(result.loadPeakKiB),
         result.problem.isEmpty() ? QStringLiteral("yes") : QStringLiteral("NO: ") + result.problem});
    section.table.addNote(QStringLiteral("peak memory: VmHWM of a fresh child that loads, less one that does "
                                         "not (%1 KiB), median of %2 each; file %3 KiB")
                              .arg(result.idlePeakKiB)
                              .arg(LoaderBench::kMemoryRounds)
                              .arg(fixed(QFileInfo(program.path()).size() / kBytesPerKiB, 1)));
    section.json = {{"words", result.words},
                    {"runs", result.runs},
                    {"median_s", result.medianSeconds},
                    {"fastest_s", result.fastestSeconds},
                    {"peak_rss_added_kib", double(result.addedKiB())},
                    {"child_load_peak_kib", double(result.loadPeakKiB)},
                    {"child_idle_peak_kib", double(result.idlePeakKiB)},
                    {"exact", result.problem.isEmpty()}};
    return section;
}

Figures::Section Figures::progress() const
{
    Section section{
        Table(QStringLiteral("5. Progress display: the paced download with the window and its bar, "
                             "and without")),
        {}};
    if (!pacedOurs_ || !pacedBare_) {
        section.table.addNote(QStringLiteral("needs the paced figure"));
        return section;
    }
    const DownloadRun &shown = *pacedOurs_, &bare = *pacedBare_;
    section.table.setHeader({"host", "wall s", "host CPU s", "host CPU/wall", "process CPU s", "exact"});
    for (const DownloadRun *run : {&shown, &bare})
        section.table.addRow({run->host, fixed(run->usage.wall, 3), fixed(run->usage.threadCpu, 3),
                              percent(run->usage.threadCpu / run->usage.wall),
                              fixed(run->usage.processCpu, 3), exactCell(*run)});
    const Usage cost = shown.usage - bare.usage;
    section.table.addRow({"window - no window", fixed(cost.wall, 3), fixed(cost.threadCpu, 3), "",
                          fixed(cost.processCpu, 3), ""});
    section.table.addNote(QStringLiteral("per frame: wall %1 µs (%2 of the wall), host CPU %3 µs")
                              .arg(fixed(cost.wall / shown.frames() * kMicro, 1),
                                   percent(cost.wall / bare.usage.wall),
                                   fixed(cost.threadCpu / shown.frames() * kMicro, 1)));
    section.json = {{"with_window", runJson(shown)},
                    {"without_window", runJson(bare)},
                    {"wall_difference_s", cost.wall},
                    {"host_cpu_difference_s", cost.threadCpu},
                    {"process_cpu_difference_s", cost.processCpu}};
    return section;
}
