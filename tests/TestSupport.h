#pragma once

#include "canvas/Surface.h"

#include <QImage>
#include <QRect>
#include <QRgb>

namespace testing {

// Pixels of `color` inside `area` (the whole image when empty).
inline int countPixels(const QImage &image, QRgb color, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
    return n;
}

// Smallest rectangle holding every pixel of `color` inside `area`.
inline QRect boundsOf(const QImage &image, QRgb color, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// What a surface shows in its drawing area.
inline QImage visible(canvas::Surface &surface)
{
    return surface.screenLayer()->copy(QRect(QPoint(0, 0), surface.area()));
}

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;

} // namespace testing
