#include "toolbar/ButtonLooks.h"

#include "forms/PictureBox.h"

namespace toolbar {

void applyLook(forms::PictureBox &button, Look look)
{
    switch (look) {
    case Look::Plain:
        button.setBackColor(PlainColor);
        return;
    case Look::Hover:
        button.setBackColor(HoverColor);
        break;
    case Look::Pressed:
        button.setBackColor(PressedColor);
        break;
    }
    button.Line(0, 0, 0, 16, FrameColor);
    button.Line(0, 0, 16, 0, FrameColor);
    button.Line(0, 16, 16, 16, FrameColor);
    button.Line(16, 0, 16, 16, FrameColor);
}

} // namespace toolbar
