#include "systemports/porttroubles.h"

using Refusal = OpenRefusal;

namespace {

// The number leads nowhere: adapters that are plugged in without a port are
// the likeliest reason, and are named; else the port window's tooltips say
// what each number opens.
QString noSuchPort(const PortRefusal &refusal, const PortTroubles &troubles)
{
    const QStringList stranded = troubles.strandedAdapters();
    QString line;
    if (refusal.portNo > 0 && !refusal.location.isEmpty())
        line = QStringLiteral("串口 %1 (%2) 不存在.").arg(QString::number(refusal.portNo), refusal.location);
    else if (refusal.portNo > 0)
        line = QStringLiteral("串口 %1 没有对应的串口.").arg(refusal.portNo);
    else
        line = QStringLiteral("%1 不存在.").arg(refusal.location);
    if (!stranded.isEmpty())
        return line + QLatin1Char(' ') + stranded.join(QLatin1Char(' '));
    return line
        + QStringLiteral(" 请插上串口适配器; 每个串口号对应哪个串口, %1.").arg(troubles.numbersShownIn);
}

}   // namespace

TroubleSurvey PortTroubles::surveyed(const QStringList &locations) const
{
    if (survey)
        return survey(locations);
    TroubleSurvey found;
    for (const QString &location : locations)
        found.at.insert(location, troubleAt(location));
    found.stranded = strandedAdapters();
    return found;
}

QString explainRefusal(const PortRefusal &refusal, const PortTroubles &troubles)
{
    if (refusal.location.isEmpty() && refusal.portNo <= 0)
        return QStringLiteral("没有选串口号: 请在 设置 中选一个串口号, 按 确认.");
    if (!refusal.location.isEmpty()) {
        const QString cause = troubles.troubleAt(refusal.location);
        if (!cause.isEmpty())
            return cause;
    }
    if (refusal.location.isEmpty() || refusal.refusal == Refusal::NoSuchPort)
        return noSuchPort(refusal, troubles);
    if (refusal.refusal == Refusal::InUse)
        return QStringLiteral("%1 正被另一个程序使用, 请先关闭它.").arg(refusal.location);
    const QString said
        = refusal.systemError.isEmpty() ? QStringLiteral("系统没有说明原因") : refusal.systemError;
    if (refusal.refusal == Refusal::SettingsRefused)
        return QStringLiteral("%1 不接受 9600 波特, 无校验, 8 位数据, 1 位停止位的设置: %2")
            .arg(refusal.location, said);
    return QStringLiteral("%1: %2").arg(refusal.location, said);
}
