#pragma once

#include "forms/ColorWord.h"
#include "forms/PictureBox.h"

namespace toolbar {

enum class Look { Plain, Hover, Pressed };

constexpr std::int32_t PlainColor = forms::colorWord(255, 255, 255);
constexpr std::int32_t HoverColor = forms::colorWord(217, 232, 250);
constexpr std::int32_t PressedColor = forms::colorWord(250, 250, 217);
constexpr std::int32_t FrameColor = forms::colorWord(82, 150, 247);

// A 17 x 17 picture button. Its look is its background colour, and for hover and
// pressed a one-pixel frame drawn over the picture. A look stays until another is
// set, whatever the window system repaints.
class ToolButton : public forms::PictureBox
{
    Q_OBJECT

public:
    ToolButton(const QString &name, QPoint at, QWidget *parent);

    Look look() const { return m_look; }
    void setLook(Look look);

protected:
    void paintEvent(QPaintEvent *event) override;
    // A double-click is one click: its second press neither presses the button
    // nor, on its release, clicks it.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Look m_look = Look::Plain;
    int m_secondPresses = 0; // buttons whose release ends a double-click
};

} // namespace toolbar
