#pragma once

#include "forms/PictureSource.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <cstdint>
#include <functional>
#include <vector>

namespace canvas {

// The drawing: a document without widgets.
//
// It has two layers. The persistent image is what the surface shows again
// whenever the window system repaints it and on Refresh; it holds the background
// colour, the background picture and everything drawn while AutoRedraw (screen
// hold) is on. The screen is what is visible now: every drawing operation lands
// on it, and while AutoRedraw is on in the persistent image as well.
//
// Coordinates are logical pixels of the drawing area. The layers hold device
// pixels, deviceScale() of them to a logical pixel, so that drawing stays sharp on
// scaled screens. The layers only ever grow, so a smaller window followed by a
// larger one loses nothing. Every drawing operation returns the part of the
// drawing area it touched and tells the view.
class Surface : public forms::PictureSource
{
public:
    Surface() = default;
    Surface(const Surface &) = delete;
    Surface &operator=(const Surface &) = delete;

    // --- Area ---------------------------------------------------------------------
    void setArea(QSize area, qreal deviceScale) override;
    QSize area() const { return m_area; }
    qreal deviceScale() const { return m_dpr; }
    QSize deviceArea() const { return deviceSize(m_area); }
    QRect bounds() const { return QRect(QPoint(0, 0), m_area); }

    // --- Properties ---------------------------------------------------------------
    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool on) { m_autoRedraw = on; }
    std::int32_t BackColor() const override { return m_backColor; }
    // A new background colour erases both layers down to colour and picture.
    QRect setBackColor(std::int32_t colorWord);
    // Background picture, drawn at (0, 0) at one picture pixel to a logical pixel.
    const QImage &Picture() const { return m_picture; }
    // A see-through surface has no background: its layers keep alpha, and what
    // lies beneath (Cls, an eraser) is nothing at all. For ink over a screen
    // that goes on moving. Set it before the first drawing.
    void setSeeThrough(bool on);
    bool seeThrough() const { return m_seeThrough; }
    QRect setPicture(const QImage &picture);
    int DrawWidth() const { return m_drawWidth; }
    void setDrawWidth(int width) { m_drawWidth = width < 1 ? 1 : width; }
    QPointF CurrentPosition() const { return m_current; }

    // --- Drawing ------------------------------------------------------------------
    QRect PSet(float x, float y, std::int32_t color);
    QRect Line(float x2, float y2, std::int32_t color);
    QRect Line(float x1, float y1, float x2, float y2, std::int32_t color);
    // A filled square of half-size s around (x, y), as 2s + 1 columns of the
    // current width would paint it; the current position ends at (x + s, y + s).
    QRect StampSquare(float x, float y, int s, std::int32_t color);
    // The same square, showing the background (colour and picture) again instead
    // of painting a colour: an eraser that uncovers the picture beneath.
    QRect UncoverSquare(float x, float y, int s);
    // Draws straight into the screen layer inside `deviceRect` (the layer's own
    // pixels), the persistent image left alone: for a document whose marks live
    // on the screen alone. Returns the logical area it touched.
    QRect drawScreen(const QRect &deviceRect, const std::function<void(QImage &screen, const QRect &clip)> &draw);
    // Draws the whole picture stretched to width x height at (x, y), smoothed; at
    // its own size, as the background picture is drawn. Only the part that falls
    // inside the drawing area is ever scaled.
    QRect PaintPicture(const QImage &picture, double x, double y, double width, double height);
    // Clears the layer in use (both while AutoRedraw is on) down to background
    // colour and picture; the current position goes back to (0, 0).
    QRect Cls();
    // The screen shows the persistent image again.
    QRect Refresh();

    // --- Layers -------------------------------------------------------------------
    // Whether both layers exist at the present area. A surface too large for
    // memory (or for the budget below) has none, draws nothing and shows its
    // background colour.
    bool layersAvailable();
    // The persistent image itself, for pixel work. Call changedOutside() after
    // writing to it.
    QImage &persistentLayer();
    const QImage *screenLayer() override;
    // The window system repainted the surface: the screen shows the persistent
    // image again, and what only the screen held is gone for good, also from
    // what undo puts back. While repaints are held (the window steps aside for a
    // moment and comes back as it was), they change nothing.
    void windowRepaint() override;
    void holdWindowRepaints(bool hold) { m_repaintsHeld = hold; }
    void changedOutside(const QRect &area) { changed(area.intersected(bounds())); }
    // What the surface shows now: the drawing area of the screen, in device pixels.
    QImage visibleImage();

    // Both layers inside a rectangle of the drawing area, to be put back later.
    struct Snapshot
    {
        QRect area;       // logical
        QRect deviceRect; // in the layers' pixels
        QImage persistent;
        QImage screen;
        qreal deviceScale = 1;
        quint64 repaints = 0; // the window repaints the screen part has seen
        bool failed = false;  // there was no memory for the copies
        bool holds() const { return !persistent.isNull() && !screen.isNull(); }
        qint64 bytes() const { return persistent.sizeInBytes() + screen.sizeInBytes(); }
    };
    Snapshot snapshot(const QRect &area);
    // The whole of both layers, also what lies beyond the drawing area of a window
    // that has grown smaller: a command that repaints everything changes it all.
    Snapshot snapshotLayers();
    // Puts both layers back inside the snapshot's rectangle, where they were. A
    // snapshot from another scale is stretched to this one.
    QRect restore(const Snapshot &snapshot);
    // Exchanges the snapshot's pixels with the layers' (same scale only): what
    // was there before is then in the snapshot. A window repaint since the
    // snapshot was taken has removed what only the screen held, so the screen
    // then shows the persistent image there, as the repaint would have left it.
    QRect swap(Snapshot &snapshot);
    // Whether the layers hold exactly the snapshot's pixels.
    bool matches(const Snapshot &snapshot);
    // Called with the rectangle of the layers (device pixels) that a drawing
    // operation is about to change, before it changes.
    void setChangeHook(std::function<void(const QRect &)> hook) { m_changeHook = std::move(hook); }
    // Sets the background picture the layers already show, without redrawing.
    void adoptPicture(const QImage &picture)
    {
        m_picture = picture;
        m_base = QImage();
    }

    // The most memory both layers may take. Far above any screen's needs; it keeps
    // a pathological size from taking the machine down.
    static qint64 layerBudgetBytes();
    static void setLayerBudgetBytes(qint64 bytes);

private:
    bool ensureLayers();
    void paintBase(QImage &image) const;
    QRect penBounds(QPointF a, QPointF b) const;
    QSize deviceSize(QSize logical) const;
    QRect toDevice(const QRect &logical) const;
    Snapshot copyLayers(const QRect &logical, const QRect &deviceRect);
    template <typename Draw>
    QRect drawOnLayers(const QRect &touched, Draw &&draw);

    QSize m_area{0, 0};
    qreal m_dpr = 1;
    QImage m_persist;
    QImage m_screen;
    QImage m_picture;
    QImage m_base; // the background alone, at the layers' size, while an uncover needs it
    QPointF m_current{0, 0};
    std::int32_t m_backColor = 0xFFFFFF;
    int m_drawWidth = 1;
    bool m_autoRedraw = false;
    bool m_seeThrough = false;
    bool m_persistStale = true;
    bool m_screenStale = true;
    bool m_repaintsHeld = false;
    quint64 m_repaints = 0;
    std::function<void(const QRect &)> m_changeHook;
};

} // namespace canvas
