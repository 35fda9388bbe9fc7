// kd7bench: how fast kd7load downloads to the simulated KD7 and what it costs,
// beside a minimal host, a paced line and the loader. Prints a table and
// writes the same figures as JSON.
#include "benchoptions.h"
#include "figures.h"
#include "loaderbench.h"

#include "common/chinesecatalogues.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The offscreen platform warns on every window it shows that it cannot pass
// size hints on; that says nothing about the figures.
QtMessageHandler standardHandler = nullptr;

void dropOffscreenChatter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.contains(QLatin1String("does not support propagateSizeHints")))
        standardHandler(type, context, message);
}

bool writeJson(const QString &path, const QJsonObject &root)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(QJsonDocument(root).toJson()) > 0 && file.flush();
}

QJsonObject machine()
{
    return {{"kernel", QSysInfo::kernelVersion()},
            {"cpu_architecture", QSysInfo::currentCpuArchitecture()},
            {"qt", QString::fromLatin1(qVersion())},
            {"qpa_platform", QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM"))},
            {"date", QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}};
}

// Runs the chosen figures in order, showing each as soon as it is measured.
QJsonObject measure(const BenchOptions &options, Figures &figures)
{
    const std::vector<std::pair<QString, std::function<Section()>>> steps{
        {"unpaced", [&] { return figures.unpaced(); }},
        {"paced", [&] { return figures.paced(0); }},
        {"latency", [&] { return figures.paced(options.addedLatency); }},
        {"loader", [&] { return figures.loader(); }},
        {"progress", [&] { return figures.progress(); }},
        {"many", [&] { return figures.manyAtOnce(); }},
    };
    QJsonObject results;
    for (const auto &[name, step] : steps) {
        if (!options.wants(name))
            continue;
        std::fprintf(stderr, "kd7bench: measuring %s...\n", qPrintable(name));
        const Section section = step();
        std::printf("\n%s", qPrintable(section.text()));
        std::fflush(stdout);
        results.insert(name, section.json);
    }
    return results;
}

}   // namespace

int main(int argc, char *argv[])
{
    // The loader's memory is measured in fresh copies of this program.
    if (argc == 4 && std::strcmp(argv[1], LoaderBench::kChildOption) == 0)
        return LoaderBench::childMain(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");   // the window is measured, never needs a display
    standardHandler = qInstallMessageHandler(dropOffscreenChatter);
    QApplication app(argc, argv);
    installChineseCatalogues(app);
    const std::optional<BenchOptions> options = BenchOptions::parse(app);
    if (!options)
        return kExitUsage;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "kd7bench: no temporary folder: %s\n", qPrintable(dir.errorString()));
        return kExitFailed;
    }

    Figures figures(*options, dir.path());
    const QJsonObject measured = measure(*options, figures);
    const QStringList &problems = figures.problems();
    const QJsonObject root{{"tool", "kd7bench"},
                           {"quick", options->quick},
                           {"machine", machine()},
                           {"figures", measured},
                           {"all_downloads_exact", problems.isEmpty()},
                           {"problems", QJsonArray::fromStringList(problems)}};
    if (!writeJson(options->jsonPath, root)) {
        std::fprintf(stderr, "kd7bench: cannot write %s\n", qPrintable(options->jsonPath));
        return kExitFailed;
    }
    std::printf("\nJSON: %s\n", qPrintable(QFileInfo(options->jsonPath).absoluteFilePath()));
    for (const QString &problem : problems)
        std::printf("PROBLEM: %s\n", qPrintable(problem));
    return problems.isEmpty() ? kExitOk : kExitFailed;
}
