#include "present/Laser.h"

#include "canvas/Surface.h"

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace present {

namespace {

qint64 steadyMs()
{
    static QElapsedTimer since;
    if (!since.isValid())
        since.start();
    return since.elapsed();
}

// The levels of the ink's parts, from its edge in: a wide faint halo, a firmer
// ring, the core, and a light line through it.
constexpr int HaloLevel = 90, RingLevel = 170, CoreLevel = 235, LineLevel = 255;

// How a level looks in a colour: the halo up to 60 of 255 opaque, the ring to
// 130, the core fully, and the line nearer white, so that the ink glows on a
// dark screen as well as a light one. Between them it goes evenly, so that
// the anti-aliased edges of each part blend into the next.
QRgb lookOf(int level, QRgb color)
{
    auto between = [level](int from, int to, double a, double b) { return a + (b - a) * (level - from) / (to - from); };
    double alpha = 1, light = 0;
    if (level <= HaloLevel)
        alpha = between(0, HaloLevel, 0, 60 / 255.0);
    else if (level <= RingLevel)
        alpha = between(HaloLevel, RingLevel, 60 / 255.0, 130 / 255.0);
    else if (level <= CoreLevel)
        alpha = between(RingLevel, CoreLevel, 130 / 255.0, 1);
    else
        light = between(CoreLevel, LineLevel, 0, 0.6);
    auto channel = [&](int c) { return int(std::lround((c + (255 - c) * light) * alpha)); };
    return qRgba(channel(qRed(color)), channel(qGreen(color)), channel(qBlue(color)), int(std::lround(alpha * 255)));
}

} // namespace

Laser::Laser() : m_clock(steadyMs) {}

QRect Laser::around(QPointF a, QPointF b) const
{
    const qreal r = reach();
    return QRectF(QPointF(std::min(a.x(), b.x()) - r, std::min(a.y(), b.y()) - r),
                  QPointF(std::max(a.x(), b.x()) + r, std::max(a.y(), b.y()) + r))
        .toAlignedRect()
        .intersected(m_ink.rect());
}

void Laser::tell(const QRect &area) const
{
    if (m_listener && !area.isEmpty())
        m_listener(area);
}

void Laser::lay(QPointF a, QPointF b)
{
    // Each pixel gets the level of its distance from the stretch (a disc from
    // a to a), kept where a higher one lies already. Every part's edge is a
    // pixel wide ramp: anti-aliased, and nothing to set up.
    const qreal r = m_radius;
    const std::array<qreal, 4> edges{reach() - 1, 1.6 * r, r, 0.5 * r};
    const std::array<int, 4> steps{HaloLevel, RingLevel - HaloLevel, CoreLevel - RingLevel, LineLevel - CoreLevel};
    const QPointF d = b - a;
    const qreal dd = d.x() * d.x() + d.y() * d.y();
    const QRect box = around(a, b);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        uchar *row = m_ink.scanLine(y);
        for (int x = box.left(); x <= box.right(); ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            const qreal t = dd > 0 ? std::clamp(((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / dd, 0.0, 1.0) : 0;
            const QPointF off = p - (a + d * t);
            const qreal dist = std::sqrt(off.x() * off.x() + off.y() * off.y());
            if (dist >= edges[0] + 0.5)
                continue;
            qreal level = 0;
            for (size_t i = 0; i < edges.size(); ++i)
                level += steps[i] * std::clamp(edges[i] + 0.5 - dist, 0.0, 1.0);
            row[x] = std::max(row[x], uchar(std::lround(level)));
        }
    }
}

void Laser::begin(QPointF at, qreal radius, QRgb color, QSize page)
{
    if (m_ink.size() != page) {
        m_ink = QImage(page, QImage::Format_Grayscale8);
        m_bounds = QRect();
        if (m_ink.isNull())
            return; // no memory for it: the laser draws nothing
        m_ink.fill(0);
    }
    // A new stroke brings back the whole burst, however far it had faded.
    const bool faded = strength() < 1;
    m_radius = std::max<qreal>(1, radius);
    if (color != m_color || m_looks[255] == 0) {
        m_color = color;
        for (int level = 0; level < 256; ++level)
            m_looks[size_t(level)] = lookOf(level, color);
    }
    m_at = at;
    m_drawing = true;
    m_last = m_clock();
    const QRect area = around(at, at);
    lay(at, at);
    m_bounds |= area;
    tell(faded ? m_bounds : area);
}

void Laser::move(QPointF at)
{
    if (!m_drawing)
        return;
    m_last = m_clock();
    if (std::abs(at.x() - m_at.x()) + std::abs(at.y() - m_at.y()) < 0.5)
        return;
    const QRect area = around(m_at, at);
    lay(m_at, at);
    m_at = at;
    m_bounds |= area;
    tell(area);
}

void Laser::end()
{
    if (!m_drawing)
        return;
    m_drawing = false;
    m_last = m_clock();
}

qreal Laser::strength() const
{
    if (empty())
        return 0;
    if (m_drawing)
        return 1;
    const qint64 age = m_clock() - m_last;
    if (age <= HoldMs)
        return 1;
    return std::clamp<qreal>(1 - qreal(age - HoldMs) / FadeMs, 0, 1);
}

qint64 Laser::advance()
{
    if (empty() || m_drawing)
        return -1;
    const qint64 age = m_clock() - m_last;
    if (age < HoldMs)
        return HoldMs - age;
    const QRect area = m_bounds;
    if (age >= HoldMs + FadeMs) {
        for (int y = m_bounds.top(); y <= m_bounds.bottom(); ++y)
            std::fill_n(m_ink.scanLine(y) + m_bounds.left(), m_bounds.width(), uchar(0));
        m_bounds = QRect();
    }
    tell(area);
    return empty() ? -1 : 0;
}

void Laser::paint(QPainter &p, const QRect &clip) const
{
    const qreal alpha = strength();
    const QRect area = clip.intersected(m_bounds);
    if (alpha <= 0 || area.isEmpty())
        return;
    if (m_shown.width() < area.width() || m_shown.height() < area.height())
        m_shown = QImage(area.size().expandedTo(m_shown.size()), QImage::Format_ARGB32_Premultiplied);
    if (m_shown.isNull())
        return;
    for (int y = 0; y < area.height(); ++y) {
        const uchar *level = m_ink.constScanLine(area.top() + y) + area.left();
        auto *out = reinterpret_cast<QRgb *>(m_shown.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            out[x] = m_looks[level[x]];
    }
    p.save();
    p.setOpacity(alpha);
    p.drawImage(QRectF(area), m_shown, QRectF(QPointF(0, 0), QSizeF(area.size())));
    p.restore();
}

namespace {

class LaserMark : public Mark
{
public:
    using Mark::Mark;
    void begin(QPointF at, qreal) override
    {
        // Wide enough to follow from the back of a room, growing with the pen.
        const qreal radius = (3 + m_tool.pen) / m_tool.viewScale * m_tool.deviceScale / 2;
        m_target.laser->begin(m_tool.toDevice(at), radius, m_tool.color, m_target.surface->deviceArea());
    }
    void move(QPointF at, qreal) override { m_target.laser->move(m_tool.toDevice(at)); }
    void end() override { m_target.laser->end(); }
};

} // namespace

std::unique_ptr<Mark> makeLaserMark(MarkTarget &target, const MarkTool &tool)
{
    if (!target.laser)
        return nullptr;
    return std::make_unique<LaserMark>(target, tool);
}

} // namespace present
