#pragma once

#include "present/Marks.h"

#include <QImage>
#include <QRect>
#include <memory>

namespace present {

// Redaction: a drag spans a rectangle, outlined while the button is down; when
// it comes up, what lies in the rectangle is pixelated so that text there
// cannot be read. Over a live screen, where what lies beneath keeps changing,
// the rectangle is filled black instead.
std::unique_ptr<Mark> makeRedactMark(MarkTarget &target, const MarkTool &tool);

// The smallest block of a redaction, in device pixels.
constexpr int RedactBlock = 12;

// Each block of `rect` (in `image`'s pixels, 32 bits a pixel) becomes the mean
// of its pixels. The blocks tile the rectangle evenly, none narrower than
// `block` unless the rectangle itself is; nothing outside it changes.
void pixelate(QImage &image, const QRect &rect, int block);

} // namespace present
