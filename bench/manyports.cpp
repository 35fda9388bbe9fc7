#include "manyports.h"

#include "clichild.h"
#include "programfile.h"
#include "quantile.h"
#include "referencehost.h"
#include "stopwatch.h"

#include "kd7sim/simulateddevice.h"

#include <QJsonArray>

#include <memory>
#include <vector>

namespace {

constexpr double kWallGoal = 1.02;   // n ports at once take at most 2% longer than one
constexpr double kCpuGoal = 1.5;     // CPU per port at most 1.5 times the reference host's on one port
constexpr double kEndMarkerWait = 2.0;

using Devices = std::vector<std::unique_ptr<SimulatedDevice>>;

// n devices answering at the pace of a 9600-baud line, sharing the host's cores.
Devices pacedDevices(int count, QString &problem)
{
    SimulatedDevice::FaultConfig paced;
    paced.paced = true;
    Devices devices;
    for (int i = 0; i < count; ++i) {
        devices.push_back(std::make_unique<SimulatedDevice>(paced));
        if (!devices.back()->start())
            problem = QStringLiteral("simulator: ") + QString::fromStdString(devices.back()->lastError());
    }
    return devices;
}

// One session each, ended by its end marker, holding the program and the frame past it.
QString checkDelivery(const Devices &devices, const std::vector<quint16> &words)
{
    std::vector<std::uint16_t> sent(words.begin(), words.end());
    sent.push_back(0);
    for (const auto &device : devices) {
        const QString name = QString::fromStdString(device->devicePath());
        if (!device->waitForEndMarker(kEndMarkerWait))
            return name + QStringLiteral(": no end marker");
        if (device->counters().handshakesSeen != 1 || device->words() != sent)
            return name + QStringLiteral(": other words stored");
    }
    return {};
}

// The program's turnaround as the devices saw it: from each answer leaving
// a device to the next frame reaching it, the median over every frame of
// every device. It stays put when a slower run is the devices' own doing.
double hostResponse(const Devices &devices)
{
    std::vector<double> responses;
    for (const auto &device : devices) {
        const std::vector<SimulatedDevice::Session> sessions = device->sessions();
        if (!sessions.empty())
            responses.insert(responses.end(), sessions.back().hostResponses.begin(),
                             sessions.back().hostResponses.end());
    }
    return responses.empty() ? 0.0 : quantile(responses, 0.5);
}

double ratio(double a, double b) { return b > 0 ? a / b : 0.0; }
QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("NOT met"); }

}   // namespace

ManyPorts::Reference ManyPorts::reference(const std::vector<quint16> &words)
{
    QString problem;
    const Devices devices = pacedDevices(1, problem);
    std::string error;
    const Stopwatch watch;
    const int frames = referenceDownload(devices.front()->devicePath(), words, error);
    const Usage usage = watch.elapsed();
    if (frames != int(words.size()) + 1)
        problems_ << QStringLiteral("reference: ") + QString::fromStdString(error);
    return {usage.wall, usage.threadCpu, hostResponse(devices)};
}

Section ManyPorts::measure()
{
    const ProgramFile program(dir_ + QStringLiteral("/MANY.OBJ"), options_.pacedWords);
    Section section(
        QStringLiteral("6. Many at once: kd7load-cli to n simulated devices at once, each paced at "
                       "9600 baud, %1 words")
            .arg(options_.pacedWords),
        {"ports", "wall s", "wall / 1 port", "response µs", "CPU s", "CPU/port s", "CPU/port / reference",
         "exact"});
    const Reference ref = reference(program.words);
    section.addRow(QStringLiteral("reference host, 1 port"),
                   {number("wall s", "", ref.wall, 3), number("response µs", "", ref.response, 1, 1e6),
                    number("CPU/port s", "", ref.cpu, 3)});
    double oneWall = 0;
    QJsonArray rows;
    bool wallMet = false;
    bool cpuMet = false;
    for (const int ports : options_.manyPorts) {
        QString problem;
        const Devices devices = pacedDevices(ports, problem);
        QStringList arguments{QStringLiteral("--json")};
        for (const auto &device : devices)
            arguments << QStringLiteral("-p") << QString::fromStdString(device->devicePath());
        const CliChild cli
            = CliChild::run(QStringLiteral(KD7BENCH_CLI), arguments << program.path, ref.wall * 10 + 30);
        if (problem.isEmpty() && cli.status != 0)
            problem = QStringLiteral("kd7load-cli ended with %1: %2").arg(cli.status).arg(cli.output);
        if (problem.isEmpty())
            problem = checkDelivery(devices, program.words);
        if (!problem.isEmpty())
            problems_ << QStringLiteral("%1 ports: ").arg(ports) + problem;
        if (oneWall == 0)
            oneWall = cli.wall;
        const double perPort = cli.cpu / ports;
        // The goals are for the most ports at once: the last run.
        wallMet = ratio(cli.wall, oneWall) <= kWallGoal;
        cpuMet = ratio(perPort, ref.cpu) <= kCpuGoal;
        rows.append(section.addRow(
            QString::number(ports),
            {{"", "ports", ports, ""},
             number("wall s", "wall_s", cli.wall, 3),
             number("wall / 1 port", "wall_over_one_port", ratio(cli.wall, oneWall), 4),
             number("response µs", "host_response_median_s", hostResponse(devices), 1, 1e6),
             number("CPU s", "cpu_s", cli.cpu, 3),
             number("CPU/port s", "cpu_per_port_s", perPort, 3),
             number("CPU/port / reference", "cpu_per_port_over_reference", ratio(perPort, ref.cpu), 2),
             exact(problem)}));
    }
    section.addNote(
        QStringLiteral("CPU: the kd7load-cli process, every thread, start-up included (the kernel's "
                       "account of the child); the reference host's: its thread on one port"));
    section.addNote(
        QStringLiteral("goal, %1 ports within 2% of one port's wall time: %2; their CPU per port at most 1.5 "
                       "times the reference's: %3")
            .arg(options_.manyPorts.last())
            .arg(verdict(wallMet), verdict(cpuMet)));
    section.json = {{"words", options_.pacedWords},
                    {"reference_wall_s", ref.wall},
                    {"reference_cpu_s", ref.cpu},
                    {"runs", rows},
                    {"goal_wall_within_2_percent_met", wallMet},
                    {"goal_cpu_per_port_met", cpuMet}};
    return section;
}
