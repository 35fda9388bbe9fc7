#include "cli/summary.h"

#include "cli/exitstatus.h"
#include "cli/jsonline.h"

#include <QJsonObject>

#include <algorithm>
#include <cmath>

using End = DownloadOutcome::End;

namespace {

QString endName(End end)
{
    switch (end) {
    case End::Finished: return QStringLiteral("finished");
    case End::GaveUp: return QStringLiteral("gave_up");
    case End::LineFailed: return QStringLiteral("line_failed");
    case End::PortNotOpened: return QStringLiteral("not_opened");
    case End::Aborted: return QStringLiteral("interrupted");
    case End::EndMarkerFailed: return QStringLiteral("end_marker_failed");
    case End::NoData: break;
    }
    return QStringLiteral("no_data");
}

QJsonObject jsonOf(const PortResult &result, int words)
{
    QJsonObject port{{"port", result.target.number > 0 ? QJsonValue(result.target.number) : QJsonValue()},
                     {"device", result.target.device},
                     {"words", words},
                     {"frames_acknowledged", result.outcome.WordIndex},
                     {"outcome", endName(result.outcome.end)},
                     {"seconds", std::round(result.seconds * 1000.0) / 1000.0}};
    if (!result.refusal.isEmpty())
        port.insert(QStringLiteral("reason"), result.refusal);
    return port;
}

}   // namespace

// The word named is the one under way when the download ended, counted
// from 1; the count is the frames acknowledged, as Label4 shows it.
QString Summary::outcome(const PortResult &result)
{
    const DownloadOutcome &outcome = result.outcome;
    const QString count = QString::number(outcome.WordIndex);
    const QString word = QString::number(outcome.WordIndex + 1);
    const bool inWords = outcome.handshakeAnswered;
    switch (outcome.end) {
    case End::Finished: return QStringLiteral("每个字都已应答, 传输字数 %1").arg(count);
    case End::EndMarkerFailed:
        return QStringLiteral("每个字都已应答, 但结束标志没有发出去 (线路断了), 传输字数 %1").arg(count);
    case End::GaveUp:
        if (!inWords)
            return QStringLiteral("设备没有应答握手, 传输字数 0");
        return QStringLiteral("第 %1 个字 10 次没有应答, 放弃, 传输字数 %2").arg(word, count);
    case End::LineFailed:
        if (!inWords)
            return QStringLiteral("线路在握手时断了, 传输字数 0");
        return QStringLiteral("线路在第 %1 个字断了, 传输字数 %2").arg(word, count);
    case End::PortNotOpened: return result.refusal;
    case End::Aborted:
        if (!inWords)
            return QStringLiteral("在握手时中断, 传输字数 0");
        return QStringLiteral("在第 %1 个字中断, 传输字数 %2").arg(word, count);
    case End::NoData: break;
    }
    return QStringLiteral("无数据!");
}

QString Summary::text(const QList<PortResult> &results)
{
    QString text;
    for (const PortResult &result : results) {
        text += result.target.name() + QStringLiteral(": ") + outcome(result);
        if (result.outcome.end != End::PortNotOpened)
            text += QStringLiteral(", %1 秒").arg(result.seconds, 0, 'f', 1);
        text += QLatin1Char('\n');
    }
    return text;
}

QString Summary::jsonLines(const QList<PortResult> &results, int words)
{
    QString lines;
    for (const PortResult &result : results)
        lines += jsonLine(jsonOf(result, words));
    return lines;
}

// An interrupt that came as the last download ended stopped nothing: the
// status says what the downloads did, not what arrived.
int Summary::exitStatus(const QList<PortResult> &results)
{
    const auto ended = [&results](End end) {
        return std::any_of(results.begin(), results.end(),
                           [end](const PortResult &r) { return r.outcome.end == end; });
    };
    if (ended(End::Aborted))
        return ExitStatus::kInterrupted;
    const bool allTook = std::all_of(results.begin(), results.end(),
                                     [](const PortResult &r) { return r.outcome.end == End::Finished; });
    return allTook ? ExitStatus::kAllTook : ExitStatus::kSomeDidNot;
}
