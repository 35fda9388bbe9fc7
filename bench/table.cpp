#include "table.h"

#include <algorithm>

namespace {
constexpr int kGap = 2;
}

std::vector<int> Table::columnWidths() const
{
    std::vector<int> widths;
    auto widen = [&widths](const QStringList &cells) {
        if (widths.size() < std::size_t(cells.size()))
            widths.resize(std::size_t(cells.size()), 0);
        for (int i = 0; i < cells.size(); ++i)
            widths[std::size_t(i)] = std::max(widths[std::size_t(i)], int(cells[i].size()));
    };
    widen(header_);
    for (const QStringList &row : rows_)
        widen(row);
    return widths;
}

// The first column, the name of the row, reads left to right; figures line
// up on the right.
QString Table::line(const QStringList &cells, const std::vector<int> &widths)
{
    QString text;
    for (int i = 0; i < cells.size(); ++i) {
        const int width = widths[std::size_t(i)];
        text += i == 0 ? cells[i].leftJustified(width)
                       : QString(kGap, QLatin1Char(' ')) + cells[i].rightJustified(width);
    }
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text.isEmpty() ? QString() : text + QLatin1Char('\n');
}

QString Table::text() const
{
    const std::vector<int> widths = columnWidths();
    QString text = title_ + QLatin1Char('\n');
    if (!header_.isEmpty()) {
        const QString head = line(header_, widths);
        text += head + QString(head.size() - 1, QLatin1Char('-')) + QLatin1Char('\n');
    }
    for (const QStringList &row : rows_)
        text += line(row, widths);
    for (const QString &note : notes_)
        text += QStringLiteral("  * ") + note + QLatin1Char('\n');
    return text;
}
