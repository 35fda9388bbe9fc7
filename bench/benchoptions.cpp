#include "benchoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

const QStringList kKnownCases{"unpaced", "paced", "latency", "loader"};

bool readCount(const QCommandLineParser &parser, const QString &name, int &target)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (ok && value > 0)
        target = value;
    return ok && value > 0;
}

void useQuickSizes(BenchOptions &options)
{
    options.quick = true;
    options.unpacedWords = BenchOptions::kQuickUnpacedWords;
    options.unpacedRounds = 1;
    options.pacedWords = BenchOptions::kQuickPacedWords;
    options.latencyWords = BenchOptions::kQuickLatencyWords;
    options.loaderRuns = BenchOptions::kQuickLoaderRuns;
}

}   // namespace

std::optional<BenchOptions> BenchOptions::parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Download benchmark: kd7load against the simulated KD7."));
    parser.addHelpOption();
    parser.addOptions({
        {"quick", "A short smoke run with small programs."},
        {"device-core", "In the paced figures, run the simulated device on a core of its own."},
        {"json", "Where the figures are written as JSON.", "path", QStringLiteral(KD7BENCH_DEFAULT_JSON)},
        {"cases", "Which figures, comma separated: unpaced, paced (with progress), latency, loader.", "list"},
        {"unpaced-words", "Words in the unpaced download.", "n"},
        {"rounds", "Rounds of the unpaced download.", "n"},
        {"paced-words", "Words in the paced downloads.", "n"},
        {"latency-words", "Words in the downloads with added answer latency.", "n"},
        {"loader-runs", "Timed loads of the object file.", "n"},
    });
    parser.process(app);

    BenchOptions options;
    if (parser.isSet("quick"))
        useQuickSizes(options);
    options.jsonPath = parser.value("json");
    options.placeDevice = parser.isSet("device-core");
    if (parser.isSet("cases"))
        options.cases = parser.value("cases").split(QLatin1Char(','), Qt::SkipEmptyParts);
    bool ok = readCount(parser, "unpaced-words", options.unpacedWords)
        && readCount(parser, "rounds", options.unpacedRounds)
        && readCount(parser, "paced-words", options.pacedWords)
        && readCount(parser, "latency-words", options.latencyWords)
        && readCount(parser, "loader-runs", options.loaderRuns);
    for (const QString &name : options.cases)
        ok = ok && kKnownCases.contains(name);
    if (!ok || options.unpacedWords > kLoaderWords || options.pacedWords > kLoaderWords
        || options.latencyWords > kLoaderWords) {
        std::fprintf(stderr, "kd7bench: counts are whole numbers from 1 to %d; cases are %s\n", kLoaderWords,
                     qPrintable(kKnownCases.join(QLatin1Char(','))));
        return std::nullopt;
    }
    return options;
}
