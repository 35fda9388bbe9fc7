#pragma once

#include <QByteArray>
#include <QString>

// The bytes of a regular file on disk, read in one call. Anything else (a
// named pipe, a character or block device, a socket, a folder) is refused at
// once, without waiting for it: what is decided on is the file that was
// opened, never a name looked up beforehand.
struct RegularFileRead {
    bool ok = false;
    QByteArray bytes;   // at most the limit asked for
    QString error;      // why the file was refused, when it was
};

// Reads at most `limit` bytes of the file at `path`.
RegularFileRead readRegularFile(const QString &path, qint64 limit);
