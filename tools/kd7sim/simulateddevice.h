#pragma once

#include "kd7sim/devicebehaviour.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <queue>
#include <string>
#include <thread>
#include <vector>

// A KD7 device at the far end of a serial line, for running the download tool
// without the hardware. This is the line's side: it listens on a
// pseudo-terminal of its own (or on a real serial port) in a thread of its
// own, plugs in and out, and hands what it reads to DeviceBehaviour, which
// answers as the device does, records everything and can misbehave.
class SimulatedDevice {
public:
    using FaultConfig = DeviceBehaviour::FaultConfig;
    using Session = DeviceBehaviour::Session;
    using Counters = DeviceBehaviour::Counters;
    static constexpr std::uint8_t kStart = DeviceBehaviour::kStart;
    static constexpr std::uint8_t kAck = DeviceBehaviour::kAck;
    static constexpr double kSecondsPerByte = DeviceBehaviour::kSecondsPerByte;
    static constexpr double kDefaultLateBy = DeviceBehaviour::kDefaultLateBy;
    static constexpr double kLongestDelay = DeviceBehaviour::kLongestDelay;

    SimulatedDevice();
    explicit SimulatedDevice(FaultConfig faults);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice &) = delete;
    SimulatedDevice &operator=(const SimulatedDevice &) = delete;

    // Opens a pseudo-terminal; the host opens devicePath() as its serial port.
    bool start();
    // Listens on an existing serial port instead, set to 9600 baud, 8N1, raw.
    bool startOnDevice(const std::string &path);
    // Ends the listening and closes the line; what was recorded stays.
    void stop();
    // The device plugged back in: a fresh pseudo-terminal (a new path) or the
    // same serial port opened again, with the recorded history continuing.
    bool reopen();

    std::string devicePath() const;   // the line last opened, even after a hang-up
    std::string lastError() const;
    bool hungUp() const;   // the line was closed by hangUpAtWord
    void setFaults(const FaultConfig &faults);

    std::vector<std::uint16_t> words() const;   // the latest session's
    std::vector<Session> sessions() const;      // the latest, as many as the device remembers
    std::string transcript() const;             // every byte received from the host
    std::string sentBytes() const;              // every byte written to the host
    Counters counters() const;
    // True once the latest session saw its end marker; false when the time
    // runs out or the line hangs up first.
    bool waitForEndMarker(double timeoutSeconds);

private:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    static constexpr int kPollIntervalMs = 20;                    // how soon stop() is noticed
    static constexpr std::chrono::microseconds kWakeEarly{200};   // covers a timed wait's late wake-up
    static constexpr std::size_t kReadChunk = 4096;

    enum class LineKind {
        None,
        PseudoTerminal,
        SerialPort
    };

    bool startLine(LineKind kind, const std::string &path);
    bool listen();   // opens the line and starts the listening thread
    bool openLine();
    bool openPseudoTerminal();
    bool openSerialPort();
    void closeLine();
    bool fail(const std::string &what);
    void startThread();
    void stopThread();

    void run();
    Clock::duration pollTimeout() const;
    bool readAvailable();
    void flushOutgoing();
    void hangUp();
    void hangUpOnceAnswerRead();
    void resetLineState();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    DeviceBehaviour behaviour_;   // under mutex_

    LineKind kind_ = LineKind::None;
    std::string path_;
    std::string error_;
    int lineFd_ = -1;        // the master end, or the serial port
    int keptSlaveFd_ = -1;   // holds the pseudo-terminal up while the host has it closed
    bool hungUp_ = false;
    std::optional<TimePoint> hostHeldSince_;   // the host's output held back, for hangUpAfterAnswer
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};
