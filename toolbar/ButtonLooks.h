#pragma once

#include "forms/ColorWord.h"

namespace forms {
class PictureBox;
}

namespace toolbar {

enum class Look { Plain, Hover, Pressed };

constexpr std::int32_t PlainColor = forms::colorWord(255, 255, 255);
constexpr std::int32_t HoverColor = forms::colorWord(217, 232, 250);
constexpr std::int32_t PressedColor = forms::colorWord(250, 250, 217);
constexpr std::int32_t FrameColor = forms::colorWord(82, 150, 247);

// Background first (which erases the old frame, the picture stays), then for hover
// and pressed the four frame lines: left, top, bottom, right.
void applyLook(forms::PictureBox &button, Look look);

} // namespace toolbar
