#pragma once

#include "canvas/History.h"
#include "canvas/Surface.h"
#include "present/Zoom.h"

#include <QImage>

namespace canvas {
class ToolState;
}

namespace present {

// The drawing mode's document: a frozen screen and the marks drawn over it,
// with their own history. The pen and the eraser are the program's one tool
// state; the eraser uncovers the frozen screen. Input arrives in view
// coordinates and lands on the picture through the zoom, and a pen keeps its
// width on the screen however far the view is zoomed.
class Session
{
public:
    // `screen` in device pixels, its device pixel ratio the monitor's scale.
    Session(const QImage &screen, canvas::ToolState &tools);
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    canvas::Surface &surface() { return m_surface; }
    canvas::History &history() { return m_history; }
    Zoom &zoom() { return m_zoom; }
    const Zoom &zoom() const { return m_zoom; }

    // A stroke with the current tool; each returns the picture area it touched.
    QRect press(QPointF viewPoint);
    QRect move(QPointF viewPoint);
    void release();
    bool drawing() const { return m_drawing; }

    // The marks go; the frozen screen stays.
    void clear();
    bool undo();
    bool redo();

    // What the mode shows at 1x: the screen and the marks, in device pixels.
    QImage shown() { return m_surface.visibleImage(); }

private:
    QRect mark(QPointF picturePoint, bool first);

    canvas::ToolState &m_tools;
    canvas::Surface m_surface;
    canvas::History m_history{m_surface};
    Zoom m_zoom;
    bool m_drawing = false;
};

} // namespace present
