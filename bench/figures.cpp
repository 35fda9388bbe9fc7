#include "figures.h"

#include "deviceplacement.h"
#include "loaderbench.h"
#include "manyports.h"
#include "programfile.h"
#include "quantile.h"

#include <QFileInfo>
#include <QJsonArray>

#include <array>

namespace {

constexpr double kPacedGoal = 1.01;   // within 1% of the line's own limit
constexpr double kCpuGoal = 0.03;     // under 3% of one core
constexpr double kMilli = 1e3;
constexpr double kMicro = 1e6;
constexpr double kBytesPerKiB = 1024.0;

// What a download puts on a 9600-baud line (start, 8 data and stop bit: 960
// bytes/s): preamble and handshake, the handshake's answer, each frame with
// its acknowledgement, one frame more than the words, and the end marker. No
// host can finish sooner.
int frames(int words) { return words + 1; }
long long wireBytes(int words) { return 104 + 1 + 5LL * frames(words) + 4; }
double lineSeconds(int words) { return double(wireBytes(words)) / 960.0; }

QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("NOT met"); }
double ratio(double ours, double reference) { return reference > 0 ? ours / reference : 0.0; }

// Every figure of one run; each table shows those its header names.
std::vector<Value> runValues(const DownloadRun &run)
{
    const double frames = run.frames(), wall = run.usage.wall;
    return {{"", "host", run.host, ""},
            {"", "words", run.words, ""},
            number("frames", "frames", frames, 0),
            number("wall s", "wall_s", wall, 3),
            number("frames/s", "frames_per_s", wall > 0 ? frames / wall : 0.0, 0),
            number("response µs", "host_response_median_s", run.responseMedian, 1, kMicro),
            number("p90 µs", "host_response_p90_s", run.responseP90, 1, kMicro),
            number("host CPU s", "host_thread_cpu_s", run.usage.threadCpu, 3),
            number("CPU µs/frame", "", run.usage.threadCpu / frames, 1, kMicro),
            percent("host CPU/wall", "", run.usage.threadCpu / wall),
            number("process CPU s", "process_cpu_s", run.usage.processCpu, 3),
            exact(run.problem),
            {"", "problem", run.problem, ""}};
}

// A run measured against the time the line itself needs, `limit`.
std::vector<Value> pacedValues(const DownloadRun &run, double limit)
{
    const double wall = run.usage.wall;
    std::vector<Value> values = runValues(run);
    values.insert(values.end(),
                  {number("limit s", "line_limit_s", limit, 3),
                   number("wall/limit", "wall_over_limit", wall / limit, 4),
                   number("extra ms/frame", "extra_ms_per_frame", (wall - limit) / run.frames() * kMilli, 3),
                   {"", "host_cpu_over_wall", run.usage.threadCpu / wall, ""},
                   percent("process CPU/wall", "process_cpu_over_wall", run.usage.processCpu / wall)});
    return values;
}

// One run standing for several: the median of each figure, and the first
// problem any of them had.
DownloadRun summary(const std::vector<DownloadRun> &runs)
{
    const auto median = [&runs](double (*field)(const DownloadRun &)) {
        std::vector<double> values;
        for (const DownloadRun &run : runs)
            values.push_back(field(run));
        return quantile(values, 0.5);
    };
    DownloadRun typical = runs.front();
    typical.usage.wall = median([](const DownloadRun &r) { return r.usage.wall; });
    typical.usage.threadCpu = median([](const DownloadRun &r) { return r.usage.threadCpu; });
    typical.usage.processCpu = median([](const DownloadRun &r) { return r.usage.processCpu; });
    typical.responseMedian = median([](const DownloadRun &r) { return r.responseMedian; });
    typical.responseP90 = median([](const DownloadRun &r) { return r.responseP90; });
    for (const DownloadRun &run : runs)
        if (!run.exact() && typical.exact())
            typical.problem = run.problem;
    return typical;
}

QJsonArray walls(const std::vector<DownloadRun> &runs)
{
    QJsonArray walls;
    for (const DownloadRun &run : runs)
        walls.append(run.usage.wall);
    return walls;
}

}   // namespace

