#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

// Aliased filling of the round shapes that wide pens leave, straight into 32-bit
// images. A pixel is painted when its centre lies inside the shape, so shapes are
// exactly symmetric and a dot, a line and an eraser stamp of the same width agree.
namespace canvas::raster {

// Every point within `radius` of the segment a-b (a disc when a == b). `thin`
// marks a one-pixel pen: a pixel centre exactly half a pixel from the segment is
// then left out, so that a line is one pixel thick like the pixel it stands for.
void fillCapsule(QImage &image, QPointF a, QPointF b, double radius, QRgb color, const QRect &clip, bool thin = false);

// The union of the 2 * half + 1 vertical segments from (c.x + i, c.y - half) to
// (c.x + i, c.y + half), each widened by `radius`, in logical pixels; the image
// has `scale` device pixels to a logical one. `columnsOnPixelCentres` tells
// whether the segments run through pixel centres (odd pen widths) or along pixel
// edges (even widths). With `source`, an image of the same size, the shape
// shows the source's pixels instead of the colour.
void fillColumns(QImage &image, QPointF c, int half, double radius, bool columnsOnPixelCentres, QRgb color,
                 const QRect &clip, double scale = 1, const QImage *source = nullptr);

// A one-pixel line from pixel a to pixel b (logical), endpoints included: exactly
// one pixel for each step along the longer axis, with no gaps. Each logical pixel
// covers its `scale` x `scale` device pixels.
void fillThinLine(QImage &image, QPoint a, QPoint b, QRgb color, const QRect &clip, double scale = 1);

// Where a pen of this width centres its shapes for the pixel (x, y): on the pixel's
// centre for odd widths, on its top-left corner for even ones, so that a dot is
// exactly `width` pixels across.
QPointF penCentre(float x, float y, int width);

} // namespace canvas::raster
