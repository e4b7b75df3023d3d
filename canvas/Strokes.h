#pragma once

#include <QRect>

namespace canvas {

class Surface;
class ToolState;

// A stroke over the surface with the current tool. Each returns what it touched.
// Button-down starts the stroke: the pen puts a dot of the current width, the
// eraser a square in the background colour.
QRect strokeDown(ToolState &tools, Surface &surface, float x, float y);
// While the stroke lasts, the pen draws on from the last point; the eraser stamps.
QRect strokeMove(ToolState &tools, Surface &surface, float x, float y);
void strokeUp(ToolState &tools);

// The clear command: no picture, both layers down to the background colour, and
// screen hold as `hold` says afterwards.
void clearSurface(Surface &surface, bool hold);

} // namespace canvas
