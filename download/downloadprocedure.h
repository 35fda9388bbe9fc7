#pragma once

#include "download/clock.h"
#include "download/wireprotocol.h"
#include "image/programimage.h"
#include "serial/receivestate.h"
#include "serial/serialline.h"

#include <QString>

#include <atomic>
#include <functional>

// How a download ended, and the text Label4 shows for it.
struct DownloadOutcome {
    enum class End {
        NoData,          // fewer than two words loaded: nothing sent
        PortNotOpened,   // the port could not be opened: nothing sent
        GaveUp,          // a message went unacknowledged ten times
        LineFailed,      // the port failed under the download (device unplugged)
        Finished,        // every frame acknowledged, end marker sent
        Aborted,         // the program is ending
        // Every frame acknowledged, but the line failed before the end
        // marker had left it: the device may not know that the program is
        // complete. Label4 shows the count all the same.
        EndMarkerFailed,
    };
    End end = End::NoData;
    int WordIndex = 0;                // frames acknowledged
    bool handshakeAnswered = false;   // the words were under way when it ended

    QString label4Text() const;
};

// One complete download of the program image: wake-up preamble and
// handshake, every word frame with acknowledgement and retries, end marker.
// The port, the clock and the processing of window events come from outside,
// so the whole procedure runs against a scripted device and a fake clock.
class DownloadProcedure {
public:
    static constexpr int kAttempts = 10;
    static constexpr double kAckWait = 0.5;
    static constexpr double kStuckLine = 2.0;    // a frame still unsent then: the line is stuck
    static constexpr double kFinalDrain = 1.0;   // lets the last bytes leave before the port closes
    static constexpr double kSecondsPerByte = 10.0 / 9600.0;
    // Waits block in the system in slices of this length, so that the clock,
    // not the port's own timer, decides when a wait is over.
    static constexpr double kWaitSlice = 0.05;

    struct Hooks {
        std::function<void()> Openport;
        std::function<void()> Closeport;
        std::function<void()> processEvents;
        std::function<void(int acknowledged, int total)> progress;
        // Called during every wait that processes no events: the window
        // system may look for signs of life, but no event may run.
        std::function<void()> showResponsive;
    };

    DownloadProcedure(SerialLine &line, ReceiveState &rx, Clock &clock, Hooks hooks);

    DownloadOutcome run(const ProgramImage &image);
    // Ends a running download at its next look at window events or at the
    // input, so at a frame boundary: no message is written after it, and the
    // port closes once the last one has left. Safe from any thread; run()
    // starts each download afresh.
    void abort() { aborted_ = true; }
    bool running() const { return running_; }

private:
    enum class Step {
        Drained,
        Acknowledged,
        TimedOut,
        GaveUp,
        LineFailed,
        Aborted
    };

    // The state of the download under way.
    int WordIndex = 0;
    int TryCount = 0;
    double StartTime = 0;
    WireProtocol::WordFrame TxFrame{};

    DownloadOutcome transfer(const ProgramImage &image);
    Step handshake();
    Step sendWord(quint16 word);
    Step awaitOutputDrained();
    Step awaitAcknowledgement();
    void sendEndMarker();
    void write(const QByteArray &message);
    bool awaitTransmitterEmpty();
    void showResponsive();
    DownloadOutcome outcomeOf(Step step) const;

    SerialLine &line_;
    ReceiveState &rx_;
    Clock &clock_;
    Hooks hooks_;
    bool running_ = false;
    std::atomic<bool> aborted_{false};
    bool handshakeAnswered_ = false;
    int lastMessageBytes_ = 0;   // the length of the last message written
};
