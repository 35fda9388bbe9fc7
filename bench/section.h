#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

// One measured value, given once: the table column that shows it (none: only
// in the JSON) and the key it is written under (none: only in the table).
struct Value {
    QString column;
    QString key;
    QJsonValue json;
    QString shown;
};

// A number with `decimals` decimals; a fraction as a percentage with two.
QString fixed(double value, int decimals);
QString percentText(double fraction);

// A number, shown multiplied by `scale` with `decimals` decimals.
Value number(const QString &column, const QString &key, double value, int decimals, double scale = 1);
// A fraction, shown as a percentage.
Value percent(const QString &column, const QString &key, double fraction);
// Whether a download or a load gave exactly the program: "yes", or NO and the problem.
Value exact(const QString &problem);

// One figure as it is reported: a titled table with its columns aligned and
// its notes after it, one a line, and the same figure as a JSON object.
class Section {
public:
    Section(QString title, QStringList header) : title_(std::move(title)), header_(std::move(header)) {}

    // A row named `name`, each value in its column of the header; returns the
    // values that have a key as a JSON object.
    QJsonObject addRow(const QString &name, const std::vector<Value> &values = {});
    void addNote(const QString &note) { notes_ << note; }
    QString text() const;

    QJsonObject json;

private:
    QString title_;
    QStringList header_;
    std::vector<QStringList> rows_;
    QStringList notes_;
};

// Adds every key of `values` to `json`.
void insertAll(QJsonObject &json, const QJsonObject &values);
