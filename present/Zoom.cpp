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
    // Whole steps from 1x land exactly on 2x and 4x, and back on 1x.
    const int level = int(std::lround(std::log2(m_factor) * StepsPerDoubling)) + steps;
    zoomAt(anchor, std::exp2(double(level) / StepsPerDoubling));
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

int WheelSteps::add(QPoint angleDelta, QPoint pixelDelta)
{
    const int units = pixelDelta.y() != 0 ? pixelDelta.y() * EighthsPerStep : angleDelta.y() * PixelsPerStep;
    if ((units > 0 && m_rest < 0) || (units < 0 && m_rest > 0))
        m_rest = 0; // turned back: what was left of the other way is dropped
    m_rest += units;
    const int per = EighthsPerStep * PixelsPerStep;
    const int steps = m_rest / per;
    m_rest -= steps * per;
    return steps;
}

} // namespace present
