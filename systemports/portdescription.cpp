#include "systemports/portdescription.h"

#include <algorithm>

namespace {

// An FTDI adapter keeps each lone received byte until its latency timer runs
// out, so every acknowledgement waits that long. Only the Windows driver's
// settings tell the timer; on Linux the port asks for low-latency mode itself.
constexpr int kPromptLatencyMs = 2;

QString named(const SystemPort &port)
{
    return port.description.isEmpty() ? port.location
                                      : QStringLiteral("%1 (%2)").arg(port.location, port.description);
}

QString latencyAdvice(const SystemPort &port)
{
    if (!port.latencyTimerMs || *port.latencyTimerMs <= kPromptLatencyMs)
        return {};
    return QStringLiteral(
               "\n这个 FTDI 适配器的延迟计时器是 %1 毫秒: 每个应答都要多等这么久, 下载会慢好几倍.\n"
               "请改成 1: 设备管理器 > 该端口的属性 > 端口设置 > 高级 > 延迟计时器 (毫秒): 1, "
               "然后拔下适配器再插上.")
        .arg(*port.latencyTimerMs);
}

}   // namespace

// A number whose location the system does not list opens no port: on
// Windows port n is always COMn, present or not.
QString PortSurvey::describePort(int portNo) const
{
    const QString location = reached.value(portNo - 1);
    const auto port = std::find_if(ports.begin(), ports.end(), [&](const SystemPort &p) {
        return !location.isEmpty() && p.location.compare(location, Qt::CaseInsensitive) == 0;
    });
    if (port == ports.end()) {
        const QString elsewhere = outOfReach();
        const QString none = QStringLiteral("串口 %1: 没有这个串口").arg(portNo) + troubleAt(location);
        return elsewhere.isEmpty() ? none : none + QStringLiteral("\n\n") + elsewhere;
    }
    return QStringLiteral("串口 %1: %2").arg(QString::number(portNo), named(*port)) + latencyAdvice(*port)
        + troubleAt(port->location);
}

QString PortSurvey::troubleAt(const QString &location) const
{
    const QString trouble = troubles.value(location);
    return trouble.isEmpty() ? QString() : QStringLiteral("\n") + trouble;
}

QString PortSurvey::outOfReach() const
{
    QString text = unreachedPorts();
    if (stranded.isEmpty())
        return text;
    if (!text.isEmpty())
        text += QStringLiteral("\n\n");
    return text + QStringLiteral("插着却没有串口的适配器:\n    ") + stranded.join(QStringLiteral("\n    "));
}

QString PortSurvey::unreachedPorts() const
{
    QString listed;
    for (const SystemPort &port : ports) {
        if (reached.contains(port.location, Qt::CaseInsensitive))
            continue;
        listed += QStringLiteral("\n    ") + port.location;
        if (!port.description.isEmpty())
            listed += QStringLiteral(": ") + port.description;
        listed += QString(latencyAdvice(port) + troubleAt(port.location))
                      .replace(QLatin1Char('\n'), QStringLiteral("\n        "));
    }
    if (listed.isEmpty())
        return {};
    return QStringLiteral("串口号 1 到 4 选不到这些串口:") + listed + QStringLiteral("\n")
        + renumberingAdvice();
}
