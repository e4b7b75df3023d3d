#pragma once

#include <QPointF>
#include <QRect>
#include <QRegion>

class QPainter;

namespace present {

// The spotlight: everything is dimmed but a sharp-edged circle around the
// pointer. It is a way of looking at the page, nothing drawn on it: never a
// step, never saved. View coordinates (logical pixels of the window).
class Spotlight
{
public:
    static constexpr qreal MinRadius = 40;
    static constexpr qreal StartRadius = 120;
    static constexpr qreal Step = 1.25;  // one [ or ] key
    static constexpr int DimAlpha = 153; // 60 % darker

    bool on() const { return m_on; }
    qreal radius() const { return m_radius; }
    QPointF centre() const { return m_centre; }

    // Each returns what must be painted again.
    QRegion toggle(QPointF at, const QRect &view);
    QRegion moveTo(QPointF at);
    // Smaller (negative steps) or larger, from MinRadius to half the view's height.
    QRegion resize(int steps, const QRect &view);

    // Dims `area` outside the circle.
    void paint(QPainter &p, const QRect &area) const;

private:
    QRect circle() const;

    bool m_on = false;
    qreal m_radius = StartRadius;
    QPointF m_centre;
};

} // namespace present
