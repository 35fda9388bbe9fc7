#include "cli/porttarget.h"

#include "cli/devicename.h"
#include "systemports/portmapping.h"

#include <QSet>

namespace {

std::optional<PortTarget> targetNamed(const QString &text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber, 10);
    if (isNumber && number >= 1 && number <= PortTarget::kLargestNumber && text.at(0).isDigit())
        return PortTarget{text, number, systemPortFor(number)};
    const QString device = namedDevice(text);
    if (device.isEmpty())
        return std::nullopt;
    return PortTarget{text, 0, device};
}

// Two names are one port when they lead to one device; a number that leads
// nowhere is one port with itself only.
QString identityOf(const PortTarget &target)
{
    return target.device.isEmpty() ? QStringLiteral("#%1").arg(target.number) : deviceIdentity(target.device);
}

}   // namespace

QString PortTarget::name() const
{
    if (number == 0)
        return device;
    if (device.isEmpty())
        return QStringLiteral("串口 %1").arg(number);
    return QStringLiteral("串口 %1 (%2)").arg(QString::number(number), device);
}

std::optional<QList<PortTarget>> PortTarget::resolve(const QStringList &given, QString &refusal)
{
    QList<PortTarget> targets;
    QSet<QString> seen;
    for (const QString &text : given.isEmpty() ? QStringList{QStringLiteral("1")} : given) {
        const std::optional<PortTarget> target = targetNamed(text);
        if (!target) {
            refusal = QStringLiteral("\"%1\" 不是串口号 (1 到 %2) 或串口设备名")
                          .arg(text, QString::number(kLargestNumber));
            return std::nullopt;
        }
        const QString identity = identityOf(*target);
        if (seen.contains(identity)) {
            refusal = QStringLiteral("%1 给了两次: 每个串口只能下载一次").arg(target->name());
            return std::nullopt;
        }
        seen.insert(identity);
        targets.append(*target);
    }
    return targets;
}
