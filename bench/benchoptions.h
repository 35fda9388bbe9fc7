#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QCoreApplication;

// What to measure and how much: the full run by default, a short smoke run
// with --quick, and single figures with --cases while working on one.
struct BenchOptions {
    static constexpr int kMostWords = 32768;   // the loader's program; no download is longer

    bool quick = false;
    bool placeDevice = false;   // paced: the simulated device on a core of its own
    QString jsonPath;
    QStringList cases{"unpaced", "paced", "latency", "loader", "many"};
    int unpacedWords = kMostWords;
    int unpacedRounds = 3;
    int pacedWords = 4096;
    int latencyWords = 1024;   // each frame waits 16 ms more: 4096 would take 90 s a host
    int loaderWords = kMostWords;
    int loaderRuns = 20;
    double addedLatency = 0.016;      // a USB adapter's latency timer
    QList<int> manyPorts{1, 4, 16};   // kd7load-cli's ports at once, the first the baseline

    // The progress figure comes with the paced one.
    bool wants(const QString &name) const
    {
        return cases.contains(name == QLatin1String("progress") ? QStringLiteral("paced") : name);
    }

    // Empty, with a message printed, when the command line is not understood.
    static std::optional<BenchOptions> parse(const QCoreApplication &app);
};
