#pragma once

#include "image/objectfileparser.h"

#include <QString>

// Opens, reads and closes an object file in one call. Only a regular file
// is read; one larger than any program could be is refused once its first
// kMaxFileBytes + 1 bytes have been read.
class ObjectFileReader {
public:
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    static ParsedObjectFile read(const QString &path);
};
