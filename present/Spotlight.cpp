#include "present/Spotlight.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
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

Spotlight::Circle Spotlight::rowsOf(QPointF centre) const
{
    // A circle is the same set of spans moved by whole pixels wherever its
    // centre lies in a pixel: only the fraction is worked out, with one sqrt a
    // row. The one used last is kept: a move asks for the circle before, then
    // the circle now, and the second must not push out the first.
    const qreal x = std::floor(centre.x()), y = std::floor(centre.y());
    const QPointF within = centre - QPointF(x, y);
    const Circle circle{nullptr, int(x), int(y)};
    for (int i = 0; i < 2; ++i) {
        const Rows &rows = m_rows[i];
        if (rows.within.x() == within.x() && rows.within.y() == within.y() && rows.radius == m_radius) {
            m_older = 1 - i;
            return {&rows, circle.x, circle.y};
        }
    }
    Rows &rows = m_rows[size_t(m_older)];
    m_older = 1 - m_older;
    rows.within = within;
    rows.radius = m_radius;
    rows.top = int(std::floor(within.y() - m_radius)) - 1;
    const int bottom = int(std::ceil(within.y() + m_radius)) + 1;
    rows.spans.clear();
    for (int row = rows.top; row <= bottom; ++row) {
        const qreal dy = row + 0.5 - within.y();
        if (std::abs(dy) >= m_radius) {
            rows.spans.emplace_back(0, 0);
            continue;
        }
        const qreal half = std::sqrt(m_radius * m_radius - dy * dy);
        // Pixels whose centres lie inside.
        const int first = int(std::floor(within.x() - half + 0.5)), end = int(std::ceil(within.x() + half - 0.5));
        rows.spans.emplace_back(first, std::max(first, end));
    }
    return {&rows, circle.x, circle.y};
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
    const Circle before = rowsOf(from), now = rowsOf(m_centre);
    Bands bands;
    for (int y = top; y < bottom; ++y)
        bands.add(y, changes(before.at(y), now.at(y)));
    return bands.region();
}

void Spotlight::copy(const QImage &picture, QImage &window, const QRect &area, QPoint offset) const
{
    const QRect from = area.intersected(picture.rect());
    const QRect to = from.translated(offset).intersected(window.rect());
    if (to.isEmpty() || picture.depth() != 32 || window.depth() != 32)
        return;
    const Circle circle = m_on ? rowsOf(m_centre) : Circle{};
    // Rows by address: scanLine() checks for sharing at every call.
    const qsizetype inStride = picture.bytesPerLine(), outStride = window.bytesPerLine();
    const uchar *in = picture.constBits() + (to.top() - offset.y()) * inStride;
    uchar *out = window.bits() + to.top() * outStride;
    const int left = to.left(), end = to.right() + 1;
    for (int y = to.top(); y <= to.bottom(); ++y, in += inStride, out += outStride) {
        const auto *source = reinterpret_cast<const QRgb *>(in) - offset.x();
        auto *row = reinterpret_cast<QRgb *>(out);
        if (!circle.rows) {
            std::memcpy(row + left, source + left, size_t(end - left) * 4);
            continue;
        }
        // Left of the lit span, the lit span, then right of it (all of the
        // row dimmed if none is lit).
        const auto span = circle.at(y - offset.y());
        const int first = std::clamp(span.first + offset.x(), left, end);
        const int last = std::clamp(span.second + offset.x(), first, end);
        // Most rows of a crescent's rectangle are dimmed or lit on one side only.
        if (first > left)
            dimRun(source, row, left, first);
        if (last > first)
            std::memcpy(row + first, source + first, size_t(last - first) * 4);
        if (end > last)
            dimRun(source, row, last, end);
    }
}

void Spotlight::dimRun(const QRgb *from, QRgb *row, int first, int end)
{
    // Each channel times 102/255, two pixels' colour channels at a time in
    // 16-bit lanes; alpha is kept.
    constexpr quint64 keep = 255 - DimAlpha, lanes = 0x00FF00FF00FF00FFull, half = 0x0080008000800080ull;
    constexpr quint64 alpha = 0xFF000000FF000000ull;
    int x = first;
#ifdef __SSE2__
    // Four pixels at a time where the processor has it: the same sums.
    const __m128i zero = _mm_setzero_si128(), keep16 = _mm_set1_epi16(short(keep)), half16 = _mm_set1_epi16(0x80);
    const __m128i alpha4 = _mm_set1_epi32(int(0xFF000000));
    for (; x + 3 < end; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + x));
        const __m128i lo =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(p, zero), keep16), half16), 8);
        const __m128i hi =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(p, zero), keep16), half16), 8);
        const __m128i out = _mm_or_si128(_mm_and_si128(p, alpha4), _mm_andnot_si128(alpha4, _mm_packus_epi16(lo, hi)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + x), out);
    }
#endif
    for (; x + 1 < end; x += 2) {
        quint64 p;
        std::memcpy(&p, from + x, sizeof p);
        const quint64 rb = ((((p & lanes) * keep + half) >> 8) & lanes);
        const quint64 ag = (((((p >> 8) & lanes) * keep + half) >> 8) & lanes) << 8;
        const quint64 out = (p & alpha) | ((rb | ag) & ~alpha);
        std::memcpy(row + x, &out, sizeof out);
    }
    for (; x < end; ++x) {
        const quint32 p = from[x];
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
