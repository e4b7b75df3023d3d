#include "present/Session.h"

#include "canvas/ToolState.h"

#include <algorithm>
#include <cmath>

namespace present {

Session::Session(const QImage &screen, canvas::ToolState &tools) : m_tools(tools)
{
    const qreal scale = screen.devicePixelRatio() > 0 ? screen.devicePixelRatio() : 1;
    const QSize area(int(std::lround(screen.width() / scale)), int(std::lround(screen.height() / scale)));
    m_surface.setArea(area, scale);
    m_surface.setPicture(screen); // one picture pixel to a device pixel
    // The marks live on the screen layer alone (nothing repaints this surface
    // from its persistent layer); the persistent layer keeps the frozen screen
    // that Del goes back to. One layer to draw into, not two.
    m_surface.setAutoRedraw(false);
    m_zoom.setView(QSizeF(area));
}

QRect Session::press(QPointF viewPoint)
{
    m_history.begin({}, canvas::History::Extent::Touched);
    m_drawing = true;
    return mark(m_zoom.toPicture(viewPoint), true);
}

QRect Session::move(QPointF viewPoint)
{
    if (!m_drawing)
        return {};
    return mark(m_zoom.toPicture(viewPoint), false);
}

void Session::release()
{
    if (!m_drawing)
        return;
    m_drawing = false;
    m_history.end({});
}

QRect Session::mark(QPointF at, bool first)
{
    const qreal zoom = m_zoom.factor();
    // Widths are what the screen shows: on a zoomed view they are narrower on the
    // picture, never under a pixel.
    const int width = std::max(1, int(std::lround((m_tools.penSizeIndex() + 1) / zoom)));
    m_surface.setDrawWidth(width);
    const float x = float(at.x()), y = float(at.y());
    if (m_tools.eraserMode()) {
        const int half = std::max(1, int(std::lround(m_tools.eraserHalfSize() / zoom)));
        return m_surface.UncoverSquare(x, y, half);
    }
    return first ? m_surface.PSet(x, y, m_tools.penColor()) : m_surface.Line(x, y, m_tools.penColor());
}

void Session::clear()
{
    release();
    m_history.begin({}, canvas::History::Extent::Whole);
    m_surface.Cls();
    m_history.end({});
}

bool Session::undo()
{
    release();
    return m_history.undo({}).has_value();
}

bool Session::redo()
{
    release();
    return m_history.redo({}).has_value();
}

} // namespace present
