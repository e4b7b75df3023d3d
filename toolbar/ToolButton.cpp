#include "toolbar/ToolButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace toolbar {

ToolButton::ToolButton(const QString &name, QPoint at, QWidget *parent) : forms::PictureBox(parent)
{
    setObjectName(name);
    setGeometry(at.x(), at.y(), 17, 17);
    setPicture(QImage(QStringLiteral(":/resources/toolbar/%1.xpm").arg(name.toLower())));
}

void ToolButton::setLook(Look look)
{
    // Every mouse move over the background or a button sets looks: only a
    // change repaints.
    if (look == m_look) // a new button is plain already
        return;
    m_look = look;
    setBackColor(look == Look::Plain ? PlainColor : look == Look::Hover ? HoverColor : PressedColor);
}

void ToolButton::paintEvent(QPaintEvent *event)
{
    forms::PictureBox::paintEvent(event);
    if (m_look == Look::Plain)
        return;
    // Left, top, bottom and right edge, over the picture.
    QPainter p(this);
    const QColor frame = forms::toQColor(FrameColor);
    p.fillRect(QRect(0, 0, 1, 17), frame);
    p.fillRect(QRect(0, 0, 17, 1), frame);
    p.fillRect(QRect(0, 16, 17, 1), frame);
    p.fillRect(QRect(16, 0, 1, 17), frame);
}

void ToolButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Not PictureBox's default, which takes it for a press.
    m_secondPresses |= forms::buttonBits(event->button());
    event->accept();
}

void ToolButton::mouseReleaseEvent(QMouseEvent *event)
{
    const int bit = forms::buttonBits(event->button());
    if (m_secondPresses & bit) {
        m_secondPresses &= ~bit;
        event->accept();
        return;
    }
    forms::PictureBox::mouseReleaseEvent(event);
}

} // namespace toolbar
