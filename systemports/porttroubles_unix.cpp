#include "systemports/linuxporttroubles.h"
#include "systemports/portholders.h"
#include "systemports/usbserialadapters.h"

#include <QFileInfo>

namespace {

QString heldTty(const LinuxSystemView &view, const QString &location)
{
    if (!QFileInfo::exists(view.deviceRoot + location))
        return {};
    const PortHolders holders = portHolders(view.proc, {location}, view.ownPid);
    if (holders.known.isEmpty())
        return {};
    return QStringLiteral("%1 正被 %2 使用, 请先关闭它.").arg(location, holders.named());
}

// Who took an adapter through usbfs: the programs that hold its USB device
// file; where their open files cannot be read, a running brltty, which is
// what does it on most desks.
QString usbfsTaker(const LinuxSystemView &view, const StrandedAdapter &adapter, bool *isBrltty)
{
    const PortHolders holders = portHolders(view.proc, {adapter.usbDevice}, view.ownPid);
    const QString brltty = QStringLiteral("brltty");
    *isBrltty = !holders.known.isEmpty() && holders.known.first().program == brltty;
    if (!holders.known.isEmpty())
        return holders.named();
    const QList<PortHolder> running = runningPrograms(view.proc, brltty);
    *isBrltty = !running.isEmpty();
    if (*isBrltty)
        return QStringLiteral("另一个程序 (多半是 brltty, 进程 %1)").arg(running.first().pid);
    return QStringLiteral("另一个程序");
}

QString strandedLine(const LinuxSystemView &view, const StrandedAdapter &adapter)
{
    const QString plugged = QStringLiteral("USB 串口适配器 %1 插着, ").arg(adapter.name);
    if (!adapter.takenThroughUsbfs && adapter.moduleLoaded)
        return plugged
            + QStringLiteral("但驱动 %1 没有接管它, 没有串口: 拔下适配器再插上.").arg(adapter.module);
    if (!adapter.takenThroughUsbfs)
        return plugged
            + QStringLiteral("但没有驱动接管它, 没有串口: 执行 sudo modprobe %1, 再拔插适配器.")
                  .arg(adapter.module);
    bool isBrltty = false;
    const QString taker = usbfsTaker(view, adapter, &isBrltty);
    const QString remedy = isBrltty
        ? QStringLiteral("不用盲文显示器的话, 执行 sudo apt remove brltty, 再拔插适配器.")
        : QStringLiteral("关掉这个程序, 再拔插适配器.");
    return plugged + QStringLiteral("但被 %1 占用, 没有串口: ").arg(taker) + remedy;
}

}   // namespace

PortTroubles linuxPortTroubles(const LinuxSystemView &view)
{
    PortTroubles troubles;
    troubles.at = [view](const QString &location) {
        const QString access = deviceAccessTrouble(location, view.deviceRoot, view.account, view.groupFile);
        return access.isEmpty() ? heldTty(view, location) : access;
    };
    troubles.adaptersWithoutPort = [view] {
        QStringList lines;
        for (const StrandedAdapter &adapter : strandedUsbAdapters(view.sysfs, view.kernelModules))
            lines << strandedLine(view, adapter);
        return lines;
    };
    return troubles;
}

PortTroubles systemPortTroubles() { return linuxPortTroubles(LinuxSystemView()); }
