#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <cstdint>

namespace forms {

// A drawable box with two layers.
//
// The persistent image is what the box shows whenever the window system makes it
// repaint (after it was hidden, minimised or resized) and on Refresh. It holds the
// background colour, the background picture and everything drawn while AutoRedraw
// is on. The screen is what is visible now: every drawing operation lands on it,
// and while AutoRedraw is on it lands in the persistent image as well.
//
// Coordinates are pixels of the drawing area, measured inside the border.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    enum MousePointerKind { DefaultPointer = 0, CustomPointer = 99 };

    explicit PictureBox(QWidget *parent = nullptr);

    // Layer model
    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool on) { m_autoRedraw = on; }
    void Refresh();
    void Cls();

    // Background colour; setting it erases what was drawn and repaints the picture.
    std::int32_t BackColor() const { return m_backColor; }
    void setBackColor(std::int32_t colorWord);

    // Background picture, shown at its natural size at (0, 0), clipped.
    // With AutoSize on, the box takes the picture's natural size, which may differ
    // from the size of the image that carries it (a picture decoded at a reduced
    // size still measures as its natural size).
    const QImage &Picture() const { return m_picture; }
    void setPicture(const QImage &picture, QSize naturalSize = {});
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on) { m_autoSize = on; }

    // Drawing operations; each repaints only the rectangle it touched.
    int DrawWidth() const { return m_drawWidth; }
    void setDrawWidth(int width) { m_drawWidth = width < 1 ? 1 : width; }
    QPointF CurrentPosition() const { return m_current; }
    void PSet(float x, float y, std::int32_t color);
    void Line(float x2, float y2, std::int32_t color);
    void Line(float x1, float y1, float x2, float y2, std::int32_t color);
    // A filled square of half-size s around (x, y), as 2s + 1 columns of the current
    // width would paint it; the current position ends at (x + s, y + s).
    void StampSquare(float x, float y, int s, std::int32_t color);
    // Draws the whole picture stretched to width x height at (x, y). Only the part
    // that falls inside the drawing area is ever scaled.
    void PaintPicture(const QImage &picture, double x, double y, double width, double height);

    // Drawing area in (logical) pixels.
    int ScaleWidth() const;
    int ScaleHeight() const;
    // Device pixels per logical pixel in the layers, and the drawing area in them.
    qreal DeviceScale() const { return m_dpr; }
    QSize DeviceAreaSize() const { return deviceSize(ScaleWidth(), ScaleHeight()); }

    // Pointer over the box.
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int kind);
    const QPixmap &MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QPixmap &icon) { m_mouseIcon = icon; applyPointer(); }

    // Border: 0 none, 1 single.
    int BorderStyle() const { return m_border; }
    void setBorderStyle(int style);

    // The persistent image itself, for pixel work (the equivalent of a device
    // context on it). Its pixels are device pixels: DeviceScale() of them to a
    // logical pixel, so that drawing stays sharp on scaled screens. It is at least
    // the drawing area; it never shrinks, so nothing drawn is lost when the box is
    // made smaller and then larger again.
    QImage &PersistentImage();
    // What is on screen now; for tests and screenshots. Both images may be larger
    // than the drawing area; only its top-left ScaleWidth x ScaleHeight part counts.
    const QImage &ScreenImage();

    // Whether both layers exist at the box's present size. They are made when first
    // needed; a box too large for memory (or for the budget below) has none, draws
    // nothing and shows its background colour.
    bool layersAvailable();

    // The most memory both layers of one box may take. Far above any screen's
    // needs; it keeps a pathological size from taking the machine down.
    static qint64 layerBudgetBytes();
    static void setLayerBudgetBytes(qint64 bytes);

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
    template <typename Draw>
    void drawOnLayers(const QRect &touched, Draw &&draw);
    bool ensureLayers();
    void paintBase(QImage &image) const;
    void applyPointer();
    QRect penBounds(QPointF a, QPointF b) const;
    QSize deviceSize(int w, int h) const;
    QPointF eventPos(const QPointF &widgetPos) const;

    qreal m_dpr = 1; // device pixels per logical pixel of both layers
    QImage m_persist;
    QImage m_screen;
    QImage m_picture;
    QPixmap m_mouseIcon;
    QPointF m_current{0, 0};
    std::int32_t m_backColor = 0xFFFFFF;
    int m_drawWidth = 1;
    int m_mousePointer = DefaultPointer;
    int m_border = 0;
    bool m_autoRedraw = false;
    bool m_autoSize = false;
    bool m_persistStale = true;
    bool m_screenStale = true;
    int m_buttonsDown = 0;
};

// Qt mouse buttons and modifiers as the bit values the handlers take.
int buttonBits(Qt::MouseButtons buttons);
int shiftBits(Qt::KeyboardModifiers modifiers);

} // namespace forms
