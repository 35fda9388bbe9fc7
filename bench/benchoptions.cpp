#include "benchoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cstdio>

std::optional<BenchOptions> BenchOptions::parse(const QCoreApplication &app)
{
    BenchOptions options;
    const struct {
        const char *name;
        const char *about;
        int *count;
        int most;
    } counts[] = {
        {"unpaced-words", "Words in the unpaced download.", &options.unpacedWords, kMostWords},
        {"rounds", "Rounds of the unpaced download.", &options.unpacedRounds, INT_MAX},
        {"paced-words", "Words in the paced downloads.", &options.pacedWords, kMostWords},
        {"latency-words", "Words in the downloads with added answer latency.", &options.latencyWords,
         kMostWords},
        {"loader-runs", "Timed loads of the object file.", &options.loaderRuns, INT_MAX},
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Download benchmark: kd7load against the simulated KD7."));
    parser.addHelpOption();
    parser.addOptions({
        {"quick", "A short smoke run with small programs."},
        {"device-core", "In the paced figures, run the simulated device on a core of its own."},
        {"json", "Where the figures are written as JSON.", "path", QStringLiteral(KD7BENCH_DEFAULT_JSON)},
        {"cases", "Which figures, comma separated: unpaced, paced (with progress), latency, loader, many.",
         "list"},
    });
    for (const auto &count : counts)
        parser.addOption({count.name, count.about, "n"});
    parser.process(app);

    if (parser.isSet("quick")) {
        options.quick = true;
        options.unpacedWords = 2048;
        options.unpacedRounds = 1;
        options.pacedWords = 256;
        options.latencyWords = 64;
        options.loaderRuns = 5;
    }
    options.jsonPath = parser.value("json");
    options.placeDevice = parser.isSet("device-core");
    if (parser.isSet("cases"))
        options.cases = parser.value("cases").split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList known = BenchOptions().cases;   // by default, every figure there is
    bool ok = std::all_of(options.cases.begin(), options.cases.end(),
                          [&known](const QString &name) { return known.contains(name); });
    for (const auto &count : counts) {
        if (parser.isSet(count.name))
            *count.count = parser.value(count.name).toInt();
        ok = ok && *count.count >= 1 && *count.count <= count.most;
    }
    if (!ok) {
        std::fprintf(stderr, "kd7bench: counts are whole numbers from 1 to %d; cases are %s\n", kMostWords,
                     qPrintable(known.join(QLatin1Char(','))));
        return std::nullopt;
    }
    return options;
}
