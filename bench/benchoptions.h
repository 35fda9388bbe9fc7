#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QCoreApplication;

// What to measure and how much: the full run by default, a short smoke run
// with --quick, and single figures with --cases while working on one.
struct BenchOptions {
    static constexpr int kFullUnpacedWords = 32768;
    static constexpr int kFullUnpacedRounds = 3;
    static constexpr int kFullPacedWords = 4096;
    static constexpr int kFullLatencyWords
        = 1024;   // each frame waits 16 ms more: 4096 would take 90 s a host
    static constexpr int kFullLoaderRuns = 20;
    static constexpr int kQuickUnpacedWords = 2048;
    static constexpr int kQuickPacedWords = 256;
    static constexpr int kQuickLatencyWords = 64;
    static constexpr int kQuickLoaderRuns = 5;
    static constexpr int kLoaderWords = 32768;
    static constexpr double kAddedLatency = 0.016;   // a USB adapter's latency timer

    bool quick = false;
    bool placeDevice = false;   // paced: the simulated device on a core of its own
    QString jsonPath;
    QStringList cases{"unpaced", "paced", "latency", "loader"};   // progress comes with paced
    int unpacedWords = kFullUnpacedWords;
    int unpacedRounds = kFullUnpacedRounds;
    int pacedWords = kFullPacedWords;
    int latencyWords = kFullLatencyWords;
    int loaderWords = kLoaderWords;
    int loaderRuns = kFullLoaderRuns;
    double addedLatency = kAddedLatency;

    bool wants(const char *name) const { return cases.contains(QLatin1String(name)); }

    // Empty, with a message printed, when the command line is not understood.
    static std::optional<BenchOptions> parse(const QCoreApplication &app);
};
