#include "forms/PictureBox.h"

#include "forms/ColorWord.h"
#include "forms/Raster.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

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

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
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
    m_screenStale = true;
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
    // A new background colour erases both layers down to colour and picture.
    m_persistStale = true;
    m_screenStale = true;
    update();
}

void PictureBox::setPicture(const QImage &picture, QSize naturalSize)
{
    m_picture = picture;
    if (m_autoSize) {
        const QSize size = naturalSize.isValid() ? naturalSize : picture.size();
        resize(size + QSize(2 * m_border, 2 * m_border));
    }
    m_persistStale = true;
    m_screenStale = true;
    update();
}

void PictureBox::Refresh()
{
    m_screenStale = true;
    update();
}

void PictureBox::Cls()
{
    if (m_autoRedraw)
        m_persistStale = true;
    m_screenStale = true;
    m_current = QPointF(0, 0);
    update();
}

QImage &PictureBox::PersistentImage()
{
    ensureLayers();
    return m_persist;
}

const QImage &PictureBox::ScreenImage()
{
    ensureLayers();
    return m_screen;
}

namespace {
qint64 g_layerBudget = qint64(2) << 30; // 2 GiB for both layers
} // namespace

qint64 PictureBox::layerBudgetBytes()
{
    return g_layerBudget;
}

void PictureBox::setLayerBudgetBytes(qint64 bytes)
{
    g_layerBudget = bytes;
}

bool PictureBox::layersAvailable()
{
    return ensureLayers();
}

QSize PictureBox::deviceSize(int w, int h) const
{
    return QSize(int(std::ceil(w * m_dpr - 1e-9)), int(std::ceil(h * m_dpr - 1e-9)));
}

bool PictureBox::ensureLayers()
{
    const qreal dpr = devicePixelRatioF();
    if (!m_persist.isNull() && !qFuzzyCompare(dpr, m_dpr)) {
        // Moved to a screen of another scale: keep what the layers hold, redrawn at
        // the new scale.
        m_dpr = dpr;
        const QImage old = m_persist;
        m_persist = QImage();
        m_screen = QImage();
        if (!ensureLayers())
            return false;
        if (!m_persistStale) {
            QPainter p(&m_persist);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QPointF(0, 0), old);
        }
        m_screenStale = true;
    }
    m_dpr = dpr;
    const QSize need = deviceSize(ScaleWidth(), ScaleHeight());
    if (m_persist.isNull() || m_persist.width() < need.width() || m_persist.height() < need.height()) {
        // Grow only, so that a smaller window followed by a larger one loses nothing.
        const int nw = std::max({need.width(), m_persist.isNull() ? 0 : m_persist.width(), 1});
        const int nh = std::max({need.height(), m_persist.isNull() ? 0 : m_persist.height(), 1});
        if (2 * 4 * qint64(nw) * qint64(nh) > g_layerBudget)
            return false;
        QImage grown(nw, nh, QImage::Format_RGB32);
        QImage screen(nw, nh, QImage::Format_RGB32);
        if (grown.isNull() || screen.isNull())
            return false;
        grown.setDevicePixelRatio(m_dpr);
        screen.setDevicePixelRatio(m_dpr);
        paintBase(grown);
        if (!m_persist.isNull() && !m_persistStale) {
            QPainter p(&grown);
            p.drawImage(QPointF(0, 0), m_persist);
        }
        m_persist = std::move(grown);
        m_screen = std::move(screen);
        m_screenStale = true;
    }
    if (m_persistStale) {
        paintBase(m_persist);
        m_persistStale = false;
        m_screenStale = true;
    }
    if (m_screenStale) {
        std::memcpy(m_screen.bits(), m_persist.constBits(), size_t(m_persist.sizeInBytes()));
        m_screenStale = false;
    }
    return true;
}

void PictureBox::paintBase(QImage &image) const
{
    image.fill(toQColor(m_backColor));
    if (!m_picture.isNull()) {
        QPainter p(&image); // a picture pixel covers one logical pixel
        p.drawImage(QPointF(0, 0), m_picture);
    }
}

template <typename Draw>
void PictureBox::drawOnLayers(const QRect &touched, Draw &&draw)
{
    if (!ensureLayers())
        return;
    const QRect area(0, 0, ScaleWidth(), ScaleHeight());
    const QRect dirty = touched.intersected(area);
    if (dirty.isEmpty())
        return;
    // The same rectangle in the layers' own (device) pixels.
    const QRect deviceDirty(QPoint(int(std::floor(dirty.left() * m_dpr)), int(std::floor(dirty.top() * m_dpr))),
                            QPoint(int(std::ceil((dirty.right() + 1) * m_dpr)) - 1,
                                   int(std::ceil((dirty.bottom() + 1) * m_dpr)) - 1));
    const QRect deviceArea(QPoint(0, 0), deviceSize(area.width(), area.height()));
    const QRect deviceClip = deviceDirty.intersected(deviceArea);
    if (m_autoRedraw)
        draw(m_persist, deviceClip, dirty);
    draw(m_screen, deviceClip, dirty);
    update(dirty.translated(m_border, m_border));
}

