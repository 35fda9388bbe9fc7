#include "loaderbench.h"

#include "quantile.h"
#include "stopwatch.h"

#include "image/objectfilereader.h"
#include "image/programimage.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <memory>

namespace {

constexpr int kChildFailed = 1;
constexpr int kChildTimeoutMs = 30000;
const QByteArray kPeakField("VmHWM:");

double timeOneLoad(const QString &path, const std::vector<quint16> &expected, QString &problem)
{
    auto image = std::make_unique<ProgramImage>();
    const Stopwatch watch;
    const ParsedObjectFile file = ObjectFileReader::read(path);
    if (file.ok)
        image->load(file.words);
    const double seconds = watch.elapsed().wall;
    const bool exact = file.ok && image->WordCount == int(expected.size())
        && std::equal(expected.begin(), expected.end(), image->ProgWords.begin());
    if (!exact)
        problem = file.ok ? QStringLiteral("other words loaded") : file.error;
    return seconds;
}

// This program again, started afresh; it prints its peak resident size.
long childPeakKiB(const QString &mode, const QString &path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(LoaderBench::kChildOption), mode, path});
    if (!child.waitForFinished(kChildTimeoutMs) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0)
        return -1;
    bool ok = false;
    const long kib = child.readAllStandardOutput().trimmed().toLong(&ok);
    return ok ? kib : -1;
}

// The high-water mark of this process's resident memory, in KiB.
long ownPeakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(kPeakField))
            return line.mid(kPeakField.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

}   // namespace

LoaderBench::Result LoaderBench::run(const QString &path, const std::vector<quint16> &expected, int runs)
{
    Result result;
    result.runs = std::max(runs, 1);
    timeOneLoad(path, expected, result.problem);   // warm-up: the file in the page cache
    std::vector<double> seconds;
    for (int i = 0; i < result.runs; ++i)
        seconds.push_back(timeOneLoad(path, expected, result.problem));
    result.medianSeconds = quantile(seconds, 0.5);
    result.fastestSeconds = *std::min_element(seconds.begin(), seconds.end());
    std::vector<long> load, idle;
    for (int i = 0; i < kMemoryRounds; ++i) {
        idle.push_back(childPeakKiB(QStringLiteral("idle"), path));
        load.push_back(childPeakKiB(QStringLiteral("load"), path));
    }
    result.idlePeakKiB = quantile(idle, 0.5);
    result.loadPeakKiB = quantile(load, 0.5);
    if (result.idlePeakKiB < 0 || result.loadPeakKiB < 0)
        result.problem = QStringLiteral("a child process failed");
    return result;
}

int LoaderBench::childMain(const QString &mode, const QString &path)
{
    const bool load = mode == QLatin1String("load");
    if (!load && mode != QLatin1String("idle"))
        return kChildFailed;
    std::unique_ptr<ProgramImage> image;
    if (load) {
        image = std::make_unique<ProgramImage>();
        const ParsedObjectFile file = ObjectFileReader::read(path);
        if (!file.ok)
            return kChildFailed;
        image->load(file.words);
    }
    std::printf("%ld\n", ownPeakKiB());
    return 0;
}
