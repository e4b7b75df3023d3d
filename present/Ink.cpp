#include "present/Ink.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace present {

QRect Piece::bounds() const
{
    const qreal r = std::max(ra, rb) + 1;
    return QRect(QPoint(int(std::floor(std::min(a.x(), b.x()) - r)), int(std::floor(std::min(a.y(), b.y()) - r))),
                 QPoint(int(std::ceil(std::max(a.x(), b.x()) + r)), int(std::ceil(std::max(a.y(), b.y()) + r))));
}

namespace {

// A channel under the highlighter at strength h (0 to 128, half the coverage).
// On a light page the colour multiplies, so dark writing stays as dark as it
// was; on a dark one it screens, so the mark shows and light writing stays
// light.
int highlight(Ink::Look look, int from, int c, int h)
{
    if (look == Ink::Look::HighlighterOnDark)
        return from + (255 - from) * c * h / 65025;
    return from * (65025 - (255 - c) * h) / 65025;
}

} // namespace

bool Ink::begin(const QImage &layer, Look look, QRgb color)
{
    end();
    if (m_cover.size() != layer.size() || m_before.format() != layer.format()) {
        m_before = QImage(layer.size(), layer.format());
        m_cover = QImage(layer.size(), QImage::Format_Grayscale8);
        if (m_before.isNull() || m_cover.isNull()) {
            m_before = m_cover = QImage();
            return false;
        }
        m_tilesX = (layer.width() + Tile - 1) / Tile;
        m_tileMark.assign(size_t(m_tilesX) * size_t((layer.height() + Tile - 1) / Tile), 0);
    }
    // Rows by address: QImage::scanLine() checks for sharing at every call.
    m_coverBits = m_cover.bits();
    m_beforeBits = m_before.bits();
    m_coverStride = m_cover.bytesPerLine();
    m_beforeStride = m_before.bytesPerLine();
    m_layer = &layer;
    m_look = look;
    m_color = color;
    keepTail();
    for (int i = 0; i < 3; ++i) {
        const int c = i == 0 ? qRed(color) : i == 1 ? qGreen(color) : qBlue(color);
        for (int from = 0; from < 256; ++from)
            m_fullHighlight[size_t(i)][size_t(from)] = uchar(highlight(look, from, c, 128));
    }
    ++m_generation;
    return true;
}

void Ink::end()
{
    m_layer = nullptr;
    keepTail();
}

void Ink::prepare(const QRect &rect)
{
    const QRect r = inside(rect);
    if (r.isEmpty() || !m_layer)
        return;
    for (int ty = r.top() / Tile; ty <= r.bottom() / Tile; ++ty) {
        for (int tx = r.left() / Tile; tx <= r.right() / Tile; ++tx) {
            quint32 &mark = m_tileMark[size_t(ty) * size_t(m_tilesX) + size_t(tx)];
            if (mark == m_generation)
                continue;
            mark = m_generation;
            const QRect tile = QRect(tx * Tile, ty * Tile, Tile, Tile).intersected(m_cover.rect());
            for (int y = tile.top(); y <= tile.bottom(); ++y) {
                std::memcpy(beforeRow(y) + tile.left() * 4, m_layer->constScanLine(y) + tile.left() * 4,
                            size_t(tile.width()) * 4);
                std::memset(coverRow(y) + tile.left(), 0, size_t(tile.width()));
            }
        }
    }
}

namespace {

// Where a row (its pixel centres at height y) meets every point within `radius`
// of the segment from a to b: an interval, since that shape is convex.
struct Span
{
    float lo = 0, hi = 0;
    bool empty = true;
    void take(float l, float h)
    {
        if (l > h)
            return;
        lo = empty ? l : std::min(lo, l);
        hi = empty ? h : std::max(hi, h);
        empty = false;
    }
};

// The spans of the rows a piece crosses, with what every row needs worked out
// once for the piece.
class Spans
{
public:
    Spans(float ax, float ay, float bx, float by) : m_ax(ax), m_ay(ay), m_bx(bx), m_by(by)
    {
        const float ux = bx - ax, uy = by - ay;
        m_len = std::sqrt(ux * ux + uy * uy);
        if (m_len > 0) {
            m_nx = -uy / m_len;
            m_ny = ux / m_len;
            m_tx = ux / m_len;
            m_ty = uy / m_len;
            m_inx = std::abs(m_nx) < 1e-6f ? 0 : 1 / m_nx;
            m_itx = std::abs(m_tx) < 1e-6f ? 0 : 1 / m_tx;
        }
    }

