#pragma once

#include <QJsonObject>
#include <QString>

// One object of JSON Lines: compact, on a line of its own, and every
// character beyond ASCII written as \uXXXX, so the line reads the same
// whatever code page a Windows shell decodes it with.
QString jsonLine(const QJsonObject &object);
