#include "present/Laser.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
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

QColor withAlpha(QRgb color, int alpha)
{
    QColor c = QColor::fromRgb(color);
    c.setAlpha(alpha);
    return c;
}

// Nearer white, so that the core glows on a dark screen as well as a light one.
QColor brighter(QRgb color)
{
    return QColor(255 - (255 - qRed(color)) * 2 / 5, 255 - (255 - qGreen(color)) * 2 / 5,
                  255 - (255 - qBlue(color)) * 2 / 5);
}

} // namespace

Laser::Laser() : m_clock(steadyMs) {}

QRect Laser::around(const Stroke &s, QPointF a, QPointF b) const
{
    const qreal r = reach(s);
    return QRectF(QPointF(std::min(a.x(), b.x()) - r, std::min(a.y(), b.y()) - r),
                  QPointF(std::max(a.x(), b.x()) + r, std::max(a.y(), b.y()) + r))
        .toAlignedRect();
}

void Laser::tell(const QRect &area) const
{
    if (m_listener && !area.isEmpty())
        m_listener(area);
}

void Laser::begin(QPointF at, qreal radius, QRgb color)
{
    // A new stroke brings back the whole burst, however far it had faded.
    const bool faded = strength() < 1;
    Stroke s;
    s.points.push_back(at);
    s.radius = std::max<qreal>(1, radius);
    s.color = color;
    s.bounds = around(s, at, at);
    m_strokes.push_back(std::move(s));
    m_drawing = true;
    m_last = m_clock();
    tell(faded ? bounds() : m_strokes.back().bounds);
}

void Laser::move(QPointF at)
{
    if (!m_drawing || m_strokes.empty())
        return;
    Stroke &s = m_strokes.back();
    m_last = m_clock();
    if (std::abs(at.x() - s.points.back().x()) + std::abs(at.y() - s.points.back().y()) < 0.5)
        return;
    const QRect area = around(s, s.points.back(), at);
    s.points.push_back(at);
    s.bounds |= area;
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
    if (m_strokes.empty())
        return 0;
    if (m_drawing)
        return 1;
    const qint64 age = m_clock() - m_last;
    if (age <= HoldMs)
        return 1;
    return std::clamp<qreal>(1 - qreal(age - HoldMs) / FadeMs, 0, 1);
}

QRect Laser::bounds() const
{
    QRect all;
    for (const Stroke &s : m_strokes)
        all |= s.bounds;
    return all;
}

qint64 Laser::advance()
{
    if (m_strokes.empty() || m_drawing)
        return -1;
    const qint64 age = m_clock() - m_last;
    if (age < HoldMs)
        return HoldMs - age;
    const QRect area = bounds();
    if (age >= HoldMs + FadeMs)
        m_strokes.clear();
    tell(area);
    return m_strokes.empty() ? -1 : 0;
}

void Laser::paintRun(QPainter &p, const Stroke &s, size_t from, size_t to) const
{
    QPainterPath path(s.points[from]);
    for (size_t i = from + 1; i <= to; ++i)
        path.lineTo(s.points[i]);
    const qreal r = s.radius;
    // A wide faint halo, a firmer ring and the core, with a light line through
    // it: a soft edge that shows on light and dark screens alike.
    const struct
    {
        QColor color;
        qreal width;
    } passes[] = {{withAlpha(s.color, 60), 2 * reach(s) - 2},
                  {withAlpha(s.color, 130), 3.2 * r},
                  {QColor::fromRgb(s.color), 2 * r},
                  {brighter(s.color), r}};
    for (const auto &pass : passes) {
        if (from == to) { // a dot: a path of one point strokes nothing
            p.setPen(Qt::NoPen);
            p.setBrush(pass.color);
            p.drawEllipse(s.points[from], pass.width / 2, pass.width / 2);
            continue;
        }
        p.strokePath(path, QPen(pass.color, pass.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
}

void Laser::paint(QPainter &p, const QRect &clip) const
{
    const qreal alpha = strength();
    if (alpha <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(alpha);
    for (const Stroke &s : m_strokes) {
        if (!s.bounds.intersects(clip))
            continue;
        if (s.points.size() == 1) {
            paintRun(p, s, 0, 0);
            continue;
        }
        // Only the stretches that reach the clip, each as one path, so that a
        // long stroke costs what its part on the screen does.
        size_t start = 0;
        bool inRun = false;
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            const bool in = around(s, s.points[i], s.points[i + 1]).intersects(clip);
            if (in && !inRun)
                start = i;
            if (!in && inRun)
                paintRun(p, s, start, i);
            inRun = in;
        }
        if (inRun)
            paintRun(p, s, start, s.points.size() - 1);
    }
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
        m_target.laser->begin(m_tool.toDevice(at), radius, m_tool.color);
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
