#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>

namespace forms {

// What a PictureBox shows when it shows a drawing: a document with a screen layer
// in device pixels. The box tells it the size of its drawing area and when the
// window system repaints; the document tells the box what it changed.
class PictureSource
{
public:
    virtual ~PictureSource() = default;

    // The drawing area, in logical pixels, and the device pixels to one of them.
    virtual void setArea(QSize area, qreal deviceScale) = 0;
    // The window system repaints the box (it was shown again or resized).
    virtual void windowRepaint() = 0;
    // What is on screen now; null when there are no layers (too large for memory).
    virtual const QImage *screenLayer() = 0;
    virtual std::int32_t BackColor() const = 0;

    // Called with every rectangle of the drawing area that changed.
    void setChangeListener(std::function<void(const QRect &)> listener) { m_listener = std::move(listener); }

protected:
    void changed(const QRect &area) const
    {
        if (m_listener && !area.isEmpty())
            m_listener(area);
    }

private:
    std::function<void(const QRect &)> m_listener;
};

} // namespace forms
