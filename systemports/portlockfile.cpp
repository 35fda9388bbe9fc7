#include "systemports/portlockfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

// The process id a lock file holds: text in the HDB UUCP form (ten
// characters, right-aligned, and a line end) or as Qt writes it (the id on
// the first line), or a binary int in older files.
qint64 lockOwner(const QByteArray &content)
{
    const bool text = std::all_of(content.begin(), content.end(),
                                  [](char c) { return c == '\n' || c == ' ' || (c >= '0' && c <= '9'); });
    if (!text && content.size() == int(sizeof(int))) {
        int pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        return pid;
    }
    return content.left(content.indexOf('\n')).trimmed().toLongLong();
}

}   // namespace

QStringList serialLockFolders()
{
    return {
        QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),   QStringLiteral("/tmp"),       QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
}

PortLockFile portLockFile(const QStringList &folders, const QString &location)
{
    QString name = location.startsWith(QLatin1String("/dev/")) ? location.mid(5) : location;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &folder : folders) {
        const QFileInfo where(folder);
        const QString path = folder + QStringLiteral("/LCK..") + name;
        const bool exists = QFileInfo::exists(path);
        if (!where.isReadable() || !(exists || where.isWritable()))
            continue;
        if (!exists)
            return {};
        QFile file(path);
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.read(64) : QByteArray();
        return {QFileInfo(path).canonicalFilePath(), lockOwner(content)};
    }
    return {};
}

QString lockFileTrouble(const QString &location, const PortLockFile &lock, const ProcessTable &processes,
                        const std::function<bool(const QString &path)> &mayRemove)
{
    if (lock.path.isEmpty() || (mayRemove && mayRemove(lock.path)))
        return {};
    const QString remove = QStringLiteral("执行 sudo rm %1.").arg(lock.path);
    if (lock.owner <= 0)
        return QStringLiteral("%1 被锁文件 %2 锁住, 看不出是哪个进程留下的: 没有程序在用它的话, ")
                   .arg(location, lock.path)
            + remove;
    const QString program = processes.programOf(lock.owner);
    if (program.isEmpty())
        return QStringLiteral("%1 的锁文件 %2 还在, 但留下它的进程 %3 已经不在了: ")
                   .arg(location, lock.path, QString::number(lock.owner))
            + remove;
    return QStringLiteral("%1 正被 %2 锁住 (锁文件 %3), 请先关闭它.")
        .arg(location, PortHolder{program, lock.owner}.named(), lock.path);
}