QRect PictureBox::penBounds(QPointF a, QPointF b) const
{
    const int pad = m_drawWidth / 2 + 2;
    const QRectF r = QRectF(a, b).normalized();
    return QRect(int(std::floor(r.left())) - pad, int(std::floor(r.top())) - pad,
                 int(std::ceil(r.width())) + 2 * pad + 1, int(std::ceil(r.height())) + 2 * pad + 1);
}

void PictureBox::PSet(float x, float y, std::int32_t color)
{
    const QPointF at(x, y);
    const int w = m_drawWidth;
    const QRgb rgb = toQColor(color).rgb();
    const qreal s = m_dpr;
    drawOnLayers(penBounds(at, at), [&](QImage &image, const QRect &clip, const QRect &) {
        // A disc of diameter w around the pixel; at width 1, the pixel itself.
        const QPointF c = raster::penCentre(x, y, w) * s;
        raster::fillCapsule(image, c, c, w / 2.0 * s, rgb, clip, w == 1);
    });
    m_current = at;
}

void PictureBox::Line(float x2, float y2, std::int32_t color)
{
    Line(float(m_current.x()), float(m_current.y()), x2, y2, color);
}

void PictureBox::Line(float x1, float y1, float x2, float y2, std::int32_t color)
{
    const int w = m_drawWidth;
    const QRgb rgb = toQColor(color).rgb();
    const QPointF a(x1, y1);
    const QPointF b(x2, y2);
    const qreal s = m_dpr;
    drawOnLayers(penBounds(a, b), [&](QImage &image, const QRect &clip, const QRect &) {
        // Round ends: every point within w / 2 of the segment.
        raster::fillCapsule(image, raster::penCentre(x1, y1, w) * s, raster::penCentre(x2, y2, w) * s, w / 2.0 * s, rgb, clip,
                            w == 1);
    });
    m_current = b;
}

void PictureBox::StampSquare(float x, float y, int half, std::int32_t color)
{
    const int w = m_drawWidth;
    const QRgb rgb = toQColor(color).rgb();
    const QPointF centre(x, y);
    const qreal s = m_dpr;
    drawOnLayers(penBounds(centre - QPointF(half, half), centre + QPointF(half, half)),
                 [&](QImage &image, const QRect &clip, const QRect &) {
                     raster::fillColumns(image, raster::penCentre(x, y, w), half, w / 2.0, w % 2 == 1, rgb, clip, s);
                 });
    m_current = QPointF(x + half, y + half);
}

void PictureBox::PaintPicture(const QImage &picture, double x, double y, double width, double height)
{
    if (picture.isNull() || width <= 0 || height <= 0)
        return;
    const QRectF target(x, y, width, height);
    const QRectF area(0, 0, ScaleWidth(), ScaleHeight());
    const QRectF visible = target.intersected(area);
    if (visible.isEmpty())
        return;
    // Scale only the part of the picture that lands inside the drawing area: a 4x
    // drawing of a large photo must never build the whole enlarged picture.
    const double sx = picture.width() / width;
    const double sy = picture.height() / height;
    QRectF source((visible.left() - x) * sx, (visible.top() - y) * sy, visible.width() * sx,
                  visible.height() * sy);
    const QRect needed = source.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(picture.rect());
    const QImage part = picture.copy(needed);
    source.translate(-needed.topLeft());
    drawOnLayers(visible.toAlignedRect(), [&](QImage &image, const QRect &, const QRect &logicalClip) {
        QPainter p(&image); // works in logical pixels on a scaled layer
        p.setClipRect(logicalClip);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(visible, part, source);
    });
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The window system repaints a resized box from its persistent image.
    m_screenStale = true;
}

void PictureBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown again after being hidden or minimised: the screen comes back from the
    // persistent image.
    m_screenStale = true;
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!ensureLayers()) {
        p.fillRect(rect(), toQColor(m_backColor));
        return;
    }
    const QRect logical = event->rect().translated(-m_border, -m_border);
    const QRectF source(logical.x() * m_dpr, logical.y() * m_dpr, logical.width() * m_dpr, logical.height() * m_dpr);
    p.drawImage(QRectF(event->rect()), m_screen, source);
    if (m_border) {
        p.setPen(QColor(128, 128, 128));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

QPointF PictureBox::eventPos(const QPointF &widgetPos) const
{
    return widgetPos - QPointF(m_border, m_border);
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_buttonsDown |= buttonBits(event->button());
    const QPointF pos = eventPos(event->position());
    emit MouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), float(pos.x()),
                   float(pos.y()));
    event->accept();
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = eventPos(event->position());
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(pos.x()),
                   float(pos.y()));
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
