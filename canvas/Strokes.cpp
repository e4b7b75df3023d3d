// Pen and eraser strokes over the drawing surface.
#include "app/Main.h"

#include "forms/PictureBox.h"

void Main::PicBox_MouseDown(int, int, float X, float Y)
{
    Drawing = true;
    if (EraserMode) {
        stampEraser(X, Y);
        return;
    }
    // A dot of the current width; the stroke's first segment starts here.
    PicBox->PSet(X, Y, PenColor.toInt());
}

void Main::PicBox_MouseMove(int, int, float X, float Y)
{
    if (Drawing != true)
        return;
    if (EraserMode) {
        stampEraser(X, Y);
        return;
    }
    PicBox->Line(X, Y, PenColor.toInt());
}

void Main::PicBox_MouseUp(int, int, float, float)
{
    Drawing = false;
}

void Main::stampEraser(float X, float Y)
{
    // 2s + 1 columns from Y - s to Y + s in the background colour, at the current
    // line width, painted as one shape.
    const int s = EraserSizeIndex == 0 ? 3 : 11;
    PicBox->StampSquare(X, Y, s, PicBox->BackColor());
}
