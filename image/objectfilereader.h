#pragma once

#include "image/objectfileparser.h"

#include <QString>

// Opens, reads and closes an object file in one call.
// Files larger than any program could be are refused without being read.
class ObjectFileReader {
public:
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    static ParsedObjectFile read(const QString &path);
};
