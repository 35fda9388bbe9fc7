#pragma once

#include "download/downloadprocedure.h"
#include "tests/fuzz/devicescript.h"
#include "tests/fuzz/fuzzedline.h"

#include <QStringList>

#include <utility>
#include <vector>

// Everything one fuzzed download left behind.
struct FuzzedDownload {
    const DeviceScript &script;
    const FuzzedLine &line;
    DownloadOutcome outcome;
    QStringList messageBoxes;
    std::vector<std::pair<int, int>> progress;   // (acknowledged, frames) as reported
    int openportCalls = 0;
    int closeportCalls = 0;
    double startedAt = 0;
    double endedAt = 0;
};

// Judges a download by the rules of the protocol alone: it reads the host's
// messages in order and decides, from what the host read back, what each
// next message must be, then how the download must end and what Label4 must
// show.
class DownloadOracle {
public:
    static constexpr int kAttempts = 10;
    static constexpr double kAckWait = 0.5;
    static constexpr double kStuckLine = DownloadProcedure::kStuckLine;   // the tool's own limit
    static constexpr double kPollSlack = 0.006;   // the host looks at its output every few ms
    static constexpr double kEpsilon = 1e-6;      // clock rounding

    // The longest a download of `wordCount` words can take on the fake clock.
    static double longestDownload(int wordCount);
    static void check(const FuzzedDownload &run);

private:
    struct Ending {
        DownloadOutcome::End end;
        int acknowledged;
    };
    class Cursor;

    static void checkNothingSent(const FuzzedDownload &run);
    static Ending walk(const FuzzedDownload &run);
    static bool handshakeAnswered(const FuzzedDownload &run, Cursor &cursor, int attempt, Ending &ending);
    static bool frameAnswered(const FuzzedDownload &run, Cursor &cursor, int frame, int attempt,
                              Ending &ending);
    static bool answeredInTime(const SentMessage &message, double waitStart);
    static void checkTimedOut(const FuzzedDownload &run, Cursor &cursor, double waitStart);
    static bool timelyAcknowledgementArrived(const FuzzedDownload &run, double waitStart);
    static void checkEnding(const FuzzedDownload &run, const Ending &expected);
};
