#include "cli/portlisting.h"

#include "cli/jsonline.h"
#include "cli/porttarget.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>

namespace {

// Asks the window's numbering which number opens each port, so the list can
// never number a port otherwise than a download does. Numbers are tried
// until every port is found: on Linux the first ones reach them all, on
// Windows COMn is n whatever comes before it.
QHash<QString, int> numbersOf(const QList<SystemPort> &ports, const PortMapping &numbering)
{
    QSet<QString> unnumbered;
    for (const SystemPort &port : ports)
        unnumbered.insert(port.location);
    QHash<QString, int> numbers;
    for (int n = 1; n <= PortTarget::kLargestNumber && !unnumbered.isEmpty(); ++n) {
        const QString location = numbering(n);
        if (unnumbered.remove(location))
            numbers.insert(location, n);
    }
    return numbers;
}

QString latencyText(const std::optional<int> &milliseconds)
{
    return milliseconds ? QStringLiteral(", 延迟计时器 %1 毫秒").arg(*milliseconds) : QString();
}

}   // namespace

// Every port's trouble and the stranded adapters come from one look at the
// system, as the port window takes them.
PortListing::PortListing(const QList<SystemPort> &ports, const PortMapping &numbering,
                         const PortTroubles &troubles)
{
    QStringList locations;
    for (const SystemPort &port : ports)
        locations << port.location;
    const TroubleSurvey found = troubles.surveyed(locations);
    stranded_ = found.stranded;
    const QHash<QString, int> numbers = numbersOf(ports, numbering);
    for (const SystemPort &port : ports)
        entries_.append({numbers.value(port.location), port, found.at.value(port.location)});
}

QString PortListing::text() const
{
    QString text;
    if (entries_.isEmpty())
        text += QStringLiteral("这台电脑没有串口.\n");
    for (const Entry &entry : entries_) {
        const QString number
            = entry.number > 0 ? QStringLiteral("串口 %1").arg(entry.number) : QStringLiteral("无编号");
        const QString about
            = entry.port.description.isEmpty() ? QString() : QStringLiteral("  ") + entry.port.description;
        text += QStringLiteral("%1  %2%3%4\n")
                    .arg(number, entry.port.location, about, latencyText(entry.port.latencyTimerMs));
        if (!entry.trouble.isEmpty())
            text += QStringLiteral("    不能用: ") + entry.trouble + QLatin1Char('\n');
    }
    for (const QString &adapter : stranded_)
        text += adapter + QLatin1Char('\n');
    return text;
}

QString PortListing::jsonLines() const
{
    QString lines;
    for (const Entry &entry : entries_) {
        QJsonObject port{{"port", entry.number > 0 ? QJsonValue(entry.number) : QJsonValue()},
                         {"device", entry.port.location},
                         {"description", entry.port.description}};
        if (entry.port.latencyTimerMs)
            port.insert(QStringLiteral("latency_timer_ms"), *entry.port.latencyTimerMs);
        if (!entry.trouble.isEmpty())
            port.insert(QStringLiteral("trouble"), entry.trouble);
        lines += jsonLine(port);
    }
    for (const QString &adapter : stranded_)
        lines += jsonLine({{"adapter_without_port", adapter}});
    return lines;
}
