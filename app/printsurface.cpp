#include "app/printsurface.h"

#include <QPainter>

int PrintSurface::visibleCapacity() const
{
    const int lineHeight = qMax(1, fontMetrics().height());
    return height() / lineHeight + 1;
}

void PrintSurface::Print(const QString &line)
{
    ++printed_;
    if (lines_.size() >= visibleCapacity())
        return;
    lines_.append(line);
    update();
}

void PrintSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    int baseline = metrics.ascent();
    for (const QString &line : lines_) {
        painter.drawText(0, baseline, line);
        baseline += metrics.height();
    }
}
