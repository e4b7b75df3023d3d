#include "forms/PictureBox.h"

#include "forms/ColorWord.h"
#include "forms/PictureSource.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace forms {

int buttonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

int shiftBits(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PictureBox::setSource(PictureSource *source)
{
    if (m_source)
        m_source->setChangeListener({});
    m_source = source;
    m_syncedScale = 0;
    if (m_source) {
        m_source->setChangeListener([this](const QRect &area) { update(area.translated(m_border, m_border)); });
        syncArea();
    }
    update();
}

void PictureBox::syncArea()
{
    if (!m_source)
        return;
    const qreal scale = devicePixelRatioF();
    if (drawingArea() == m_syncedArea && qFuzzyCompare(scale, m_syncedScale))
        return;
    m_syncedArea = drawingArea();
    m_syncedScale = scale;
    m_source->setArea(m_syncedArea, scale);
}

int PictureBox::ScaleWidth() const
{
    return std::max(0, width() - 2 * m_border);
}

int PictureBox::ScaleHeight() const
{
    return std::max(0, height() - 2 * m_border);
}

void PictureBox::setBorderStyle(int style)
{
    m_border = style ? 1 : 0;
    syncArea();
    update();
}

void PictureBox::setMousePointer(int kind)
{
    m_mousePointer = kind;
    applyPointer();
}

void PictureBox::applyPointer()
{
    if (m_mousePointer == CustomPointer && !m_mouseIcon.isNull())
        setCursor(QCursor(m_mouseIcon, m_mouseIcon.width() / 2, m_mouseIcon.height() / 2));
    else
        unsetCursor();
}

void PictureBox::setBackColor(std::int32_t colorWord)
{
    m_backColor = colorWord & 0xFFFFFF;
    update();
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    syncArea();
    // The window system repaints a resized box from its persistent image.
    if (m_source)
        m_source->windowRepaint();
}

void PictureBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown again after being hidden or minimised: the screen comes back from the
    // persistent image.
    syncArea();
    if (m_source)
        m_source->windowRepaint();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QImage *screen = nullptr;
    if (m_source) {
        syncArea(); // moved to a screen of another scale
        screen = m_source->screenLayer();
    }
    if (screen) {
        const qreal s = screen->devicePixelRatio();
        const QRect logical = event->rect().translated(-m_border, -m_border);
        const QRectF from(logical.x() * s, logical.y() * s, logical.width() * s, logical.height() * s);
        p.drawImage(QRectF(event->rect()), *screen, from);
    } else {
        p.fillRect(rect(), toQColor(m_source ? m_source->BackColor() : m_backColor));
        if (!m_source && !m_picture.isNull())
            p.drawImage(QPointF(m_border, m_border), m_picture);
    }
    if (m_border)
        paintBorder(p, event->rect());
}

void PictureBox::paintBorder(QPainter &p, const QRect &exposed)
{
    // Only the sides the exposed rectangle reaches, and only their part there: the
    // whole frame of a 4K box, clipped though it is, costs more to stroke than
    // the rest of a pen move's repaint.
    const int right = width() - 1, bottom = height() - 1;
    if (rect().adjusted(1, 1, -1, -1).contains(exposed))
        return;
    const int x0 = std::max(0, exposed.left() - 1), x1 = std::min(right, exposed.right() + 1);
    const int y0 = std::max(0, exposed.top() - 1), y1 = std::min(bottom, exposed.bottom() + 1);
    p.setPen(QColor(128, 128, 128));
    if (exposed.top() <= 0)
        p.drawLine(x0, 0, x1, 0);
    if (exposed.bottom() >= bottom)
        p.drawLine(x0, bottom, x1, bottom);
    if (exposed.left() <= 0)
        p.drawLine(0, y0, 0, y1);
    if (exposed.right() >= right)
        p.drawLine(right, y0, right, y1);
}

QPointF PictureBox::eventPos(const QPointF &widgetPos) const
{
    return widgetPos - QPointF(m_border, m_border);
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_buttonsDown |= buttonBits(event->button());
    const QPointF pos = eventPos(event->position());
    emit MouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), float(pos.x()), float(pos.y()));
    event->accept();
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = eventPos(event->position());
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(pos.x()), float(pos.y()));
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const int bit = buttonBits(event->button());
    const bool wasDown = m_buttonsDown & bit;
    m_buttonsDown &= ~bit;
    const QPointF pos = eventPos(event->position());
    emit MouseUp(bit, shiftBits(event->modifiers()), float(pos.x()), float(pos.y()));
    event->accept();
    // A click is a press and a release of the same button over the box.
    if (wasDown && rect().contains(event->position().toPoint()))
        emit Click();
}

} // namespace forms
