#include "present/Spotlight.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

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
    // Only what was lit and is dimmed now, or the other way round.
    const QPointF from = m_centre;
    m_centre = at;
    return crescents(from);
}

const Spotlight::Rows &Spotlight::rowsOf(QPointF centre) const
{
    for (const Rows &rows : m_rows)
        if (rows.centre == centre && rows.radius == m_radius)
            return rows;
    Rows &rows = m_rows[size_t(m_older)];
    m_older = 1 - m_older;
    rows.centre = centre;
    rows.radius = m_radius;
    rows.top = int(std::floor(centre.y() - m_radius)) - 1;
    const int bottom = int(std::ceil(centre.y() + m_radius)) + 1;
    rows.spans.clear();
    for (int y = rows.top; y <= bottom; ++y) {
        const qreal dy = y + 0.5 - centre.y();
        if (std::abs(dy) >= m_radius) {
            rows.spans.emplace_back(0, 0);
            continue;
        }
        const qreal half = std::sqrt(m_radius * m_radius - dy * dy);
        // Pixels whose centres lie inside.
        const int first = int(std::floor(centre.x() - half + 0.5)), end = int(std::ceil(centre.x() + half - 0.5));
        rows.spans.emplace_back(first, std::max(first, end));
    }
    return rows;
}

std::pair<int, int> Spotlight::lit(QPointF centre, int y) const
{
    const Rows &rows = rowsOf(centre);
    const int i = y - rows.top;
    return i >= 0 && i < int(rows.spans.size()) ? rows.spans[size_t(i)] : std::pair<int, int>(0, 0);
}

QRegion Spotlight::crescents(QPointF from) const
{
    constexpr int Band = 8;
    const int top = int(std::floor(std::min(from.y(), m_centre.y()) - m_radius)) - 1;
    const int bottom = int(std::ceil(std::max(from.y(), m_centre.y()) + m_radius)) + 1;
    std::vector<QRect> rects;
    for (int y0 = top; y0 < bottom; y0 += Band) {
        const int y1 = std::min(bottom, y0 + Band);
        QRect left, right; // the hulls of each row's changes on either side
        for (int y = y0; y < y1; ++y) {
            const auto a = lit(from, y), b = lit(m_centre, y);
            const bool aEmpty = a.first == a.second, bEmpty = b.first == b.second;
            if (aEmpty && bEmpty)
                continue;
            if (aEmpty || bEmpty || a.second <= b.first || b.second <= a.first) {
                // Lit in one place only: all of it changes.
                for (const auto &span : {a, b})
                    if (span.first != span.second)
                        left |= QRect(QPoint(span.first, y0), QPoint(span.second, y1 - 1));
                continue;
            }
            left |= QRect(QPoint(std::min(a.first, b.first) - 1, y0), QPoint(std::max(a.first, b.first), y1 - 1));
            right |= QRect(QPoint(std::min(a.second, b.second) - 1, y0), QPoint(std::max(a.second, b.second), y1 - 1));
        }
        if (!left.isEmpty() && !right.isEmpty() && right.left() < left.left())
            std::swap(left, right);
        if (!left.isEmpty() && !right.isEmpty() && left.right() + 1 >= right.left()) {
            left |= right;
            right = QRect();
        }
        for (const QRect &r : {left, right})
            if (!r.isEmpty())
                rects.push_back(r);
    }
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

void Spotlight::dim(QImage &window, const QRect &area, QPoint offset) const
{
    if (!m_on || window.depth() != 32)
        return;
    const QRect target = area.translated(offset).intersected(window.rect());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(window.scanLine(y));
        auto span = lit(m_centre, y - offset.y());
        span.first += offset.x(), span.second += offset.x();
        for (int x = target.left(); x <= target.right(); ++x) {
            if (x >= span.first && x < span.second) {
                x = span.second - 1;
                continue;
            }
            // Each channel times 102/255, two channels at a time.
            const quint32 p = row[x];
            constexpr quint32 keep = 255 - DimAlpha;
            const quint32 rb = (((p & 0xFF00FF) * keep + 0x800080) >> 8) & 0xFF00FF;
            const quint32 g = (((p & 0xFF00) * keep + 0x8000) >> 8) & 0xFF00;
            row[x] = (p & 0xFF000000) | rb | g;
        }
    }
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