bool Figures::start(SimulatedDevice &device, DevicePlacement &placement, bool apart, Section &section)
{
    if (placement.start(device, apart))
        return true;
    const QString problem = QStringLiteral("simulator: ") + QString::fromStdString(device.lastError());
    section.addNote(problem);
    problems_ << problem;
    return false;
}

void Figures::record(const DownloadRun &run)
{
    if (!run.exact())
        problems_ << run.host + QStringLiteral(": ") + run.problem;
}

// Each round runs the three hosts in a rotated order, so that a drift in the
// machine favours none of them; the rows show the medians.
QJsonObject Figures::unpacedRows(const ProgramFile &program, bool apart, Section &section)
{
    DevicePlacement placement;   // outlives the device: the host gets its cores back after it
    SimulatedDevice device;
    if (!start(device, placement, apart, section))
        return {};
    DownloadRunner runner(device, program);
    const std::array<DownloadRun (DownloadRunner::*)(), 3> hosts{
        &DownloadRunner::reference, &DownloadRunner::ours, &DownloadRunner::bare};
    std::array<std::vector<DownloadRun>, 3> runs;
    for (int round = 0; round < options_.unpacedRounds; ++round) {
        for (std::size_t i = 0; i < hosts.size(); ++i) {
            const std::size_t host = (std::size_t(round) + i) % hosts.size();
            runs[host].push_back((runner.*hosts[host])());
            record(runs[host].back());
        }
    }
    const DownloadRun r = summary(runs[0]), o = summary(runs[1]), b = summary(runs[2]);
    section.addRow(apart ? QStringLiteral("device on a core of its own:")
                         : QStringLiteral("device sharing the host's cores:"));
    QJsonObject json;
    json.insert("kd7load", section.addRow(o.host, runValues(o)));
    json.insert("kd7load_no_window", section.addRow(b.host, runValues(b)));
    json.insert("reference", section.addRow(r.host, runValues(r)));
    json.insert("kd7load_walls_s", walls(runs[1]));
    json.insert("reference_walls_s", walls(runs[0]));
    const double wallRatio = ratio(o.usage.wall, r.usage.wall);
    insertAll(json,
              section.addRow(QStringLiteral("  kd7load / reference"),
                             {number("wall s", "wall_ratio_ours_over_reference", wallRatio, 3),
                              number("frames/s", "", ratio(r.usage.wall, o.usage.wall), 3),
                              number("response µs", "", ratio(o.responseMedian, r.responseMedian), 3),
                              number("host CPU s", "host_cpu_ratio_ours_over_reference",
                                     ratio(o.usage.threadCpu, r.usage.threadCpu), 3),
                              number("process CPU s", "", ratio(o.usage.processCpu, r.usage.processCpu), 3),
                              {"", "goal_at_least_as_fast_met", wallRatio <= 1.0, ""}}));
    return json;
}

Section Figures::unpaced()
{
    const int rounds = options_.unpacedRounds;
    Section section(QStringLiteral("1. Unpaced: %1 words to the simulated device through a pseudo-terminal, "
                                   "median of %2 round%3")
                        .arg(options_.unpacedWords)
                        .arg(rounds)
                        .arg(rounds == 1 ? "" : "s"),
                    {"host", "frames", "wall s", "frames/s", "response µs", "host CPU s", "CPU µs/frame",
                     "process CPU s", "exact"});
    const ProgramFile program(dir_ + QStringLiteral("/UNPACED.OBJ"), options_.unpacedWords);
    const QJsonObject apart = unpacedRows(program, true, section);
    const QJsonObject shared = unpacedRows(program, false, section);
    section.addNote(QStringLiteral("host CPU: CLOCK_THREAD_CPUTIME_ID of the thread running the download; "
                                   "process CPU includes the simulator's thread"));
    section.addNote(QStringLiteral("response: median time from an answer leaving the device to the host's "
                                   "next frame reaching it, as the device saw it"));
    section.addNote(QStringLiteral("goal, at least as fast as the reference (wall ratio <= 1): %1 with the "
                                   "device on its own core, %2 sharing cores")
                        .arg(verdict(apart.value("goal_at_least_as_fast_met").toBool()),
                             verdict(shared.value("goal_at_least_as_fast_met").toBool())));
    section.json = {{"words", options_.unpacedWords},
                    {"rounds", rounds},
                    {"device_on_own_core", apart},
                    {"device_sharing_cores", shared}};
    return section;
}

