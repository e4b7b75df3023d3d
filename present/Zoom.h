#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace present {

// How the drawing mode shows its picture: at 1x to 4x, over a view as large as
// the picture itself (the monitor it was taken from). Zooming keeps the picture
// point under the pointer where it is, and the view never shows beyond the
// picture's edges. Coordinates are logical pixels.
class Zoom
{
public:
    static constexpr qreal Min = 1;
    static constexpr qreal Max = 4;
    // One wheel notch, or one + or - key, is a third of a doubling: three make
    // 2x exactly, six 4x.
    static constexpr int StepsPerDoubling = 3;

    void setView(QSizeF view);
    qreal factor() const { return m_factor; }
    // The picture point at the view's top-left corner.
    QPointF offset() const { return m_offset; }

    QPointF toPicture(QPointF viewPoint) const { return m_offset + viewPoint / m_factor; }
    QPointF toView(QPointF picturePoint) const { return (picturePoint - m_offset) * m_factor; }
    QRectF toView(const QRectF &pictureRect) const
    {
        return QRectF(toView(pictureRect.topLeft()), pictureRect.size() * m_factor);
    }
    // The part of the picture the view shows.
    QRectF shown() const { return QRectF(m_offset, m_view / m_factor); }

    // Zooms to `factor`, held to 1x..4x, around `anchor` (a view point).
    void zoomAt(QPointF anchor, qreal factor);
    void stepAt(QPointF anchor, int steps);
    void reset();

private:
    void keepInside();

    QSizeF m_view;
    qreal m_factor = 1;
    QPointF m_offset;
};

// A wheel's turns as whole zoom steps. A fine-stepped wheel or a touchpad sends
// many small turns, which add up to a step as a notch does; a touchpad that
// tells how far it scrolled on the screen is read by that instead.
class WheelSteps
{
public:
    static constexpr int EighthsPerStep = 120; // one notch of 15 degrees
    static constexpr int PixelsPerStep = 40;

    // The whole steps this turn completes (up positive).
    int add(QPoint angleDelta, QPoint pixelDelta);

private:
    int m_rest = 0; // in units of 1 / (EighthsPerStep * PixelsPerStep) of a step
};

} // namespace present
