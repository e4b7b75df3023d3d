#include "canvas/Surface.h"

#include "canvas/Raster.h"
#include "forms/ColorWord.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace canvas {

namespace {
qint64 g_layerBudget = qint64(2) << 30; // 2 GiB for both layers
// The pixel a point lies in; far-off points are held to a range any line can
// be clipped from.
QPoint pixelOf(float x, float y)
{
    auto clamp = [](float v) { return std::isnan(v) ? 0 : int(std::clamp(std::floor(double(v)), -1e8, 1e8)); };
    return QPoint(clamp(x), clamp(y));
}

} // namespace

qint64 Surface::layerBudgetBytes()
{
    return g_layerBudget;
}

void Surface::setLayerBudgetBytes(qint64 bytes)
{
    g_layerBudget = bytes;
}

QSize Surface::deviceSize(QSize logical) const
{
    return QSize(int(std::ceil(logical.width() * m_dpr - 1e-9)), int(std::ceil(logical.height() * m_dpr - 1e-9)));
}

QRect Surface::toDevice(const QRect &r) const
{
    return QRect(QPoint(int(std::floor(r.left() * m_dpr)), int(std::floor(r.top() * m_dpr))),
                 QPoint(int(std::ceil((r.right() + 1) * m_dpr)) - 1, int(std::ceil((r.bottom() + 1) * m_dpr)) - 1));
}

void Surface::setArea(QSize area, qreal deviceScale)
{
    area = area.expandedTo(QSize(0, 0));
    if (deviceScale <= 0)
        deviceScale = 1;
    if (!m_persist.isNull() && !qFuzzyCompare(deviceScale, m_dpr)) {
        // Moved to a screen of another scale: keep what the layers hold, redrawn at
        // the new scale.
        const QImage old = m_persist;
        const bool keep = !m_persistStale;
        m_persist = QImage();
        m_screen = QImage();
        m_dpr = deviceScale;
        m_area = area;
        if (ensureLayers() && keep) {
            QPainter p(&m_persist);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QPointF(0, 0), old);
        }
        m_screenStale = true;
    }
    m_dpr = deviceScale;
    m_area = area;
}

bool Surface::layersAvailable()
{
    return ensureLayers();
}

QImage &Surface::persistentLayer()
{
    ensureLayers();
    return m_persist;
}

const QImage *Surface::screenLayer()
{
    return ensureLayers() ? &m_screen : nullptr;
}

