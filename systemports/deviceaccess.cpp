#include "systemports/deviceaccess.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A group as a line of the group file gives it: its name and its members.
struct GroupEntry {
    QString name;
    QStringList members;
};

GroupEntry groupWithId(const QString &groupFile, uint gid)
{
    QFile file(groupFile);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char(':'));
            bool isNumber = false;
            if (fields.size() >= 4 && fields.at(2).toUInt(&isNumber) == gid && isNumber)
                return {fields.at(0), fields.at(3).split(QLatin1Char(','), Qt::SkipEmptyParts)};
        }
    }
    return {QString::number(gid), {}};
}

// The user's name, or the number where the system knows none. Downloads to
// several ports look from several threads at once: getpwuid_r keeps each
// answer in the caller's buffer.
QString userName(uid_t uid)
{
    passwd entry = {};
    passwd *user = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &user) != 0 || !user)
        return QString::number(uid);
    return QString::fromLocal8Bit(user->pw_name);
}

// Removing a file takes writing its folder; in a sticky folder (/run/lock,
// /tmp) also owning the file or the folder, or being root.
bool userMayRemove(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    struct stat file = {};
    struct stat where = {};
    if (::access(folder.constData(), W_OK | X_OK) != 0 || ::stat(folder.constData(), &where) != 0
        || ::stat(QFile::encodeName(path).constData(), &file) != 0)
        return false;
    const uid_t user = ::geteuid();
    return !(where.st_mode & S_ISVTX) || user == 0 || file.st_uid == user || where.st_uid == user;
}

}   // namespace

UserAccount UserAccount::current()
{
    UserAccount account;
    account.name = userName(::geteuid());
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(count, 0)));
    if (count > 0 && ::getgroups(count, groups.data()) == count)
        for (gid_t gid : groups)
            account.sessionGroups << uint(gid);
    account.sessionGroups << uint(::getegid());
    account.mayReadWrite
        = [](const QString &path) { return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0; };
    account.mayRemove = userMayRemove;
    return account;
}

QString deviceAccessTrouble(const QString &path, const QString &root, const UserAccount &account,
                            const QString &groupFile)
{
    const QString file = root + path;
    struct stat status = {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return {};
    if (!account.mayReadWrite || account.mayReadWrite(file))
        return {};
    const GroupEntry group = groupWithId(groupFile, uint(status.st_gid));
    const QString noAccess = QStringLiteral("%1: 没有权限.").arg(path);
    // Root's group, a group the user already has, or one that may not both
    // read and write it (tty, which a login prompt gives it): no group to
    // join helps.
    const bool groupReadsAndWrites = (status.st_mode & S_IRGRP) && (status.st_mode & S_IWGRP);
    if (status.st_gid == 0 || account.sessionGroups.contains(uint(status.st_gid)) || !groupReadsAndWrites)
        return noAccess
            + QStringLiteral(" 它属于用户 %1 和 %2 组, 不让用户 %3 读写: 请管理员修改它的权限.")
                  .arg(userName(status.st_uid), group.name, account.name);
    if (group.members.contains(account.name))
        return noAccess
            + QStringLiteral(" 用户 %1 已在 %2 组里, 但这次登录还没有这个组: 注销并重新登录就好.")
                  .arg(account.name, group.name);
    return noAccess
        + QStringLiteral(" 把用户加入 %1 组: sudo usermod -aG %1 %2, 然后注销并重新登录.")
              .arg(group.name, account.name.isEmpty() ? QStringLiteral("用户名") : account.name);
}
