#include "cli/screenrows.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// The wide and full-width blocks of Unicode's East Asian Width property.
constexpr std::array<std::pair<char32_t, char32_t>, 17> kWide{{
    {0x1100, 0x115F},
    {0x2E80, 0x303E},
    {0x3041, 0x33FF},
    {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},
    {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
}};

int rowsOf(const QString &line, int columns, bool wrapsAtOnce)
{
    int rows = 1;
    int column = 0;
    for (const char32_t character : line.toUcs4()) {
        const int width = columnsOf(character);
        if (column > 0 && column + width > columns) {
            ++rows;
            column = 0;
        }
        column += width;
    }
    return wrapsAtOnce && column == columns ? rows + 1 : rows;
}

}   // namespace

int columnsOf(char32_t character)
{
    const QChar::Category category = QChar::category(character);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
        || category == QChar::Other_Format)
        return 0;
    const bool wide = std::any_of(kWide.begin(), kWide.end(), [character](const auto &block) {
        return character >= block.first && character <= block.second;
    });
    return wide ? 2 : 1;
}

int screenRows(const QStringList &lines, int columns, bool wrapsAtOnce)
{
    int rows = 0;
    for (const QString &line : lines)
        rows += columns > 0 ? rowsOf(line, columns, wrapsAtOnce) : 1;
    return rows;
}
