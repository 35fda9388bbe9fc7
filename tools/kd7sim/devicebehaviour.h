#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <queue>
#include <string>
#include <vector>

// What a KD7 device does with the bytes that reach it: it waits for the
// handshake, answers it and every good word frame (or misbehaves as told),
// stores the words, and records everything the host sent. It knows nothing
// of the line the bytes came over; SimulatedDevice feeds it and sends what it
// says is due.
class DeviceBehaviour {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

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
        // This frame is answered, then the line closes before the host sends more (once).
        std::optional<int> hangUpAfterAnswer;
    };

    // One download: from a handshake to its end marker or the next handshake.
    struct Session {
        std::vector<std::uint16_t> words;   // as many as the sessions' record holds
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

    // Seconds as a clock duration; nonsense (negative, NaN) means no delay and
    // a huge delay is cut, so no arithmetic on time points can overflow.
    static Clock::duration delayOf(double seconds);

    explicit DeviceBehaviour(FaultConfig faults) : faults_(std::move(faults)) {}

    void setFaults(const FaultConfig &faults);
    // A fresh line: a partly received frame or an answer still waiting
    // belonged to the old one. The recorded history continues.
    void newLine();

    // Bytes read from the line at `now`. False when they made the device hang
    // up (the rest of them are dropped): the line must close.
    bool receive(const std::uint8_t *data, std::size_t length, TimePoint now);
    // Moves the answers due by `now` to the outgoing bytes.
    void queueDueAnswers(TimePoint now);
    // When the next answer is due, if any waits.
    std::optional<TimePoint> nextDue() const;

    const std::string &outgoing() const { return outgoing_; }
    // The answer due is the last: the line closes once the host has read it.
    bool hangsUpAfterAnswer() const { return hangUpAfterAnswer_; }
    // The line took the first `count` outgoing bytes at `now`.
    void sent(std::size_t count, TimePoint now);
    // The line is gone; on a real line these bytes are lost too.
    void dropOutgoing() { outgoing_.clear(); }

    const std::deque<Session> &sessions() const { return sessions_; }
    const std::string &transcript() const { return transcript_; }
    const std::string &sentBytes() const { return sent_; }
    const Counters &counters() const { return counters_; }

private:
    // What the device remembers is bounded, so a host that floods the line
    // cannot exhaust memory. Each record holds at most this many bytes: the
    // bytes received, those sent, the answers waiting to go out (a host that
    // never reads loses the rest), and the sessions with their words and
    // answer times, which give up their oldest to make room.
    static constexpr std::size_t kRecordLimit = 32 * 1024 * 1024;
    static constexpr int kFrameLength = 4;

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

    void noteHostResponse(TimePoint arrival);
    void receiveByte(std::uint8_t byte, TimePoint arrival);
    void matchHandshake(std::uint8_t byte, TimePoint arrival);
    void collectFrame(std::uint8_t byte, TimePoint arrival);
    void onFrame(TimePoint arrival);
    void beginSession(TimePoint arrival);
    void onEndMarker();
    void onWord(std::uint16_t word, TimePoint arrival);
    bool answersFrame(int index) const;
    bool makeRoom(std::size_t bytes, std::size_t sessionsKept);
    void scheduleAnswer(TimePoint arrival, double extraDelay, bool forHandshake);

    FaultConfig faults_;
    bool hangUpArmed_ = true;
    bool hangingUp_ = false;
    bool hangUpAfterAnswer_ = false;

    ParseState state_ = ParseState::AwaitHandshake;
    int handshakeMatched_ = 0;
    std::string frame_;
    TimePoint lineFreeAt_{};
    std::optional<TimePoint> answerLeftAt_;   // the last answer, until the host's next bytes
    std::priority_queue<PendingAnswer, std::vector<PendingAnswer>, DueLater> pending_;
    std::uint64_t nextOrder_ = 0;
    std::string outgoing_;

    std::deque<Session> sessions_;
    std::size_t sessionBytes_ = 0;   // what sessions_ holds, against kRecordLimit
    std::string transcript_;
    std::string sent_;
    Counters counters_;
};
