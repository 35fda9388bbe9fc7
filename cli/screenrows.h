#pragma once

#include <QString>
#include <QStringList>

// The rows of a terminal `columns` wide that lines of text take, each
// written from the start of a row and ended by a line break, as a terminal
// wraps them: a wide character (Chinese, full-width forms) takes two columns,
// and one that does not fit in the last column starts the next row. Where
// the cursor wraps at once (the Windows console), a line that fills its last
// row exactly leaves the break a row of its own; a terminal waits for the
// next character instead. A width of 0 or less is unknown: a row a line.
int screenRows(const QStringList &lines, int columns, bool wrapsAtOnce);

// The columns one character takes on a terminal: 0, 1 or 2.
int columnsOf(char32_t character);