Section Figures::paced(double latency)
{
    const int words = latency > 0 ? options_.latencyWords : options_.pacedWords;
    const int answers = frames(words) + 1;   // every frame and the handshake
    const double lineLimit = lineSeconds(words);
    const double limit = lineLimit + answers * latency;
    Section section(
        latency > 0
            ? QStringLiteral("3. Paced, every answer %1 ms late: %2 words; limit = line limit + %3 answers "
                             "x %1 ms")
                  .arg(latency * kMilli)
                  .arg(words)
                  .arg(answers)
            : QStringLiteral("2. Paced at 9600 baud: %1 words; limit = %2 bytes on the wire at 960 bytes/s")
                  .arg(words)
                  .arg(wireBytes(words)),
        {"host", "wall s", "limit s", "wall/limit", "extra ms/frame", "response µs", "p90 µs", "host CPU s",
         "host CPU/wall", "process CPU/wall", "exact"});
    SimulatedDevice::FaultConfig pace;
    pace.paced = true;
    pace.answerLatency = latency;
    DevicePlacement placement;
    SimulatedDevice device(pace);
    const ProgramFile program(dir_ + (latency > 0 ? "/LATENCY.OBJ" : "/PACED.OBJ"), words);
    if (!start(device, placement, options_.placeDevice, section))
        return section;
    DownloadRunner runner(device, program);
    std::vector<DownloadRun> runs{runner.reference(), runner.ours()};
    if (latency == 0)
        runs.push_back(runner.bare());   // for the progress figure
    QJsonArray hosts;
    for (const DownloadRun &run : runs) {
        record(run);
        hosts.append(section.addRow(run.host, pacedValues(run, limit)));
    }
    const DownloadRun &reference = runs[0], &ours = runs[1];
    const double oursOverReference = (ours.usage.wall - reference.usage.wall) / ours.frames();
    section.addNote(QStringLiteral("kd7load over the reference: %1 µs a frame (%2 of the limit); what the "
                                   "reference itself takes over the limit is the pseudo-terminal (a kernel "
                                   "worker carries every write across) and the wake-ups, on any host")
                        .arg(fixed(oursOverReference * kMicro, 1),
                             percentText((ours.usage.wall - reference.usage.wall) / limit)));
    // The two ratios runs are compared by: paced wall time, kd7load (with the
    // window) over the reference, and the unpaced one in its own figure.
    section.json = {{"words", words},
                    {"line_limit_s", limit},
                    {"hosts", hosts},
                    {"kd7load_over_reference_s_per_frame", oursOverReference},
                    {"wall_ratio_ours_over_reference", ratio(ours.usage.wall, reference.usage.wall)}};
    if (latency > 0) {
        section.addNote(
            QStringLiteral("a pseudo-terminal has no low-latency mode (TIOCGSERIAL is refused), so "
                           "kd7load's request does nothing here; the simulator adds the %1 ms "
                           "a USB adapter's latency timer holds each answer")
                .arg(latency * kMilli));
        section.addNote(QStringLiteral("what low-latency mode is worth where a driver honours it: %1 s of "
                                       "kd7load's %2 s are latency; without it the line limit is %3 s "
                                       "(%4x faster)")
                            .arg(fixed(answers * latency, 2), fixed(ours.usage.wall, 2), fixed(lineLimit, 2),
                                 fixed(ours.usage.wall / lineLimit, 1)));
        section.json.insert("added_latency_s", latency);
        section.json.insert("line_limit_without_latency_s", lineLimit);
        section.json.insert("latency_share_s", answers * latency);
        section.json.insert("pseudo_terminal_has_low_latency_mode", false);
        return section;
    }
    pacedOurs_ = ours;
    pacedBare_ = runs[2];
    const bool fast = ours.usage.wall <= limit * kPacedGoal;
    const bool light = ours.usage.threadCpu < ours.usage.wall * kCpuGoal;
    section.addNote(QStringLiteral("limit counts preamble+handshake 104, its answer 1, 5 a frame for %1 "
                                   "frames, end marker 4")
                        .arg(frames(words)));
    section.addNote(placement.placed() ? QStringLiteral("the device's thread ran on a core of its own "
                                                        "(--device-core)")
                                       : QStringLiteral("the device's thread shared the host's cores, as in "
                                                        "the demo; --device-core gives it one of its own"));
    section.addNote(QStringLiteral("goal, kd7load within 1% of the limit: %1; under 3% of one core: %2")
                        .arg(verdict(fast), verdict(light)));
    section.json.insert("device_on_own_core", placement.placed());
    section.json.insert("goal_within_1_percent_met", fast);
    section.json.insert("goal_under_3_percent_cpu_met", light);
    return section;
}