bool Surface::ensureLayers()
{
    const QSize need = deviceArea();
    if (m_persist.isNull() || m_persist.width() < need.width() || m_persist.height() < need.height()) {
        // Grow only, so that a smaller area followed by a larger one loses nothing.
        const int nw = std::max({need.width(), m_persist.isNull() ? 0 : m_persist.width(), 1});
        const int nh = std::max({need.height(), m_persist.isNull() ? 0 : m_persist.height(), 1});
        if (2 * 4 * qint64(nw) * qint64(nh) > g_layerBudget)
            return false;
        const QImage::Format format = m_seeThrough ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
        QImage grown(nw, nh, format);
        QImage screen(nw, nh, format);
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

void Surface::paintBase(QImage &image) const
{
    image.fill(m_seeThrough ? QColor(Qt::transparent) : forms::toQColor(m_backColor));
    if (!m_picture.isNull()) {
        QPainter p(&image); // a picture pixel covers one logical pixel
        p.drawImage(QPointF(0, 0), m_picture);
    }
}

void Surface::setSeeThrough(bool on)
{
    if (on == m_seeThrough)
        return;
    m_seeThrough = on;
    m_persist = QImage();
    m_screen = QImage();
    m_base = QImage();
    m_persistStale = m_screenStale = true;
}

QRect Surface::setBackColor(std::int32_t colorWord)
{
    m_backColor = colorWord & 0xFFFFFF;
    m_base = QImage();
    m_persistStale = true;
    m_screenStale = true;
    changed(bounds());
    return bounds();
}

QRect Surface::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_base = QImage();
    m_persistStale = true;
    m_screenStale = true;
    changed(bounds());
    return bounds();
}

QRect Surface::Refresh()
{
    m_screenStale = true;
    changed(bounds());
    return bounds();
}

QRect Surface::Cls()
{
    if (m_autoRedraw)
        m_persistStale = true;
    m_screenStale = true;
    m_current = QPointF(0, 0);
    changed(bounds());
    return bounds();
}

template <typename Draw>
QRect Surface::drawOnLayers(const QRect &touched, Draw &&draw)
{
    if (!ensureLayers())
        return {};
    const QRect dirty = touched.intersected(bounds());
    if (dirty.isEmpty())
        return {};
    // The same rectangle in the layers' own (device) pixels.
    const QRect deviceClip = toDevice(dirty).intersected(QRect(QPoint(0, 0), deviceArea()));
    if (m_changeHook)
        m_changeHook(deviceClip);
    if (m_autoRedraw)
        draw(m_persist, deviceClip, dirty);
    draw(m_screen, deviceClip, dirty);
    changed(dirty);
    return dirty;
}

QRect Surface::penBounds(QPointF a, QPointF b) const
{
    const int pad = m_drawWidth / 2 + 2;
    const QRectF r = QRectF(a, b).normalized();
    return QRect(int(std::floor(r.left())) - pad, int(std::floor(r.top())) - pad,
                 int(std::ceil(r.width())) + 2 * pad + 1, int(std::ceil(r.height())) + 2 * pad + 1);
}

QRect Surface::PSet(float x, float y, std::int32_t color)
{
    const QPointF at(x, y);
    const int w = m_drawWidth;
    const QRgb rgb = forms::toQColor(color).rgb();
    const qreal s = m_dpr;
    const QRect touched = drawOnLayers(penBounds(at, at), [&](QImage &image, const QRect &clip, const QRect &) {
        // A disc of diameter w around the pixel; at width 1, the pixel itself.
        const QPointF c = raster::penCentre(x, y, w) * s;
        raster::fillCapsule(image, c, c, w / 2.0 * s, rgb, clip, w == 1);
    });
    m_current = at;
    return touched;
}

QRect Surface::Line(float x2, float y2, std::int32_t color)
{
    return Line(float(m_current.x()), float(m_current.y()), x2, y2, color);
}

QRect Surface::Line(float x1, float y1, float x2, float y2, std::int32_t color)
{
    const int w = m_drawWidth;
    const QRgb rgb = forms::toQColor(color).rgb();
    const QPointF a(x1, y1);
    const QPointF b(x2, y2);
    const qreal s = m_dpr;
    const QRect touched = drawOnLayers(penBounds(a, b), [&](QImage &image, const QRect &clip, const QRect &) {
        if (w == 1) {
            // One pixel for every step along the longer axis.
            raster::fillThinLine(image, pixelOf(x1, y1), pixelOf(x2, y2), rgb, clip, s);
            return;
        }
        // Round ends: every point within w / 2 of the segment.
        raster::fillCapsule(image, raster::penCentre(x1, y1, w) * s, raster::penCentre(x2, y2, w) * s, w / 2.0 * s, rgb,
                            clip, w == 1);
    });
    m_current = b;
    return touched;
}

QRect Surface::StampSquare(float x, float y, int half, std::int32_t color)
{
    const int w = m_drawWidth;
    const QRgb rgb = forms::toQColor(color).rgb();
    const QPointF centre(x, y);
    const qreal s = m_dpr;
    const QRect touched = drawOnLayers(penBounds(centre - QPointF(half, half), centre + QPointF(half, half)),
                                       [&](QImage &image, const QRect &clip, const QRect &) {
                                           raster::fillColumns(image, raster::penCentre(x, y, w), half, w / 2.0,
                                                               w % 2 == 1, rgb, clip, s);
                                       });
    m_current = QPointF(x + half, y + half);
    return touched;
}

QRect Surface::UncoverSquare(float x, float y, int half)
{
    if (!ensureLayers())
        return {};
    if (m_base.size() != m_persist.size()) {
        m_base = QImage(m_persist.size(), m_persist.format());
        if (m_base.isNull())
            return {};
        m_base.setDevicePixelRatio(m_dpr);
        paintBase(m_base);
    }
    const int w = m_drawWidth;
    const QPointF centre(x, y);
    const qreal s = m_dpr;
    const QRect touched = drawOnLayers(penBounds(centre - QPointF(half, half), centre + QPointF(half, half)),
                                       [&](QImage &image, const QRect &clip, const QRect &) {
                                           raster::fillColumns(image, raster::penCentre(x, y, w), half, w / 2.0,
                                                               w % 2 == 1, 0, clip, s, &m_base);
                                       });
    m_current = QPointF(x + half, y + half);
    return touched;
}

QRect Surface::drawScreen(const QRect &deviceRect, const std::function<void(QImage &, const QRect &)> &draw)
{
    if (!ensureLayers())
        return {};
    const QRect clip = deviceRect.intersected(QRect(QPoint(0, 0), deviceArea()));
    if (clip.isEmpty())
        return {};
    if (m_changeHook)
        m_changeHook(clip);
    draw(m_screen, clip);
    const QRect logical(
        QPoint(int(std::floor(clip.left() / m_dpr)), int(std::floor(clip.top() / m_dpr))),
        QPoint(int(std::ceil((clip.right() + 1) / m_dpr)) - 1, int(std::ceil((clip.bottom() + 1) / m_dpr)) - 1));
    const QRect touched = logical.intersected(bounds());
    changed(touched);
    return touched;
}

QRect Surface::PaintPicture(const QImage &picture, double x, double y, double width, double height)
{
    if (picture.isNull() || width <= 0 || height <= 0)
        return {};
    const QRectF target(x, y, width, height);
    const QRectF visible = target.intersected(QRectF(bounds()));
    if (visible.isEmpty())
        return {};
    // Scale only the part of the picture that lands inside the drawing area: a 4x
    // drawing of a large photo must never build the whole enlarged picture.
    const double sx = picture.width() / width;
    const double sy = picture.height() / height;
    QRectF source((visible.left() - x) * sx, (visible.top() - y) * sy, visible.width() * sx, visible.height() * sy);
    const QRect needed = source.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(picture.rect());
    const QImage part = picture.copy(needed);
    source.translate(-needed.topLeft());
    // At its own size (one picture pixel to a logical pixel) the picture is drawn
    // as the background picture is, unsmoothed, so that it shows exactly as it
    // did when it came, on a scaled screen too.
    const bool ownSize = std::abs(width - picture.width()) < 1e-6 && std::abs(height - picture.height()) < 1e-6;
    return drawOnLayers(visible.toAlignedRect(), [&](QImage &image, const QRect &, const QRect &logicalClip) {
        QPainter p(&image); // works in logical pixels on a scaled layer
        p.setClipRect(logicalClip);
        p.setRenderHint(QPainter::SmoothPixmapTransform, !ownSize);
        p.drawImage(visible, part, source);
    });
}

QImage Surface::visibleImage()
{
    if (!ensureLayers())
        return {};
    QImage image = m_screen.copy(QRect(QPoint(0, 0), deviceArea()));
    image.setDevicePixelRatio(m_dpr);
    return image;
}

Surface::Snapshot Surface::snapshot(const QRect &area)
{
    if (!ensureLayers())
        return {};
    const QRect logical = area.intersected(bounds());
    return copyLayers(logical, toDevice(logical).intersected(m_persist.rect()));
}

Surface::Snapshot Surface::snapshotLayers()
{
    if (!ensureLayers())
        return {};
    return copyLayers(bounds(), m_persist.rect());
}

Surface::Snapshot Surface::copyLayers(const QRect &logical, const QRect &deviceRect)
{
    Snapshot shot;
    shot.area = logical;
    shot.deviceScale = m_dpr;
    shot.deviceRect = deviceRect;
    shot.repaints = m_repaints;
    if (shot.area.isEmpty() || shot.deviceRect.isEmpty())
        return shot;
    shot.persistent = m_persist.copy(shot.deviceRect);
    shot.screen = m_screen.copy(shot.deviceRect);
    if (!shot.holds()) {
        // Half a snapshot is none: both go, and the caller learns why.
        shot.persistent = QImage();
        shot.screen = QImage();
        shot.failed = true;
    }
    return shot;
}

void Surface::windowRepaint()
{
    if (m_repaintsHeld)
        return;
    ++m_repaints;
    Refresh();
}

namespace {

void putBack(QImage &layer, const QImage &part, const QRect &deviceRect)
{
    const QRect target = deviceRect.intersected(layer.rect());
    const int bytes = target.width() * 4;
    for (int y = target.top(); y <= target.bottom(); ++y) {
        std::memcpy(layer.scanLine(y) + target.left() * 4,
                    part.constScanLine(y - deviceRect.top()) + (target.left() - deviceRect.left()) * 4, size_t(bytes));
    }
}

} // namespace

namespace {

void swapRows(QImage &layer, QImage &part, const QRect &deviceRect)
{
    const QRect target = deviceRect.intersected(layer.rect());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto *a = reinterpret_cast<QRgb *>(layer.scanLine(y)) + target.left();
        auto *b = reinterpret_cast<QRgb *>(part.scanLine(y - deviceRect.top())) + (target.left() - deviceRect.left());
        std::swap_ranges(a, a + target.width(), b);
    }
}

} // namespace

