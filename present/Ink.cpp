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

int Piece::coverage(QPointF p) const
{
    const QPointF ab = b - a;
    const qreal len2 = ab.x() * ab.x() + ab.y() * ab.y();
    qreal t = len2 > 0 ? ((p.x() - a.x()) * ab.x() + (p.y() - a.y()) * ab.y()) / len2 : 0;
    t = std::clamp(t, qreal(0), qreal(1));
    const QPointF d = p - (a + t * ab);
    const qreal c = ra + t * (rb - ra) + 0.5 - std::sqrt(d.x() * d.x() + d.y() * d.y());
    return c <= 0 ? 0 : c >= 1 ? 255 : int(c * 255 + 0.5);
}

bool Ink::begin(const QImage &layer, Look look, QRgb color)
{
    end();
    if (m_cover.size() != layer.size()) {
        m_before = QImage(layer.size(), QImage::Format_RGB32);
        m_cover = QImage(layer.size(), QImage::Format_Grayscale8);
        if (m_before.isNull() || m_cover.isNull()) {
            m_before = m_cover = QImage();
            return false;
        }
        m_tilesX = (layer.width() + Tile - 1) / Tile;
        m_tileMark.assign(size_t(m_tilesX) * size_t((layer.height() + Tile - 1) / Tile), 0);
    }
    m_layer = &layer;
    m_look = look;
    m_color = color;
    m_hasTail = false;
    ++m_generation;
    return true;
}

void Ink::end()
{
    m_layer = nullptr;
    m_hasTail = false;
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
                std::memcpy(m_before.scanLine(y) + tile.left() * 4, m_layer->constScanLine(y) + tile.left() * 4,
                            size_t(tile.width()) * 4);
                std::memset(m_cover.scanLine(y) + tile.left(), 0, size_t(tile.width()));
            }
        }
    }
}

QRect Ink::add(const Piece &piece)
{
    const QRect r = inside(piece.bounds());
    if (r.isEmpty() || !m_layer)
        return {};
    prepare(r);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        uchar *row = m_cover.scanLine(y);
        for (int x = r.left(); x <= r.right(); ++x) {
            const int c = piece.coverage(QPointF(x + 0.5, y + 0.5));
            if (c > row[x])
                row[x] = uchar(c);
        }
    }
    return r;
}

void Ink::clear(const QRect &rect)
{
    const QRect r = inside(rect);
    if (r.isEmpty() || !m_layer)
        return;
    prepare(r);
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memset(m_cover.scanLine(y) + r.left(), 0, size_t(r.width()));
}

void Ink::setTail(const Piece *tail)
{
    m_hasTail = tail != nullptr;
    if (tail)
        m_tail = *tail;
}

void Ink::compose(QImage &layer, const QRect &rect)
{
    const QRect r = inside(rect).intersected(layer.rect());
    if (r.isEmpty() || !m_layer)
        return;
    prepare(r);
    const QRect tail = m_hasTail ? m_tail.bounds() : QRect();
    const int cr = qRed(m_color), cg = qGreen(m_color), cb = qBlue(m_color);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar *cover = m_cover.constScanLine(y);
        const auto *before = reinterpret_cast<const QRgb *>(m_before.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(layer.scanLine(y));
        const bool tailRow = y >= tail.top() && y <= tail.bottom();
        for (int x = r.left(); x <= r.right(); ++x) {
            int a = cover[x];
            if (tailRow && x >= tail.left() && x <= tail.right())
                a = std::max(a, m_tail.coverage(QPointF(x + 0.5, y + 0.5)));
            const QRgb b = before[x];
            if (a == 0) {
                out[x] = b;
                continue;
            }
            if (m_look == Look::Pen) {
                auto mix = [a](int from, int to) { return (from * (255 - a) + to * a + 127) / 255; };
                out[x] = qRgb(mix(qRed(b), cr), mix(qGreen(b), cg), mix(qBlue(b), cb));
            } else {
                // Multiplied, so that dark writing beneath stays as dark as it was.
                const int h = (a + 1) / 2;
                auto mul = [h](int from, int c) { return from * (65025 - (255 - c) * h) / 65025; };
                out[x] = qRgb(mul(qRed(b), cr), mul(qGreen(b), cg), mul(qBlue(b), cb));
            }
        }
    }
}

} // namespace present
