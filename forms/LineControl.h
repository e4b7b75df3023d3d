#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

namespace forms {

// A windowless straight line between two points of its parent. It takes no mouse
// input, so the parent's own mouse events fire over it.
class LineControl : public QWidget
{
    Q_OBJECT

public:
    LineControl(QPoint from, QPoint to, QColor color, QWidget *parent, int width = 1,
                Qt::PenStyle style = Qt::SolidLine);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }
    QColor color() const { return m_color; }
    Qt::PenStyle penStyle() const { return m_style; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_from;
    QPoint m_to;
    QColor m_color;
    int m_width;
    Qt::PenStyle m_style;
};

// The client area of a window: it reports resizes, and mouse moves over its own
// background (children that take the mouse keep theirs).
class FormSurface : public QWidget
{
    Q_OBJECT

public:
    explicit FormSurface(QWidget *parent = nullptr);

signals:
    void Resized();
    void MouseMove(int button, int shift, float x, float y);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};

} // namespace forms