namespace {

void copyRows(QImage &to, const QImage &from, const QRect &deviceRect)
{
    const QRect target = deviceRect.intersected(to.rect()).intersected(from.rect());
    for (int y = target.top(); y <= target.bottom(); ++y)
        std::memcpy(to.scanLine(y) + target.left() * 4, from.constScanLine(y) + target.left() * 4,
                    size_t(target.width()) * 4);
}

bool sameRows(const QImage &layer, const QImage &part, const QRect &deviceRect)
{
    const QRect target = deviceRect.intersected(layer.rect());
    if (target != deviceRect)
        return false;
    for (int y = target.top(); y <= target.bottom(); ++y) {
        if (std::memcmp(layer.constScanLine(y) + target.left() * 4, part.constScanLine(y - deviceRect.top()),
                        size_t(target.width()) * 4) != 0)
            return false;
    }
    return true;
}

} // namespace

QRect Surface::swap(Snapshot &shot)
{
    if (!shot.holds() || !qFuzzyCompare(shot.deviceScale, m_dpr) || !ensureLayers())
        return {};
    if (shot.deviceRect == m_persist.rect() && shot.persistent.size() == m_persist.size() &&
        shot.persistent.format() == m_persist.format() && shot.screen.size() == m_screen.size() &&
        shot.screen.format() == m_screen.format()) {
        // The whole of both layers: the images themselves change places.
        std::swap(m_persist, shot.persistent);
        std::swap(m_screen, shot.screen);
    } else {
        swapRows(m_persist, shot.persistent, shot.deviceRect);
        swapRows(m_screen, shot.screen, shot.deviceRect);
    }
    if (shot.repaints != m_repaints) {
        copyRows(m_screen, m_persist, shot.deviceRect);
        shot.repaints = m_repaints;
    }
    changed(shot.area);
    return shot.area;
}

bool Surface::matches(const Snapshot &shot)
{
    if (!shot.holds() || !qFuzzyCompare(shot.deviceScale, m_dpr) || !ensureLayers())
        return false;
    return sameRows(m_persist, shot.persistent, shot.deviceRect) && sameRows(m_screen, shot.screen, shot.deviceRect);
}

QRect Surface::restore(const Snapshot &shot)
{
    if (!shot.holds() || !ensureLayers())
        return {};
    if (qFuzzyCompare(shot.deviceScale, m_dpr)) {
        putBack(m_persist, shot.persistent, shot.deviceRect);
        putBack(m_screen, shot.screen, shot.deviceRect);
    } else {
        const QRectF target(shot.area);
        for (auto [layer, part] : {std::pair{&m_persist, &shot.persistent}, std::pair{&m_screen, &shot.screen}}) {
            QPainter p(layer);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(target, *part);
        }
    }
    changed(shot.area);
    return shot.area;
}

} // namespace canvas
