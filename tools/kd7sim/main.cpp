// kd7sim: a simulated KD7 device for trying the download tool without the
// hardware. It prints the serial port to open, answers downloads as the
// device does (or misbehaves as told) and saves what it received.

#include "kd7sim/simulateddevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr double kWaitSlice = 0.1;   // how soon a signal or a hang-up is noticed
constexpr long kLargestByte = 255;
constexpr long kLargestIndex = std::numeric_limits<int>::max();
constexpr double kMillisecondsPerSecond = 1000.0;

volatile std::sig_atomic_t stopRequested = 0;

struct Options {
    std::string device;
    std::string wordsFile;
    std::string transcriptFile;
    bool once = false;
    SimulatedDevice::FaultConfig faults;
};

// Checks one value the parser found and stores it; false when it is refused.
using Reader = std::function<bool(const QString &)>;

Reader path(std::string &target)
{
    return [&target](const QString &text) {
        target = text.toStdString();
        return !text.isEmpty();
    };
}

// Decimal, or hexadecimal after 0x; a byte or a frame index, never negative.
template <typename T> Reader integer(std::optional<T> &target, long largest)
{
    return [&target, largest](const QString &text) {
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        bool ok = false;
        const long value = hex ? text.mid(2).toLong(&ok, 16) : text.toLong(&ok, 10);
        ok = ok && value >= 0 && value <= largest;
        if (ok)
            target = T(value);
        return ok;
    };
}

// A finite delay, not negative and no longer than the device waits, in units
// of which `perSecond` make a second.
Reader delay(double &target, double perSecond)
{
    return [&target, perSecond](const QString &text) {
        bool ok = false;
        const double value = text.toDouble(&ok);
        ok = ok && std::isfinite(value) && value >= 0 && value <= SimulatedDevice::kLongestDelay * perSecond;
        if (ok)
            target = value / perSecond;
        return ok;
    };
}

struct Setting {
    QCommandLineOption option;
    Reader read;   // none for a flag
};

std::vector<Setting> settingsOf(Options &options)
{
    SimulatedDevice::FaultConfig &faults = options.faults;
    return {
        {{"device", "Listen on this serial port (9600 baud, 8N1), not a pseudo-terminal.", "path"},
         path(options.device)},
        {{"words", "At the end, save the latest download's words here, one a line.", "file"},
         path(options.wordsFile)},
        {{"transcript", "At the end, save every byte received here.", "file"}, path(options.transcriptFile)},
        {{"once", "End at the first end marker or hang-up; without it, a new line follows a hang-up."}, {}},
        {{"silent", "Never answer."}, {}},
        {{"stop-at", "Leave this frame and every later one unanswered.", "n"},
         integer(faults.stopAtWord, kLargestIndex)},
        {{"answer-byte", "Answer with this byte instead of 0x06.", "x"},
         integer(faults.answerByte, kLargestByte)},
        {{"trailing-byte", "Send this byte right after each answer.", "y"},
         integer(faults.trailingByte, kLargestByte)},
        {{"late-frame", "Answer this frame late.", "n"}, integer(faults.lateFrame, kLargestIndex)},
        {{"late-by", "How late, in seconds (default 0.6: past the host's 0.5 s wait).", "seconds"},
         delay(faults.lateBy, 1.0)},
        {{"hang-up-at", "Hang up when this frame arrives (once).", "n"},
         integer(faults.hangUpAtWord, kLargestIndex)},
        {{"hang-up-after", "Answer this frame, then hang up before the host's next message leaves (once).",
          "n"},
         integer(faults.hangUpAfterAnswer, kLargestIndex)},
        {{"paced", "Answer at the pace of a 9600-baud line."}, {}},
        {{"latency-ms", "Wait this many milliseconds before every answer.", "ms"},
         delay(faults.answerLatency, kMillisecondsPerSecond)},
    };
}

// The options, or nothing with the reason in `refusal`. --help and --version
// end the program here.
std::optional<Options> parseOptions(QString &refusal)
{
    Options options;
    const std::vector<Setting> settings = settingsOf(options);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated KD7 device: prints the serial port to open, answers downloads as the device "
        "does (or misbehaves as told) and saves what it received.\n"
        "Frames count from 0 in each download, resends included. Numbers are decimal, or "
        "hexadecimal after 0x."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const Setting &setting : settings)
        parser.addOption(setting.option);
    if (!parser.parse(QCoreApplication::arguments())) {
        refusal = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet("help"))
        parser.showHelp(kExitOk);
    if (parser.isSet("version"))
        parser.showVersion();
    for (const Setting &setting : settings) {
        const QString name = setting.option.names().constFirst();
        // Given twice, an option keeps its last value; each must pass.
        for (const QString &value : setting.read ? parser.values(name) : QStringList()) {
            if (!setting.read(value)) {
                refusal = QStringLiteral("--%1 cannot be \"%2\"").arg(name, value);
                return std::nullopt;
            }
        }
    }
    if (!parser.positionalArguments().isEmpty()) {
        refusal = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }
    options.once = parser.isSet("once");
    options.faults.silent = parser.isSet("silent");
    options.faults.paced = parser.isSet("paced");
    return options;
}

void requestStop(int) { stopRequested = 1; }

void installSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void announcePath(const SimulatedDevice &device)
{
    std::cout << device.devicePath() << std::endl;   // flushed: a script waits for this line
}

// Without --once a hang-up is followed by the device being plugged back in,
// on a new line that is announced like the first.
bool plugBackIn(SimulatedDevice &device)
{
    if (!device.reopen()) {
        std::cerr << "kd7sim: " << device.lastError() << '\n';
        return false;
    }
    announcePath(device);
    return true;
}

void serve(SimulatedDevice &device, const Options &options)
{
    const auto slice = std::chrono::duration<double>(kWaitSlice);
    while (!stopRequested) {
        if (options.once) {
            if (device.waitForEndMarker(kWaitSlice) || device.hungUp())
                return;
            continue;
        }
        std::this_thread::sleep_for(slice);
        if (device.hungUp() && !plugBackIn(device))
            return;
    }
}

bool writeFile(const std::string &path, const std::string &content)
{
    if (path.empty())
        return true;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file)
        std::cerr << "kd7sim: cannot write " << path << '\n';
    return bool(file);
}

std::string wordsText(const SimulatedDevice &device)
{
    std::string text;
    for (const std::uint16_t word : device.words())
        text += std::to_string(word) + '\n';
    return text;
}

bool saveResults(const SimulatedDevice &device, const Options &options)
{
    const bool wordsSaved = writeFile(options.wordsFile, wordsText(device));
    const bool transcriptSaved = writeFile(options.transcriptFile, device.transcript());
    return wordsSaved && transcriptSaved;
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kd7sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KD7_VERSION));
    QString refusal;
    const std::optional<Options> options = parseOptions(refusal);
    if (!options) {
        std::cerr << "usage: kd7sim [options] (see kd7sim --help): " << refusal.toStdString() << '\n';
        return kExitUsage;
    }
    installSignalHandlers();
    SimulatedDevice device(options->faults);
    const bool listening = options->device.empty() ? device.start() : device.startOnDevice(options->device);
    if (!listening) {
        std::cerr << "kd7sim: " << device.lastError() << '\n';
        return kExitFailure;
    }
    announcePath(device);
    serve(device, *options);
    device.stop();
    return saveResults(device, *options) ? kExitOk : kExitFailure;
}
