#include "systemports/linuxporttroubles.h"
#include "systemports/loginconsole.h"
#include "systemports/processtable.h"
#include "systemports/usbserialadapters.h"

#include <QFileInfo>

#include <optional>

namespace {

// What one look at a Linux system finds in the way of its ports. The
// processes, which every cause but the device's permission needs, are read
// once, at the first question.
class LinuxTroubleLook {
public:
    explicit LinuxTroubleLook(const LinuxSystemView &view) : view_(view) {}

    QString at(const QString &location)
    {
        const QString device = view_.deviceRoot + location;
        if (!QFileInfo::exists(device))
            return {};
        QString trouble = loginConsoleTrouble(location, device, view_.sysfs, processes());
        if (trouble.isEmpty())
            trouble = deviceAccessTrouble(location, view_.deviceRoot, view_.account, view_.groupFile);
        if (trouble.isEmpty())
            trouble = heldTty(location);
        return trouble;
    }

    QStringList stranded()
    {
        QStringList lines;
        for (const StrandedAdapter &adapter : strandedUsbAdapters(view_.sysfs, view_.kernelModules))
            lines << strandedLine(adapter);
        return lines;
    }

private:
    const ProcessTable &processes()
    {
        if (!processes_)
            processes_.emplace(view_.proc, view_.ownPid);
        return *processes_;
    }

    // Who holds it open; where no one is seen, who keeps its lock file.
    QString heldTty(const QString &location)
    {
        const PortHolders holders = processes().holding({location});
        if (holders.known.isEmpty())
            return lockFileTrouble(location, portLockFile(view_.lockFolders, location), processes(),
                                   view_.account.mayRemove);
        return QStringLiteral("%1 正被 %2 使用, 请先关闭它.").arg(location, holders.named());
    }

    // Who took an adapter through usbfs: the programs that hold its USB
    // device file; where their open files cannot be read, a running brltty,
    // which is what does it on most desks.
    QString usbfsTaker(const StrandedAdapter &adapter, bool *isBrltty)
    {
        const PortHolders holders = processes().holding({adapter.usbDevice});
        const QString brltty = QStringLiteral("brltty");
        *isBrltty = !holders.known.isEmpty() && holders.known.first().program == brltty;
        if (!holders.known.isEmpty())
            return holders.named();
        const QList<PortHolder> running = processes().running(brltty);
        *isBrltty = !running.isEmpty();
        if (*isBrltty)
            return QStringLiteral("另一个程序 (多半是 brltty, 进程 %1)").arg(running.first().pid);
        return QStringLiteral("另一个程序");
    }

    QString strandedLine(const StrandedAdapter &adapter)
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
        const QString taker = usbfsTaker(adapter, &isBrltty);
        const QString remedy = isBrltty
            ? QStringLiteral("不用盲文显示器的话, 执行 sudo apt remove brltty, 再拔插适配器.")
            : QStringLiteral("关掉这个程序, 再拔插适配器.");
        return plugged + QStringLiteral("但被 %1 占用, 没有串口: ").arg(taker) + remedy;
    }

    LinuxSystemView view_;
    std::optional<ProcessTable> processes_;
};

}   // namespace

PortTroubles linuxPortTroubles(const LinuxSystemView &view)
{
    PortTroubles troubles;
    troubles.at = [view](const QString &location) { return LinuxTroubleLook(view).at(location); };
    troubles.adaptersWithoutPort = [view] { return LinuxTroubleLook(view).stranded(); };
    troubles.survey = [view](const QStringList &locations) {
        LinuxTroubleLook look(view);
        TroubleSurvey survey;
        for (const QString &location : locations)
            survey.at.insert(location, look.at(location));
        survey.stranded = look.stranded();
        return survey;
    };
    return troubles;
}

PortTroubles systemPortTroubles() { return linuxPortTroubles(LinuxSystemView()); }
