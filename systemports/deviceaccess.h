#pragma once

#include <QList>
#include <QString>

#include <functional>

// The user this program runs as, as far as opening a device goes: the
// groups this session has (fixed at login: a group added since counts only
// after the next login), whether the system lets it read and write a path
// and whether it may remove a file (its folder's sticky bit keeps other
// users' files).
struct UserAccount {
    QString name;
    QList<uint> sessionGroups;
    std::function<bool(const QString &path)> mayReadWrite;
    std::function<bool(const QString &path)> mayRemove;

    static UserAccount current();
};

// Why `account` may not open the device at `path`, and what to do: the group
// that owns it, and whether the user must be added to it or only log in
// again (`groupFile` lists the groups and their members, as /etc/group
// does). Joining is advised only where the group may read and write the
// device. Empty when the user may open it, or the device is not there. The
// device file is looked at under `root` (empty: the system's own).
QString deviceAccessTrouble(const QString &path, const QString &root, const UserAccount &account,
                            const QString &groupFile);