    // The row at height y against every point within `radius` of the piece.
    Span at(float y, float radius) const
    {
        Span s;
        if (radius <= 0)
            return s;
        disc(s, y - m_ay, m_ax, radius);
        disc(s, y - m_by, m_bx, radius);
        if (m_len <= 0)
            return s;
        // The band beside the segment: within `radius` of its line, between its
        // ends. It joins the two discs, so the union stays one interval.
        float lo = -1e30f, hi = 1e30f;
        const float dy = y - m_ay;
        if (!limit(m_inx, m_ny * dy, -radius, radius, lo, hi) || !limit(m_itx, m_ty * dy, 0, m_len, lo, hi))
            return s;
        s.take(lo, hi);
        return s;
    }

private:
    static void disc(Span &s, float dy, float cx, float radius)
    {
        if (std::abs(dy) <= radius) {
            const float h = std::sqrt(radius * radius - dy * dy);
            s.take(cx - h, cx + h);
        }
    }
    // Narrows [lo, hi] to the x where from <= (x - ax) / inverse + c <= to; an
    // inverse of 0 stands for a direction along which x does not count.
    bool limit(float inverse, float c, float from, float to, float &lo, float &hi) const
    {
        if (inverse == 0)
            return c >= from && c <= to;
        float l = (from - c) * inverse, h = (to - c) * inverse;
        if (l > h)
            std::swap(l, h);
        lo = std::max(lo, m_ax + l);
        hi = std::min(hi, m_ax + h);
        return lo <= hi;
    }

    float m_ax, m_ay, m_bx, m_by;
    float m_len = 0, m_nx = 0, m_ny = 0, m_tx = 0, m_ty = 0, m_inx = 0, m_itx = 0;
};

} // namespace

QRect Ink::add(const Piece &piece)
{
    const QRect r = inside(piece.bounds());
    if (r.isEmpty() || !m_layer)
        return {};
    prepare(r);
    if (piece.ra == piece.rb && (piece.a.x() == piece.b.x() || piece.a.y() == piece.b.y())) {
        addStraight(piece, r);
        return r;
    }
    const float ax = float(piece.a.x()), ay = float(piece.a.y()), bx = float(piece.b.x()), by = float(piece.b.y());
    const float inner = float(std::min(piece.ra, piece.rb)) - 0.5f;
    const float outer = float(std::max(piece.ra, piece.rb)) + 0.5f;
    const Spans spans(ax, ay, bx, by);
    const float abx = bx - ax, aby = by - ay, len2 = abx * abx + aby * aby;
    const float inv = len2 > 0 ? 1 / len2 : 0, ra = float(piece.ra), dr = float(piece.rb - piece.ra);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const float yc = y + 0.5f;
        const Span out = spans.at(yc, outer);
        if (out.empty)
            continue;
        uchar *row = coverRow(y);
        // Pixels whose centres lie inside the span.
        const int x0 = std::max(r.left(), int(std::ceil(out.lo - 0.5f)));
        const int x1 = std::min(r.right(), int(std::floor(out.hi - 0.5f)));
        // Wholly covered inside, by every radius the piece has: no arithmetic there.
        const Span in = spans.at(yc, inner);
        int i0 = x1 + 1, i1 = x1;
        if (!in.empty) {
            i0 = std::max(x0, int(std::ceil(in.lo - 0.5f)));
            i1 = std::min(x1, int(std::floor(in.hi - 0.5f)));
            if (i0 <= i1)
                std::memset(row + i0, 255, size_t(i1 - i0 + 1));
            else
                i0 = x1 + 1, i1 = x1;
        }
        const float dy = yc - ay;
        for (int x = x0; x <= x1; ++x) {
            if (x == i0) {
                x = i1;
                continue;
            }
            // How much of the pixel lies within the radius: its centre's distance
            // from the segment against the radius there, over one pixel of edge.
            const float dx = x + 0.5f - ax;
            const float t = std::clamp((dx * abx + dy * aby) * inv, 0.f, 1.f);
            const float ex = dx - t * abx, ey = dy - t * aby;
            const float c = ra + t * dr + 0.5f - std::sqrt(ex * ex + ey * ey);
            const int v = c <= 0 ? 0 : c >= 1 ? 255 : int(c * 255 + 0.5f);
            if (v > row[x])
                row[x] = uchar(v);
        }
    }
    return r;
}

