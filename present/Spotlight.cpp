#include "present/Spotlight.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
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
    // The one used last is kept: a move asks for the circle before, then the
    // circle now, and the second must not push out the first.
    for (int i = 0; i < 2; ++i) {
        const Rows &rows = m_rows[i];
        if (rows.centre.x() == centre.x() && rows.centre.y() == centre.y() && rows.radius == m_radius) {
            m_older = 1 - i;
            return rows;
        }
    }
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

std::pair<int, int> Spotlight::Rows::at(int y) const
{
    const int i = y - top;
    return i >= 0 && i < int(spans.size()) ? spans[size_t(i)] : std::pair<int, int>(0, 0);
}

namespace {

// The changes of one row, [first, end), left to right: none, one or two.
struct RowChanges
{
    int count = 0;
    std::pair<int, int> runs[2];
    void add(int first, int end)
    {
        if (count > 0 && first <= runs[count - 1].second)
            runs[count - 1].second = std::max(runs[count - 1].second, end);
        else
            runs[count++] = {first, end};
    }
};

RowChanges changes(std::pair<int, int> a, std::pair<int, int> b)
{
    RowChanges row;
    const bool aEmpty = a.first == a.second, bEmpty = b.first == b.second;
    if (aEmpty || bEmpty || a.second <= b.first || b.second <= a.first) {
        // Lit in one place only: all of it changes.
        if (b.first < a.first)
            std::swap(a, b);
        for (const auto &span : {a, b})
            if (span.first != span.second)
                row.add(span.first, span.second + 1);
        return row;
    }
    // A pixel to spare on either side of each edge's move.
    row.add(std::min(a.first, b.first) - 1, std::max(a.first, b.first) + 1);
    row.add(std::min(a.second, b.second) - 1, std::max(a.second, b.second) + 1);
    return row;
}

// Rows gathered into rectangles while the rectangles stay close to the runs
// they cover: tall ones down the circle's sides, thin ones across its top and
// bottom where the edge runs flat.
class Bands
{
public:
    void add(int y, const RowChanges &row)
    {
        if (row.count != m_band.count || !fits(row))
            flush();
        if (row.count == 0)
            return;
        if (m_rows == 0) {
            m_top = y;
            m_band = row;
        }
        for (int i = 0; i < row.count; ++i) {
            m_band.runs[i].first = std::min(m_band.runs[i].first, row.runs[i].first);
            m_band.runs[i].second = std::max(m_band.runs[i].second, row.runs[i].second);
            m_exact += row.runs[i].second - row.runs[i].first;
        }
        ++m_rows;
    }
    QRegion region()
    {
        flush();
        QRegion region;
        region.setRects(m_rects.data(), int(m_rects.size()));
        return region;
    }

private:
    bool fits(const RowChanges &row) const
    {
        qint64 hull = 0, exact = m_exact;
        for (int i = 0; i < row.count; ++i) {
            const int first = std::min(m_band.runs[i].first, row.runs[i].first);
            const int end = std::max(m_band.runs[i].second, row.runs[i].second);
            hull += qint64(end - first) * (m_rows + 1);
            exact += row.runs[i].second - row.runs[i].first;
        }
        return hull <= exact + exact / 4 + 64;
    }
    void flush()
    {
        for (int i = 0; i < m_band.count && m_rows > 0; ++i)
            m_rects.emplace_back(m_band.runs[i].first, m_top, m_band.runs[i].second - m_band.runs[i].first, m_rows);
        m_band = {};
        m_rows = 0;
        m_exact = 0;
    }

    std::vector<QRect> m_rects;
    RowChanges m_band;
    int m_top = 0, m_rows = 0;
    qint64 m_exact = 0;
};

} // namespace

QRegion Spotlight::crescents(QPointF from) const
{
    const int top = int(std::floor(std::min(from.y(), m_centre.y()) - m_radius)) - 1;
    const int bottom = int(std::ceil(std::max(from.y(), m_centre.y()) + m_radius)) + 1;
    // Looked up once: the second cannot push out the first.
    const Rows &before = rowsOf(from), &now = rowsOf(m_centre);
    Bands bands;
    for (int y = top; y < bottom; ++y)
        bands.add(y, changes(before.at(y), now.at(y)));
    return bands.region();
}

void Spotlight::dim(QImage &window, const QRect &area, QPoint offset) const
{
    if (!m_on || window.depth() != 32)
        return;
    const QRect target = area.translated(offset).intersected(window.rect());
    if (target.isEmpty())
        return;
    const Rows &rows = rowsOf(m_centre);
    // Rows by address: scanLine() checks for sharing at every call.
    uchar *const bits = window.bits();
    const qsizetype stride = window.bytesPerLine();
    const int left = target.left(), end = target.right() + 1;
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride);
        const auto span = rows.at(y - offset.y());
        // Left of the lit span, then right of it (all of the row if none is lit).
        dimRun(row, left, std::clamp(span.first + offset.x(), left, end));
        dimRun(row, std::clamp(span.second + offset.x(), left, end), end);
    }
}

void Spotlight::dimRun(QRgb *row, int first, int end)
{
    // Each channel times 102/255, two pixels' colour channels at a time in
    // 16-bit lanes; alpha is kept.
    constexpr quint64 keep = 255 - DimAlpha, lanes = 0x00FF00FF00FF00FFull, half = 0x0080008000800080ull;
    constexpr quint64 alpha = 0xFF000000FF000000ull;
    int x = first;
    for (; x + 1 < end; x += 2) {
        quint64 p;
        std::memcpy(&p, row + x, sizeof p);
        const quint64 rb = ((((p & lanes) * keep + half) >> 8) & lanes);
        const quint64 ag = (((((p >> 8) & lanes) * keep + half) >> 8) & lanes) << 8;
        const quint64 out = (p & alpha) | ((rb | ag) & ~alpha);
        std::memcpy(row + x, &out, sizeof out);
    }
    for (; x < end; ++x) {
        const quint32 p = row[x];
        const quint32 rb = (((p & 0xFF00FF) * keep + 0x800080) >> 8) & 0xFF00FF;
        const quint32 g = (((p & 0xFF00) * keep + 0x8000) >> 8) & 0xFF00;
        row[x] = (p & 0xFF000000) | rb | g;
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
