#pragma once

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
// without the hardware. It listens on a pseudo-terminal of its own (or on a
// real serial port), answers the handshake and every word frame as the device
// does, records everything the host sent, and can be told to misbehave.
class SimulatedDevice {
public:
    static constexpr std::uint8_t kStart = 0x02;
    static constexpr std::uint8_t kAck = 0x06;
    static constexpr double kSecondsPerByte = 10.0 / 9600.0;   // start, 8 data and stop bit at 9600 baud
    static constexpr double kDefaultLateBy = 0.6;              // past the host's 0.5 s wait
    static constexpr double kLongestDelay = 3600.0;            // delays beyond this are cut to it

    // Ways to misbehave; the defaults make a well-behaved device. A frame's
    // index counts the good word frames of one download from 0, resends included.
    struct FaultConfig {
        bool silent = false;                        // never answer anything
        std::optional<int> stopAtWord;              // frames from this index on go unanswered
        std::optional<std::uint8_t> answerByte;     // answer with this byte instead of 0x06
        std::optional<std::uint8_t> trailingByte;   // sent right after each answer, in the same write
        std::optional<int> lateFrame;               // this frame is answered lateBy seconds late
        double lateBy = kDefaultLateBy;
        std::optional<int> hangUpAtWord;   // the line closes when this frame arrives (once)
        bool paced = false;                // answers wait for the bytes to cross a 9600-baud line
        double answerLatency = 0.0;        // seconds added before every answer
    };

    // One download: from a handshake to its end marker or the next handshake.
    struct Session {
        std::vector<std::uint16_t> words;   // the first kStoredWordsLimit of them
        int wordFrames = 0;                 // every good word frame, also those not stored
        bool endMarkerSeen = false;
        // Seconds from each answer leaving the device to the host's next
        // bytes reaching it: how promptly the host keeps the line busy.
        std::vector<double> hostResponses;
    };

    struct Counters {
        int handshakesSeen = 0;
        int handshakesAnswered = 0;
        int framesReceived = 0;   // frames with a good check byte, each stored as a word
        int framesAnswered = 0;
        int badCheckBytes = 0;   // frames dropped unanswered
        int skippedBytes = 0;    // bytes between frames that could not start one
        int endMarkers = 0;
        int hangUps = 0;
        long long bytesReceived = 0;   // also those past the transcript's limit
    };

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
    std::vector<Session> sessions() const;      // the latest kSessionLimit of them
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
    static constexpr std::size_t kTranscriptLimit
        = 16 * 1024 * 1024;   // a flooding host cannot exhaust memory
    static constexpr std::size_t kStoredWordsLimit = 1
        << 20;   // a session: a full program with every frame sent 10 times fits 3 times
    static constexpr std::size_t kSessionLimit = 64;           // with those, at most 128 MiB of words
    static constexpr std::size_t kOutgoingLimit = 64 * 1024;   // a host that never reads loses answers
    static constexpr int kFrameLength = 4;
    static constexpr std::size_t kResponseLimit = 65536;   // a whole download, with room for resends

    enum class LineKind {
        None,
        PseudoTerminal,
        SerialPort
    };
    enum class ParseState {
        AwaitHandshake,
        InWords
    };

    struct PendingAnswer {
        TimePoint due;
        std::uint64_t order = 0;   // keeps answers due at the same moment in order
        std::string bytes;
        bool forHandshake = false;
    };
    struct DueLater {
        bool operator()(const PendingAnswer &a, const PendingAnswer &b) const;
    };

    bool startLine(LineKind kind, const std::string &path);
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
    void receiveChunk(const std::uint8_t *data, std::size_t length);
    void noteHostResponse(TimePoint arrival);
    void receiveByte(std::uint8_t byte, TimePoint arrival);
    void matchHandshake(std::uint8_t byte, TimePoint arrival);
    void collectFrame(std::uint8_t byte, TimePoint arrival);
    void onFrame(TimePoint arrival);
    void beginSession(TimePoint arrival);
    void onEndMarker();
    void onWord(std::uint16_t word, TimePoint arrival);
    bool answersFrame(int index) const;
    void scheduleAnswer(TimePoint arrival, double extraDelay, bool forHandshake);
    void queueDueAnswers();
    void flushOutgoing();
    void hangUp();
    void resetLineState();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    FaultConfig faults_;
    bool hangUpArmed_ = true;

    LineKind kind_ = LineKind::None;
    std::string path_;
    std::string error_;
    int lineFd_ = -1;        // the master end, or the serial port
    int keptSlaveFd_ = -1;   // holds the pseudo-terminal up while the host has it closed
    bool hungUp_ = false;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    ParseState state_ = ParseState::AwaitHandshake;
    int handshakeMatched_ = 0;
    std::string frame_;
    TimePoint lineFreeAt_{};
    std::optional<TimePoint> answerLeftAt_;   // the last answer, until the host's next bytes
    std::priority_queue<PendingAnswer, std::vector<PendingAnswer>, DueLater> pending_;
    std::uint64_t nextOrder_ = 0;
    std::string outgoing_;

    std::vector<Session> sessions_;
    std::string transcript_;
    std::string sent_;
    Counters counters_;
};
