#include "systemports/portholders.h"

#include <QStringList>

namespace {
constexpr int kNamedAtMost = 3;
}

QString PortHolder::named() const
{
    return QStringLiteral("%1 (进程 %2)").arg(program, QString::number(pid));
}

QString PortHolders::named() const
{
    QStringList names;
    for (const PortHolder &holder : known.mid(0, kNamedAtMost))
        names << holder.named();
    return names.join(QStringLiteral(", "));
}
