#include "present/Spotlight.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
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
    if (!m_on) // a screen's worth of memory
        m_dim = QImage();
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

// row[first, end) = from[first, end): most runs are a few pixels, where a call
// to memcpy costs more than the copy.
inline void copyRun(const QRgb *from, QRgb *row, int first, int end)
{
    if (end - first > 32) {
        std::memcpy(row + first, from + first, size_t(end - first) * 4);
        return;
    }
    int x = first;
    for (; x + 4 <= end; x += 4) // one 16-byte move each
        std::memcpy(row + x, from + x, 16);
    for (; x < end; ++x)
        row[x] = from[x];
}

} // namespace

QRegion Spotlight::crescents(QPointF from) const
{
    const int top = int(std::floor(std::min(from.y(), m_centre.y()) - m_radius)) - 1;
    const int bottom = int(std::ceil(std::max(from.y(), m_centre.y()) + m_radius)) + 1;
    // Looked up once: the second cannot push out the first.
    const Circle before = rowsOf(from), now = rowsOf(m_centre);
    const int spare = m_spare;
    m_rects.clear();
    // A few rows at a time, each edge's changes in one rectangle: a row costs
    // more to copy than the few pixels of slack this adds. Where a row changes
    // all the way across (the caps, as the circle moves up or down), one
    // rectangle takes the group's.
    constexpr int Group = 8;
    struct Hull
    {
        int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        void take(int first, int end)
        {
            lo = std::min(lo, first);
            hi = std::max(hi, end);
        }
        bool empty() const { return lo >= hi; }
    };
    for (int y0 = top; y0 < bottom; y0 += Group) {
        const int y1 = std::min(bottom, y0 + Group);
        Hull left, right;
        bool across = false;
        for (int y = y0; y < y1; ++y) {
            const auto a = before.at(y), b = now.at(y);
            const bool aLit = a.first != a.second, bLit = b.first != b.second;
            if (aLit && bLit && a.first < b.second && b.first < a.second) {
                if (a.first != b.first || spare)
                    left.take(std::min(a.first, b.first) - spare, std::max(a.first, b.first) + spare);
                if (a.second != b.second || spare)
                    right.take(std::min(a.second, b.second) - spare, std::max(a.second, b.second) + spare);
                continue;
            }
            // Lit in one place only: all of it changes.
            for (const auto &span : {a, b}) {
                if (span.first != span.second) {
                    left.take(span.first - spare, span.second + spare);
                    across = true;
                }
            }
        }
        if (across || (!left.empty() && !right.empty() && left.hi >= right.lo)) {
            left.take(right.lo, right.hi);
            right = Hull();
        }
        for (const Hull &h : {left, right})
            if (!h.empty())
                m_rects.emplace_back(h.lo, y0, h.hi - h.lo, y1 - y0);
    }
    QRegion region;
    region.setRects(m_rects.data(), int(m_rects.size()));
    return region;
}

