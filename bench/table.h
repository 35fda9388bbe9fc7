#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A titled table of text cells, printed with its columns aligned; notes
// follow it, one a line.
class Table {
public:
    explicit Table(QString title) : title_(std::move(title)) {}

    void setHeader(const QStringList &cells) { header_ = cells; }
    void addRow(const QStringList &cells) { rows_.push_back(cells); }
    void addNote(const QString &note) { notes_ << note; }
    QString text() const;

private:
    std::vector<int> columnWidths() const;
    static QString line(const QStringList &cells, const std::vector<int> &widths);

    QString title_;
    QStringList header_;
    std::vector<QStringList> rows_;
    QStringList notes_;
};
