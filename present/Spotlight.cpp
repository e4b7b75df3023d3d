#include "present/Spotlight.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace present {

QRect Spotlight::circle() const
{
    // A pixel to spare on each side for rounding on a scaled screen.
    const qreal r = m_radius + 2;
    return QRectF(m_centre - QPointF(r, r), QSizeF(2 * r, 2 * r)).toAlignedRect();
}

QRegion Spotlight::toggle(QPointF at, const QRect &view)
{
    m_on = !m_on;
    m_centre = at;
    m_radius = std::clamp<qreal>(m_radius, MinRadius, std::max<qreal>(MinRadius, view.height() / 2.0));
    return view;
}

QRegion Spotlight::moveTo(QPointF at)
{
    if (!m_on || at == m_centre) {
        m_centre = at;
        return {};
    }
    // Only the two circles change: what was lit is dimmed, what is lit now is not.
    QRegion area(circle());
    m_centre = at;
    return area | circle();
}

QRegion Spotlight::resize(int steps, const QRect &view)
{
    const QRect before = circle();
    const qreal largest = std::max<qreal>(MinRadius, view.height() / 2.0);
    m_radius = std::clamp<qreal>(m_radius * std::pow(Step, steps), MinRadius, largest);
    if (!m_on)
        return {};
    return QRegion(before) | circle();
}

void Spotlight::paint(QPainter &p, const QRect &area) const
{
    if (!m_on)
        return;
    const QRectF lit(m_centre - QPointF(m_radius, m_radius), QSizeF(2 * m_radius, 2 * m_radius));
    // Inside the circle's inscribed square nothing is dimmed.
    const qreal half = m_radius * 0.7;
    if (QRectF(m_centre - QPointF(half, half), QSizeF(2 * half, 2 * half)).contains(QRectF(area)))
        return;
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(QRectF(area).united(lit));
    outside.addEllipse(lit);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false); // a sharp edge
    p.setClipRect(area, Qt::IntersectClip);
    p.fillPath(outside, QColor(0, 0, 0, DimAlpha));
    p.restore();
}

} // namespace present
