// kd7sim: a simulated KD7 device for trying the download tool without the
// hardware. It prints the serial port to open, answers downloads as the
// device does (or misbehaves as told) and saves what it received.

#include "kd7sim/simulateddevice.h"

#include <signal.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr double kWaitSlice = 0.1;   // how soon a signal or a hang-up is noticed
constexpr long kLargestByte = 255;
constexpr long kLargestIndex = std::numeric_limits<int>::max();
constexpr double kMillisecondsPerSecond = 1000.0;

constexpr char kUsage[] = "usage: kd7sim [--device PATH] [--words FILE] [--transcript FILE] [--silent]"
                          " [--stop-at N] [--answer-byte X] [--trailing-byte Y] [--late-frame N]"
                          " [--late-by SECONDS] [--hang-up-at N] [--paced] [--latency-ms MS] [--once]";

volatile std::sig_atomic_t stopRequested = 0;

struct Options {
    std::string device;
    std::string wordsFile;
    std::string transcriptFile;
    bool once = false;
    SimulatedDevice::FaultConfig faults;
};

// Decimal, or hexadecimal after 0x. No sign and no blanks: every value here
// is a count or a byte.
std::optional<long> parseInteger(const std::string &text, long largest)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])))
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value > largest)
        return std::nullopt;
    return value;
}

std::optional<double> parseDuration(const std::string &text, double largest)
{
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value > largest)
        return std::nullopt;
    return value;
}

template <typename T> bool store(std::optional<T> &target, std::optional<long> value)
{
    if (value)
        target = T(*value);
    return value.has_value();
}

bool store(double &target, std::optional<double> value, double scale = 1.0)
{
    if (value)
        target = *value / scale;
    return value.has_value();
}

bool storePath(std::string &target, const std::string &value)
{
    target = value;
    return !value.empty();
}

bool applyFlag(Options &options, const std::string &name)
{
    if (name == "--once")
        options.once = true;
    else if (name == "--silent")
        options.faults.silent = true;
    else if (name == "--paced")
        options.faults.paced = true;
    else
        return false;
    return true;
}

bool applyValue(Options &options, const std::string &name, const std::string &value)
{
    SimulatedDevice::FaultConfig &faults = options.faults;
    const double longest = SimulatedDevice::kLongestDelay;
    if (name == "--device")
        return storePath(options.device, value);
    if (name == "--words")
        return storePath(options.wordsFile, value);
    if (name == "--transcript")
        return storePath(options.transcriptFile, value);
    if (name == "--stop-at")
        return store(faults.stopAtWord, parseInteger(value, kLargestIndex));
    if (name == "--answer-byte")
        return store(faults.answerByte, parseInteger(value, kLargestByte));
    if (name == "--trailing-byte")
        return store(faults.trailingByte, parseInteger(value, kLargestByte));
    if (name == "--late-frame")
        return store(faults.lateFrame, parseInteger(value, kLargestIndex));
    if (name == "--late-by")
        return store(faults.lateBy, parseDuration(value, longest));
    if (name == "--hang-up-at")
        return store(faults.hangUpAtWord, parseInteger(value, kLargestIndex));
    if (name == "--latency-ms")
        return store(faults.answerLatency, parseDuration(value, longest * kMillisecondsPerSecond),
                     kMillisecondsPerSecond);
    return false;
}

std::optional<Options> parseArguments(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (applyFlag(options, name))
            continue;
        if (i + 1 >= argc || !applyValue(options, name, argv[i + 1]))
            return std::nullopt;
        ++i;
    }
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
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::cerr << kUsage << '\n';
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