void Spotlight::copy(const QImage &picture, QImage &window, const QRegion &region, QPoint offset) const
{
    if (picture.depth() != 32 || window.depth() != 32)
        return;
    const Circle circle = m_on ? rowsOf(m_centre) : Circle{};
    // Rows by address: scanLine() checks for sharing at every call.
    const qsizetype inStride = picture.bytesPerLine(), outStride = window.bytesPerLine();
    const uchar *const inBits = picture.constBits();
    uchar *const outBits = window.bits();
    const uchar *const dimBits = circle.rows ? dimmed(picture).constBits() : inBits;
    // Where both images are, in the window's pixels, [x0, x1) x [y0, y1).
    const int x0 = std::max(0, offset.x()), x1 = std::min(window.width(), picture.width() + offset.x());
    const int y0 = std::max(0, offset.y()), y1 = std::min(window.height(), picture.height() + offset.y());
    for (const QRect &area : region) {
        // Worked out here rather than through QRect's calls: a move repaints
        // scores of small rectangles.
        const int left = std::max(x0, area.x() + offset.x()), end = std::min(x1, area.x() + area.width() + offset.x());
        const int top = std::max(y0, area.y() + offset.y()),
                  bottom = std::min(y1, area.y() + area.height() + offset.y());
        if (left >= end || top >= bottom)
            continue;
        const uchar *in = inBits + (top - offset.y()) * inStride;
        uchar *out = outBits + top * outStride;
        for (int y = top; y < bottom; ++y, in += inStride, out += outStride) {
            const auto *source = reinterpret_cast<const QRgb *>(in) - offset.x();
            auto *row = reinterpret_cast<QRgb *>(out);
            if (!circle.rows) {
                std::memcpy(row + left, source + left, size_t(end - left) * 4);
                continue;
            }
            // Left of the lit span, the lit span, then right of it (all of the
            // row dimmed if none is lit).
            const auto *dim = reinterpret_cast<const QRgb *>(in - inBits + dimBits) - offset.x();
            const auto span = circle.at(y - offset.y());
            const int first = std::clamp(span.first + offset.x(), left, end);
            const int last = std::clamp(span.second + offset.x(), first, end);
            // Most rows of a crescent's rectangle are dimmed or lit on one side only.
            copyRun(dim, row, left, first);
            copyRun(source, row, first, last);
            copyRun(dim, row, last, end);
        }
    }
}

const QImage &Spotlight::dimmed(const QImage &picture) const
{
    if (m_dimOf == picture.cacheKey() >> 32 && m_dim.size() == picture.size() && m_dim.format() == picture.format())
        return m_dim;
    m_dim = QImage(picture.size(), picture.format());
    m_dimOf = picture.cacheKey() >> 32;
    if (m_dim.isNull())
        return picture; // no memory for it: lit, not lost
    dimRows(picture, picture.rect());
    return m_dim;
}

void Spotlight::dimRows(const QImage &picture, const QRect &area) const
{
    const QRect r = area.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        dimRun(reinterpret_cast<const QRgb *>(picture.constScanLine(y)), reinterpret_cast<QRgb *>(m_dim.scanLine(y)),
               r.left(), r.right() + 1);
}

void Spotlight::pictureChanged(const QImage &picture, const QRect &area)
{
    if (m_dim.isNull() || m_dimOf != picture.cacheKey() >> 32 || m_dim.size() != picture.size())
        return; // made again when next needed
    if (picture.devicePixelRatio() != 1) {
        m_dim = QImage(); // a scaled page is never copied
        return;
    }
    dimRows(picture, area);
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
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false); // a sharp edge
    p.setClipRect(area, Qt::IntersectClip);
    if (m_spare == 0) {
        // One device pixel to a view pixel: the same spans as a move's change.
        paintSpans(p, area, rowsOf(m_centre));
    } else {
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(QRectF(area).united(lit));
        outside.addEllipse(lit);
        p.fillPath(outside, QColor(0, 0, 0, DimAlpha));
    }
    p.restore();
}

void Spotlight::paintSpans(QPainter &p, const QRect &area, const Circle &circle)
{
    const QColor dim(0, 0, 0, DimAlpha);
    const int left = area.left(), end = area.right() + 1;
    int unlitFrom = area.top(); // rows wholly dimmed, painted as one
    for (int y = area.top(); y <= area.bottom() + 1; ++y) {
        const auto span = y <= area.bottom() ? circle.at(y) : std::pair<int, int>{0, 0};
        const int first = std::clamp(span.first, left, end), last = std::clamp(span.second, first, end);
        if (y <= area.bottom() && first == last)
            continue;
        if (y > unlitFrom)
            p.fillRect(QRect(left, unlitFrom, end - left, y - unlitFrom), dim);
        unlitFrom = y + 1;
        if (y > area.bottom())
            break;
        if (first > left)
            p.fillRect(QRect(left, y, first - left, 1), dim);
        if (end > last)
            p.fillRect(QRect(last, y, end - last, 1), dim);
    }
}

} // namespace present
