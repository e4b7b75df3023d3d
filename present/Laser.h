#pragma once

#include "present/Marks.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>
#include <array>
#include <functional>
#include <memory>

class QPainter;

namespace present {

// Ink that points without marking: the laser pen's strokes, kept apart from the
// pages, their history and everything shown, saved or handed back. The strokes
// of one burst stay while the hand keeps drawing; a second after the last move
// they all fade out together over half a second, and then they are gone.
//
// Points are device pixels of the page. Time comes from a clock that can be
// replaced (tests drive it); it counts milliseconds.
class Laser
{
public:
    using Clock = std::function<qint64()>;
    static constexpr qint64 HoldMs = 1000;
    static constexpr qint64 FadeMs = 500;

    Laser();
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // Told of each area (device pixels) whose look changed.
    void setChangeListener(std::function<void(const QRect &)> listener) { m_listener = std::move(listener); }

    // A stroke with a core of `radius`, in `color`, on a page of `page` device
    // pixels.
    void begin(QPointF at, qreal radius, QRgb color, QSize page);
    void move(QPointF at);
    void end();

    bool empty() const { return m_bounds.isEmpty(); }
    // How strongly the ink shows now, 1 to 0.
    qreal strength() const;
    // What all the ink covers, its soft edge included.
    QRect bounds() const { return m_bounds; }
    // Moves the fade on to now: the area that looks different is told to the
    // listener, and ink that has faded goes. Returns how many milliseconds until
    // the look changes next (0: at the next frame), or -1 when nothing will
    // change by itself (no ink, or a stroke being drawn).
    qint64 advance();

    // Paints the ink inside `clip` (device pixels), the painter set to device
    // pixels of the page.
    void paint(QPainter &p, const QRect &clip) const;

private:
    qreal reach() const { return m_radius * 2.5 + 2; }
    QRect around(QPointF a, QPointF b) const;
    // Lays a stretch (or, from a to a, a dot) into the ink.
    void lay(QPointF a, QPointF b);
    void tell(const QRect &area) const;

    Clock m_clock;
    std::function<void(const QRect &)> m_listener;
    // The ink drawn so far as levels, each pixel the highest any stretch laid
    // there: a stroke crossing itself is no brighter there, and a new stretch
    // costs only its own pixels, however long the burst. A level's look, in
    // the burst's last colour, is in m_looks.
    QImage m_ink;                    // Format_Grayscale8
    mutable QImage m_shown;          // the looks of a painted area
    std::array<QRgb, 256> m_looks{}; // premultiplied
    QRect m_bounds;
    QPointF m_at; // the end of the stroke being drawn
    qreal m_radius = 1;
    QRgb m_color = 0;
    bool m_drawing = false;
    qint64 m_last = 0; // the last move
};

// The laser pen's mark: its strokes go to the target's laser, never to the page.
std::unique_ptr<Mark> makeLaserMark(MarkTarget &target, const MarkTool &tool);

} // namespace present
