#include "section.h"

#include <algorithm>

namespace {

constexpr int kGap = 2;

// The first column, the name of the row, reads left to right; figures line
// up on the right.
QString line(const QStringList &cells, const std::vector<int> &widths)
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

}   // namespace

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString percentText(double fraction) { return fixed(fraction * 100.0, 2) + QLatin1Char('%'); }

Value number(const QString &column, const QString &key, double value, int decimals, double scale)
{
    return {column, key, value, fixed(value * scale, decimals)};
}

Value percent(const QString &column, const QString &key, double fraction)
{
    return {column, key, fraction, percentText(fraction)};
}

Value exact(const QString &problem)
{
    const bool exact = problem.isEmpty();
    return {QStringLiteral("exact"), QStringLiteral("exact"), exact,
            exact ? QStringLiteral("yes") : QStringLiteral("NO: ") + problem};
}

QJsonObject Section::addRow(const QString &name, const std::vector<Value> &values)
{
    QStringList cells{name};
    for (int column = 1; column < header_.size(); ++column)
        cells << QString();
    QJsonObject keyed;
    for (const Value &value : values) {
        const int column = value.column.isEmpty() ? -1 : int(header_.indexOf(value.column));
        if (column > 0)
            cells[column] = value.shown;
        if (!value.key.isEmpty())
            keyed.insert(value.key, value.json);
    }
    rows_.push_back(cells);
    return keyed;
}

QString Section::text() const
{
    std::vector<int> widths(std::size_t(header_.size()), 0);
    const auto widen = [&widths](const QStringList &cells) {
        for (int i = 0; i < cells.size(); ++i)
            widths[std::size_t(i)] = std::max(widths[std::size_t(i)], int(cells[i].size()));
    };
    widen(header_);
    for (const QStringList &row : rows_)
        widen(row);
    const QString head = line(header_, widths);
    QString text
        = title_ + QLatin1Char('\n') + head + QString(head.size() - 1, QLatin1Char('-')) + QLatin1Char('\n');
    for (const QStringList &row : rows_)
        text += line(row, widths);
    for (const QString &note : notes_)
        text += QStringLiteral("  * ") + note + QLatin1Char('\n');
    return text;
}

void insertAll(QJsonObject &json, const QJsonObject &values)
{
    for (auto value = values.begin(); value != values.end(); ++value)
        json.insert(value.key(), value.value());
}
