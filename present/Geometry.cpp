#include "present/Geometry.h"

#include <algorithm>
#include <cmath>

namespace present {

namespace {

// Radians between an arrow's shaft and each side of its head.
constexpr qreal HeadAngle = 0.45;

// Straight sides come in pieces of this length from their fixed end, so that a
// side that only grows keeps all its pieces but the last.
constexpr qreal Chunk = 48;

} // namespace

// Not std::hypot: it guards against an overflow no screen point needs, at
// several times the cost.
qreal length(QPointF v)
{
    return std::sqrt(v.x() * v.x() + v.y() * v.y());
}

bool samePiece(const Piece &x, const Piece &y)
{
    // Exactly the same numbers: a kept piece is computed the same way each time.
    return x.a.x() == y.a.x() && x.a.y() == y.a.y() && x.b.x() == y.b.x() && x.b.y() == y.b.y() && x.ra == y.ra &&
           x.rb == y.rb;
}

void shapePieces(Shape shape, QPointF a, QPointF b, qreal r, qreal head, std::vector<Piece> &out)
{
    out.clear();
    auto piece = [&](QPointF from, QPointF to) { out.push_back(Piece{from, to, r, r}); };
    auto side = [&](QPointF from, QPointF to) {
        const QPointF d = to - from;
        const qreal along = length(d);
        const int n = std::max(1, int(std::ceil(along / Chunk)));
        const QPointF step = along > 0 ? d / along * Chunk : QPointF();
        for (int i = 0; i < n; ++i)
            piece(from + step * i, i == n - 1 ? to : from + step * (i + 1));
    };
    switch (shape) {
    case Shape::Free:
    case Shape::Line:
        side(a, b);
        break;
    case Shape::Rectangle: {
        // Each side from the end that stays when the pointer moves along it.
        const QPointF c(b.x(), a.y()), d(a.x(), b.y());
        side(a, c);
        side(c, b);
        side(d, b);
        side(a, d);
        break;
    }
    case Shape::Arrow: {
        side(a, b);
        const QPointF shaft = b - a;
        const qreal along = length(shaft);
        if (along > 0) {
            // A short arrow keeps some shaft before its head.
            const qreal side = std::min(head, 0.6 * along);
            const qreal angle = std::atan2(shaft.y(), shaft.x());
            for (qreal turn : {HeadAngle, -HeadAngle})
                piece(b, b - side * QPointF(std::cos(angle + turn), std::sin(angle + turn)));
        }
        break;
    }
    case Shape::Ellipse: {
        // The ellipse inscribed in the box the drag spans, as short pieces.
        const QPointF c = (a + b) / 2;
        const qreal rx = std::abs(b.x() - a.x()) / 2, ry = std::abs(b.y() - a.y()) / 2;
        const int n = std::clamp(int(2 * M_PI * std::max(rx, ry) / 6), 8, 256);
        QPointF from(c.x() + rx, c.y());
        for (int i = 1; i <= n; ++i) {
            const qreal t = 2 * M_PI * i / n;
            const QPointF to(c.x() + rx * std::cos(t), c.y() + ry * std::sin(t));
            piece(from, to);
            from = to;
        }
        break;
    }
    }
}

void curve(QPointF a, QPointF b, QPointF c, QPointF d, qreal rb, qreal rc, std::vector<Piece> &out)
{
    auto knot = [](QPointF from, QPointF to) { return std::max<qreal>(1e-3, std::sqrt(length(to - from))); };
    const qreal ab = knot(a, b), bc = knot(b, c), cd = knot(c, d);
    const QPointF mb = ((b - a) / ab - (c - a) / (ab + bc) + (c - b) / bc) * bc;
    const QPointF mc = ((c - b) / bc - (d - b) / (bc + cd) + (d - c) / cd) * bc;
    // As a cubic Bezier: how far its control points stray from the chord sets
    // how many pieces it takes.
    const QPointF c1 = b + mb / 3, c2 = c - mc / 3, chord = c - b;
    const QPointF e1 = c1 - (b + chord / 3), e2 = c2 - (b + chord * 2 / 3);
    const qreal away = 0.75 * std::max(length(e1), length(e2));
    const int most = std::clamp(int(length(chord) / 4), 1, 64);
    const int n = std::clamp(int(std::ceil(std::sqrt(away / 0.25))), 1, most);
    QPointF from = b;
    qreal fromR = rb;
    for (int i = 1; i <= n; ++i) {
        const qreal t = qreal(i) / n, u = 1 - t;
        const QPointF to = u * u * u * b + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * c;
        const qreal toR = rb + (rc - rb) * t;
        out.push_back(Piece{from, to, fromR, toR});
        from = to;
        fromR = toR;
    }
}

} // namespace present
