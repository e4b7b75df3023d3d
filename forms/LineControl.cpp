#include "forms/LineControl.h"

#include "forms/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace forms {

LineControl::LineControl(QPoint from, QPoint to, QColor color, QWidget *parent, int width, Qt::PenStyle style)
    : QWidget(parent), m_from(from), m_to(to), m_color(color), m_width(width), m_style(style)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int pad = width / 2;
    const QRect box = QRect(from, to).normalized().adjusted(-pad, -pad, width - pad - 1, width - pad - 1);
    setGeometry(box);
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QPen pen(m_color, m_width, m_style, Qt::FlatCap);
    if (m_width <= 1)
        pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    const QPoint origin = geometry().topLeft();
    const QPointF shift = m_width > 1 ? QPointF(0, 0.5 * (m_width % 2)) : QPointF(0, 0);
    p.drawLine(QPointF(m_from - origin) + shift, QPointF(m_to - origin) + shift);
}

FormSurface::FormSurface(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void FormSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

void FormSurface::mouseMoveEvent(QMouseEvent *event)
{
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(event->position().x()),
                   float(event->position().y()));
}

} // namespace forms