void Ink::addStraight(const Piece &piece, const QRect &r)
{
    // A level or upright piece of one width (the sides of rectangles): along it,
    // the coverage depends on the distance across alone, worked out once.
    const bool level = piece.a.y() == piece.b.y();
    const float radius = float(piece.ra);
    auto value = [radius](float d) {
        const float c = radius + 0.5f - d;
        return c <= 0 ? 0 : c >= 1 ? 255 : int(c * 255 + 0.5f);
    };
    const float ax = float(piece.a.x()), ay = float(piece.a.y()), bx = float(piece.b.x()), by = float(piece.b.y());
    const float s0 = level ? std::min(ax, bx) : std::min(ay, by), s1 = level ? std::max(ax, bx) : std::max(ay, by);
    const float across = level ? ay : ax;
    // Beyond its ends, the round caps: distance to the nearer end.
    auto cap = [&](float x, float y) {
        const float ex = level ? x - std::clamp(x, s0, s1) : x - across;
        const float ey = level ? y - across : y - std::clamp(y, s0, s1);
        return value(std::sqrt(ex * ex + ey * ey));
    };
    std::array<uchar, 64> column{}; // across an upright piece, by distance from its left edge
    const bool patterned = !level && r.width() <= int(column.size());
    if (patterned)
        for (int x = r.left(); x <= r.right(); ++x)
            column[size_t(x - r.left())] = uchar(value(std::abs(x + 0.5f - across)));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        uchar *row = coverRow(y);
        const float yc = y + 0.5f;
        if (level) {
            const uchar v = uchar(value(std::abs(yc - across)));
            // Pixel centres within the piece's length.
            const int x0 = std::max(r.left(), int(std::ceil(s0 - 0.5f)));
            const int x1 = std::min(r.right(), int(std::floor(s1 - 0.5f)));
            for (int x = r.left(); x < std::min(x0, r.right() + 1); ++x)
                row[x] = std::max(row[x], uchar(cap(x + 0.5f, yc)));
            if (v > 0)
                for (int x = x0; x <= x1; ++x)
                    row[x] = std::max(row[x], v);
            for (int x = std::max(x1 + 1, r.left()); x <= r.right(); ++x)
                row[x] = std::max(row[x], uchar(cap(x + 0.5f, yc)));
        } else if (patterned && yc >= s0 && yc <= s1) {
            for (int x = r.left(); x <= r.right(); ++x)
                row[x] = std::max(row[x], column[size_t(x - r.left())]);
        } else {
            for (int x = r.left(); x <= r.right(); ++x)
                row[x] = std::max(row[x], uchar(cap(x + 0.5f, yc)));
        }
    }
}

void Ink::clear(const QRect &rect)
{
    const QRect r = inside(rect);
    if (r.isEmpty() || !m_layer)
        return;
    prepare(r);
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memset(coverRow(y) + r.left(), 0, size_t(r.width()));
}