Section Figures::loader()
{
    const int words = options_.loaderWords;
    const ProgramFile program(dir_ + QStringLiteral("/LOADER.OBJ"), words);
    const LoaderBench::Result result = LoaderBench::run(program.path, program.words, options_.loaderRuns);
    if (!result.problem.isEmpty())
        problems_ << QStringLiteral("loader: ") + result.problem;
    Section section(
        QStringLiteral("4. Loader: ObjectFileReader::read + ProgramImage::load of %1 numbers").arg(words),
        {"", "median ms", "fastest ms", "runs", "peak RSS added KiB", "child peak KiB", "exact"});
    section.json
        = section.addRow(QStringLiteral("read + load"),
                         {{"", "words", words, ""},
                          number("median ms", "median_s", result.medianSeconds, 3, kMilli),
                          number("fastest ms", "fastest_s", result.fastestSeconds, 3, kMilli),
                          number("runs", "runs", result.runs, 0),
                          number("peak RSS added KiB", "peak_rss_added_kib",
                                 double(result.loadPeakKiB - result.idlePeakKiB), 0),
                          number("child peak KiB", "child_load_peak_kib", double(result.loadPeakKiB), 0),
                          {"", "child_idle_peak_kib", double(result.idlePeakKiB), ""},
                          exact(result.problem)});
    section.addNote(QStringLiteral("peak memory: VmHWM of a fresh child that loads, less one that does not "
                                   "(%1 KiB), median of %2 each; file %3 KiB")
                        .arg(result.idlePeakKiB)
                        .arg(LoaderBench::kMemoryRounds)
                        .arg(fixed(QFileInfo(program.path).size() / kBytesPerKiB, 1)));
    return section;
}

Section Figures::progress() const
{
    Section section(QStringLiteral("5. Progress display: the paced download with the window and its bar, "
                                   "and without"),
                    {"host", "wall s", "host CPU s", "host CPU/wall", "process CPU s", "exact"});
    if (!pacedOurs_ || !pacedBare_) {
        section.addNote(QStringLiteral("needs the paced figure"));
        return section;
    }
    const DownloadRun &shown = *pacedOurs_, &bare = *pacedBare_;
    section.json.insert("with_window", section.addRow(shown.host, runValues(shown)));
    section.json.insert("without_window", section.addRow(bare.host, runValues(bare)));
    const Usage cost = shown.usage - bare.usage;
    insertAll(section.json,
              section.addRow(QStringLiteral("window - no window"),
                             {number("wall s", "wall_difference_s", cost.wall, 3),
                              number("host CPU s", "host_cpu_difference_s", cost.threadCpu, 3),
                              number("process CPU s", "process_cpu_difference_s", cost.processCpu, 3)}));
    section.addNote(QStringLiteral("per frame: wall %1 µs (%2 of the wall), host CPU %3 µs")
                        .arg(fixed(cost.wall / shown.frames() * kMicro, 1),
                             percentText(cost.wall / bare.usage.wall),
                             fixed(cost.threadCpu / shown.frames() * kMicro, 1)));
    return section;
}

Section Figures::manyAtOnce()
{
    ManyPorts many(options_, dir_);
    const Section section = many.measure();
    problems_ << many.problems();
    return section;
}
