#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <cstdint>

class QPainter;

namespace forms {

class PictureSource;

// A box inside a single border that shows either a drawing (a PictureSource, whose
// screen layer it copies) or, without one, its background colour with a picture
// at (0, 0). It turns mouse input into button and shift bits with drawing-area
// coordinates, and owns its pointer and border. It holds no drawing of its own.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    enum MousePointerKind { DefaultPointer = 0, CustomPointer = 99 };

    explicit PictureBox(QWidget *parent = nullptr);

    // The drawing shown; the box tells it its area and repaints what it changes.
    void setSource(PictureSource *source);
    PictureSource *source() const { return m_source; }
    // Tells the source the present drawing area (done on every resize; call it
    // after resizing a box that is not shown).
    void syncArea();

    // Background colour and picture of a box without a drawing.
    std::int32_t BackColor() const { return m_backColor; }
    void setBackColor(std::int32_t colorWord);
    const QImage &Picture() const { return m_picture; }
    void setPicture(const QImage &picture);

    // Drawing area in (logical) pixels.
    int ScaleWidth() const;
    int ScaleHeight() const;
    QSize drawingArea() const { return QSize(ScaleWidth(), ScaleHeight()); }

    // Pointer over the box.
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int kind);
    void setMouseIcon(const QPixmap &icon)
    {
        m_mouseIcon = icon;
        applyPointer();
    }

    // Border: 0 none, 1 single.
    int BorderStyle() const { return m_border; }
    void setBorderStyle(int style);

signals:
    // Button and Shift use the bit values 1 left / 2 right / 4 middle and
    // 1 Shift / 2 Ctrl / 4 Alt. X and Y are drawing-area pixels.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void applyPointer();
    void paintBorder(QPainter &p, const QRect &exposed);
    QPointF eventPos(const QPointF &widgetPos) const;

    PictureSource *m_source = nullptr;
    QImage m_picture;
    QPixmap m_mouseIcon;
    std::int32_t m_backColor = 0xFFFFFF;
    int m_mousePointer = DefaultPointer;
    int m_border = 0;
    int m_buttonsDown = 0;
    QSize m_syncedArea;
    qreal m_syncedScale = 0;
};

// Qt mouse buttons and modifiers as the bit values the handlers take.
int buttonBits(Qt::MouseButtons buttons);
int shiftBits(Qt::KeyboardModifiers modifiers);

} // namespace forms
