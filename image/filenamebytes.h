#pragma once

#include <QByteArray>
#include <QString>

// A file name as Linux gives it, in bytes, held in a QString so that it goes
// back to the file system as the same bytes. A name in UTF-8 reads as its
// text. One that is not (copied from an old share in GBK, say) keeps each
// byte above 0x7F as a lone surrogate, U+DC80 to U+DCFF, as Python keeps
// such names: shown, those bytes read as "?", but the file opens.
QString fileNameFromBytes(const QByteArray &bytes);
// The bytes of such a name; UTF-8 for any other text.
QByteArray fileNameBytes(const QString &name);
