#include "app/deviceicon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The sixteen colours of the classic 4-bit palette.
QVector<QRgb> classicPalette()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// Drawn on a 32-unit grid and scaled to the size asked for.
void drawDevice(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    // The cable, leaving the box on the left and ending in a plug.
    p.setPen(QPen(Qt::black, 2));
    QPainterPath cable;
    cable.moveTo(9, 17);
    cable.cubicTo(4, 17, 6, 26, 2, 27);
    p.drawPath(cable);
    p.fillRect(QRect(0, 25, 4, 5), QColor(0, 0, 128));
    // The box: light grey face, dark grey sides, black outline.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(QRect(9, 9, 21, 16));
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(QRect(9, 6, 19, 16));
    // A display and two status lights.
    p.setBrush(QColor(0, 128, 0));
    p.drawRect(QRect(12, 9, 13, 6));
    p.fillRect(QRect(13, 18, 2, 2), QColor(255, 0, 0));
    p.fillRect(QRect(17, 18, 2, 2), QColor(0, 255, 0));
    // The serial connector on the side.
    p.fillRect(QRect(7, 15, 3, 5), QColor(0, 0, 128));
}

}   // namespace

QImage DeviceIcon::picture(int size)
{
    QImage canvas(size, size, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter p(&canvas);
        p.scale(size / 32.0, size / 32.0);
        drawDevice(p);
    }
    QImage indexed = canvas.convertToFormat(QImage::Format_Indexed8, classicPalette(),
                                            Qt::ThresholdDither | Qt::AvoidDither);
    // Keep the background transparent: pixels that were clear stay clear.
    QVector<QRgb> colours = indexed.colorTable();
    colours.append(qRgba(0, 0, 0, 0));
    indexed.setColorTable(colours);
    const int clear = int(colours.size()) - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (qAlpha(canvas.pixel(x, y)) < 128)
                indexed.setPixel(x, y, clear);
    return indexed;
}

QIcon DeviceIcon::icon() { return QIcon(QPixmap::fromImage(picture(32))); }
