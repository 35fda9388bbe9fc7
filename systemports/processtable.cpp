#include "systemports/processtable.h"

#include "systemports/kernelreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace {

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

// The device files among a process's open files; false when they cannot be read.
bool readOpenDevices(const QString &fdFolder, QStringList *devices)
{
    const QByteArray folder = QFile::encodeName(fdFolder);
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return errno != EACCES;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QString target = linkTarget(folder + '/' + entry->d_name);
        if (target.startsWith(QLatin1String("/dev/")))
            *devices << target;
    }
    ::closedir(dir);
    return true;
}

// The stat line's fields after the name, which is in parentheses and may
// hold spaces: state, parent, process group, session, controlling terminal.
QList<QByteArray> statFields(const QString &procFolder)
{
    QFile stat(procFolder + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readLine();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

}   // namespace

ProcessTable::ProcessTable(const QString &procRoot, qint64 ownPid) : ownPid_(ownPid)
{
    for (const QString &pid : processIds(procRoot)) {
        const QString folder = procRoot + QLatin1Char('/') + pid;
        const QList<QByteArray> fields = statFields(folder);
        Process process;
        process.id = {kernelReportLine(folder + QStringLiteral("/comm")), pid.toLongLong()};
        process.parent = fields.value(1).toLongLong();
        process.session = fields.value(3).toLongLong();
        process.tty = fields.value(4).toUInt();
        process.filesUnreadable = !readOpenDevices(folder + QStringLiteral("/fd"), &process.devices);
        processes_ << process;
    }
    std::sort(processes_.begin(), processes_.end(),
              [](const Process &a, const Process &b) { return a.id.pid < b.id.pid; });
}

PortHolders ProcessTable::holding(const QStringList &paths) const
{
    QStringList wanted = paths;
    for (const QString &path : paths) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            wanted << canonical;
    }
    QList<const Process *> holders;
    PortHolders found;
    for (const Process &process : processes_) {
        if (process.id.pid == ownPid_)
            continue;
        found.othersUnreadable |= process.filesUnreadable;
        if (std::any_of(process.devices.begin(), process.devices.end(),
                        [&](const QString &device) { return wanted.contains(device); }))
            holders << &process;
    }
    // A program's children that inherited its open files hold them too:
    // only the program that opened them is named, whose end ends theirs.
    for (const Process *holder : holders) {
        const bool parentHolds = std::any_of(holders.begin(), holders.end(), [&](const Process *other) {
            return other->id.pid == holder->parent;
        });
        if (!parentHolds)
            found.known << holder->id;
    }
    return found;
}

QList<PortHolder> ProcessTable::running(const QString &program) const
{
    QList<PortHolder> found;
    for (const Process &process : processes_)
        if (process.id.program == program)
            found << process.id;
    return found;
}

QList<PortHolder> ProcessTable::onTerminal(quint32 tty) const
{
    QList<PortHolder> leaders;
    QList<PortHolder> others;
    for (const Process &process : processes_)
        if (tty != 0 && process.tty == tty)
            (process.session == process.id.pid ? leaders : others) << process.id;
    return leaders + others;
}

QString ProcessTable::programOf(qint64 pid) const
{
    for (const Process &process : processes_)
        if (process.id.pid == pid)
            return process.id.program;
    return {};
}
