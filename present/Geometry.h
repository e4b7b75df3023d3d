#pragma once

#include "present/Ink.h"

#include <QPointF>
#include <vector>

namespace present {

// The shapes a mark takes: a freehand stroke, or a shape spanned by a drag.
enum class Shape { Free, Line, Rectangle, Arrow, Ellipse };

// Length of a vector.
qreal length(QPointF v);

// The pieces of a shape dragged from a to b with pen radius r (an arrow's head
// sides `head` long), in the order they are drawn. Straight sides come in pieces
// from the end that stays when the pointer moves, so that a side that only
// grows keeps all its pieces but the last.
void shapePieces(Shape shape, QPointF a, QPointF b, qreal r, qreal head, std::vector<Piece> &out);

// Whether two pieces are exactly the same numbers (a kept piece is computed the
// same way each time).
bool samePiece(const Piece &x, const Piece &y);

// The stretch from b to c of the centripetal Catmull-Rom curve through a, b, c
// and d, as straight pieces within a quarter pixel of it (none shorter than four
// pixels: what they would add no one sees); the radius goes evenly from rb to rc.
void curve(QPointF a, QPointF b, QPointF c, QPointF d, qreal rb, qreal rc, std::vector<Piece> &out);

} // namespace present
