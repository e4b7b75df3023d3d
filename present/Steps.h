#pragma once

#include "present/Marks.h"

#include <memory>

namespace present {

// A numbered step: the tool's number in a filled circle of the pen colour,
// sized by the pen width, with a numeral in black or white, whichever stands
// out from the colour. It is drawn where the button goes down, once.
std::unique_ptr<Mark> makeStepMark(MarkTarget &target, const MarkTool &tool);

// The numeral's colour on a circle of this colour.
QRgb numeralOn(QRgb color);

} // namespace present
