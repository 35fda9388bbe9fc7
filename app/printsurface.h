#pragma once

#include <QStringList>
#include <QWidget>

// The main window's surface, on which numbers are printed one a line from
// the top left, beneath the controls. Printed lines stay across repaints;
// lines past the bottom edge are not seen and are not kept.
class PrintSurface : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    void Print(const QString &line);
    const QStringList &visibleLines() const { return lines_; }
    int linesPrinted() const { return printed_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int visibleCapacity() const;

    QStringList lines_;
    int printed_ = 0;
};
