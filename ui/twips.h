#pragma once

#include <QRect>
#include <QSize>

// Window geometry is laid out in twips: 15 twips are one pixel at 96 dpi.
// Qt's logical pixels then scale on high-DPI screens by themselves.
namespace Twips {

constexpr int kPerPixel = 15;

constexpr int toPixels(int twips) { return twips / kPerPixel; }

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QSize size(int width, int height) { return QSize(toPixels(width), toPixels(height)); }

}   // namespace Twips
