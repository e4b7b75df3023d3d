#include "canvas/Strokes.h"

#include "canvas/Surface.h"
#include "canvas/ToolState.h"

namespace canvas {

namespace {

QRect stampEraser(const ToolState &tools, Surface &surface, float x, float y)
{
    // 2s + 1 columns from y - s to y + s in the background colour, at the current
    // line width, painted as one shape.
    return surface.StampSquare(x, y, tools.eraserHalfSize(), surface.BackColor());
}

} // namespace

QRect strokeDown(ToolState &tools, Surface &surface, float x, float y)
{
    tools.setDrawing(true);
    if (tools.eraserMode())
        return stampEraser(tools, surface, x, y);
    return surface.PSet(x, y, tools.penColor());
}

QRect strokeMove(ToolState &tools, Surface &surface, float x, float y)
{
    if (tools.drawing() != true)
        return {};
    if (tools.eraserMode())
        return stampEraser(tools, surface, x, y);
    return surface.Line(x, y, tools.penColor());
}

void strokeUp(ToolState &tools)
{
    tools.setDrawing(false);
}

void clearSurface(Surface &surface, bool hold)
{
    surface.setPicture(QImage());
    surface.setAutoRedraw(true);
    surface.Cls();
    surface.setAutoRedraw(false);
    surface.Cls();
    surface.Refresh();
    surface.setAutoRedraw(hold);
}

} // namespace canvas
