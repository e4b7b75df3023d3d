#include "present/Zoom.h"

#include <algorithm>
#include <cmath>

namespace present {

void Zoom::setView(QSizeF view)
{
    m_view = view;
    keepInside();
}

void Zoom::zoomAt(QPointF anchor, qreal factor)
{
    const QPointF under = toPicture(anchor);
    m_factor = std::clamp(factor, Min, Max);
    m_offset = under - anchor / m_factor;
    keepInside();
}

void Zoom::stepAt(QPointF anchor, int steps)
{
    qreal factor = m_factor * std::pow(Step, steps);
    // Whole steps from 1x land on 1x again, not a hair beside it.
    if (std::fabs(factor - 1) < 1e-6)
        factor = 1;
    zoomAt(anchor, factor);
}

void Zoom::reset()
{
    m_factor = 1;
    m_offset = QPointF();
}

void Zoom::keepInside()
{
    const QSizeF room = m_view - m_view / m_factor;
    m_offset.setX(std::clamp(m_offset.x(), 0.0, std::max(0.0, room.width())));
    m_offset.setY(std::clamp(m_offset.y(), 0.0, std::max(0.0, room.height())));
}

} // namespace present
