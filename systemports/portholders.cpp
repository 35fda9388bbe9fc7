#include "systemports/portholders.h"

#include "systemports/kernelreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace {

constexpr int kNamedAtMost = 3;

QString processName(const QString &procRoot, const QString &pid)
{
    return kernelReportLine(procRoot + QLatin1Char('/') + pid + QStringLiteral("/comm"));
}

// The process folders: names that are numbers.
QStringList processIds(const QString &procRoot)
{
    QStringList pids;
    for (const QString &name : QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isNumber = false;
        name.toLongLong(&isNumber);
        if (isNumber)
            pids << name;
    }
    return pids;
}

QString linkTarget(const QByteArray &link)
{
    char target[4096];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    return length > 0 ? QString::fromLocal8Bit(target, int(length)) : QString();
}

// The parent's process id, from the fourth field of its stat line (the
// second, the name in parentheses, may hold spaces); 0 when unknown.
qint64 parentOf(const QString &procRoot, const QString &pid)
{
    QFile stat(procRoot + QLatin1Char('/') + pid + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readLine();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).split(' ');
    return fields.size() > 2 ? fields.at(2).toLongLong() : 0;
}

// A program's children that inherited its open files hold them too: only
// the program that opened them is named, whose end ends theirs.
void dropInheritors(QList<PortHolder> &holders, const QHash<qint64, qint64> &parents)
{
    QList<PortHolder> kept;
    for (const PortHolder &holder : holders) {
        const qint64 parent = parents.value(holder.pid);
        const bool parentHolds = std::any_of(holders.begin(), holders.end(),
                                             [&](const PortHolder &other) { return other.pid == parent; });
        if (!parentHolds)
            kept << holder;
    }
    holders = kept;
}

enum class Opened {
    No,
    Yes,
    Unreadable
};

// Whether the process has one of `paths` open.
Opened hasOpen(const QString &fdFolder, const QStringList &paths)
{
    const QByteArray folder = QFile::encodeName(fdFolder);
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return errno == EACCES ? Opened::Unreadable : Opened::No;
    Opened found = Opened::No;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (paths.contains(linkTarget(folder + '/' + entry->d_name))) {
            found = Opened::Yes;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}   // namespace

QString PortHolders::named() const
{
    QStringList names;
    for (const PortHolder &holder : known.mid(0, kNamedAtMost))
        names << QStringLiteral("%1 (进程 %2)").arg(holder.program, QString::number(holder.pid));
    return names.join(QStringLiteral(", "));
}

PortHolders portHolders(const QString &procRoot, const QStringList &paths, qint64 ownPid)
{
    QStringList wanted = paths;
    for (const QString &path : paths) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            wanted << canonical;
    }
    wanted.removeDuplicates();
    PortHolders holders;
    QHash<qint64, qint64> parents;
    for (const QString &pid : processIds(procRoot)) {
        if (pid.toLongLong() == ownPid)
            continue;
        switch (hasOpen(procRoot + QLatin1Char('/') + pid + QStringLiteral("/fd"), wanted)) {
        case Opened::Yes:
            holders.known.append({processName(procRoot, pid), pid.toLongLong()});
            parents.insert(pid.toLongLong(), parentOf(procRoot, pid));
            break;
        case Opened::Unreadable: holders.othersUnreadable = true; break;
        case Opened::No: break;
        }
    }
    dropInheritors(holders.known, parents);
    std::sort(holders.known.begin(), holders.known.end(),
              [](const PortHolder &a, const PortHolder &b) { return a.pid < b.pid; });
    return holders;
}

QList<PortHolder> runningPrograms(const QString &procRoot, const QString &program)
{
    QList<PortHolder> running;
    for (const QString &pid : processIds(procRoot))
        if (processName(procRoot, pid) == program)
            running.append({program, pid.toLongLong()});
    return running;
}