QRect Ink::setTail(const std::vector<Piece> &tail)
{
    QRect shown;
    // The coverage beneath the old tail comes back, last piece first.
    size_t end = m_underTail.size();
    for (auto it = m_tailAreas.rbegin(); it != m_tailAreas.rend(); ++it) {
        const QRect &r = *it;
        end -= size_t(r.width()) * size_t(r.height());
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(coverRow(y) + r.left(), m_underTail.data() + end + size_t(y - r.top()) * size_t(r.width()),
                        size_t(r.width()));
        shown |= r;
    }
    m_tailAreas.clear();
    m_underTail.clear();
    if (!m_layer)
        return shown;
    for (const Piece &piece : tail) {
        const QRect r = inside(piece.bounds());
        if (r.isEmpty())
            continue;
        prepare(r);
        const size_t at = m_underTail.size();
        m_underTail.resize(at + size_t(r.width()) * size_t(r.height()));
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(m_underTail.data() + at + size_t(y - r.top()) * size_t(r.width()), coverRow(y) + r.left(),
                        size_t(r.width()));
        m_tailAreas.push_back(r);
        add(piece);
        shown |= r;
    }
    return shown;
}

template <typename Full, typename Blend>
void Ink::composeRows(QImage &layer, const QRect &r, Full full, Blend blend) const
{
    uchar *const layerBits = layer.bits();
    const qsizetype layerStride = layer.bytesPerLine();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar *cover = coverRow(y);
        const auto *before = reinterpret_cast<const QRgb *>(beforeRow(y));
        auto *out = reinterpret_cast<QRgb *>(layerBits + y * layerStride);
        auto one = [&](int x) {
            const int a = cover[x];
            out[x] = a == 0 ? before[x] : a == 255 ? full(before[x]) : blend(before[x], a);
        };
        int x = r.left();
        // Eight at a time: most of what a mark shows again is wholly covered or
        // not at all (a side's old place, the middle of a thick line).
        for (; x + 7 <= r.right(); x += 8) {
            quint64 eight;
            std::memcpy(&eight, cover + x, sizeof eight);
            if (eight == 0) {
                std::memcpy(out + x, before + x, 8 * sizeof(QRgb));
            } else if (eight == ~quint64(0)) {
                for (int i = x; i < x + 8; ++i)
                    out[i] = full(before[i]);
            } else {
                for (int i = x; i < x + 8; ++i)
                    one(i);
            }
        }
        for (; x <= r.right(); ++x)
            one(x);
    }
}

void Ink::compose(QImage &layer, const QRect &rect)
{
    const QRect r = inside(rect).intersected(layer.rect());
    if (r.isEmpty() || !m_layer)
        return;
    prepare(r);
    const int cr = qRed(m_color), cg = qGreen(m_color), cb = qBlue(m_color);
    auto mix = [](int from, int to, int a) { return (from * (255 - a) + to * a + 127) / 255; };
    if (m_layer->hasAlphaChannel() || m_look == Look::Veil) {
        // Premultiplied, so the colour goes over what was there, alpha and all:
        // a see-through page keeps the ink's coverage as its alpha.
        const int most = m_look == Look::Veil ? 128 : 255;
        auto over = [=](QRgb b, int a) {
            return qRgba(mix(qRed(b), cr, a), mix(qGreen(b), cg, a), mix(qBlue(b), cb, a), mix(qAlpha(b), 255, a));
        };
        composeRows(
            layer, r, [=](QRgb b) { return over(b, most); }, [=](QRgb b, int a) { return over(b, a * most / 255); });
    } else if (m_look == Look::Pen) {
        const QRgb solid = qRgb(cr, cg, cb);
        composeRows(
            layer, r, [solid](QRgb) { return solid; },
            [=](QRgb b, int a) { return qRgb(mix(qRed(b), cr, a), mix(qGreen(b), cg, a), mix(qBlue(b), cb, a)); });
    } else {
        const auto &t = m_fullHighlight;
        const Look look = m_look;
        composeRows(
            layer, r,
            [&t](QRgb b) { return qRgb(t[0][size_t(qRed(b))], t[1][size_t(qGreen(b))], t[2][size_t(qBlue(b))]); },
            [=](QRgb b, int a) {
                const int h = (a + 1) / 2;
                return qRgb(highlight(look, qRed(b), cr, h), highlight(look, qGreen(b), cg, h),
                            highlight(look, qBlue(b), cb, h));
            });
    }
}

} // namespace present
