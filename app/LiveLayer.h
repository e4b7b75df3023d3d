#pragma once

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QRegion>

namespace present {
class DrawingWindow;
}

namespace wayland {
class LayerOverlay;
}

// The live mode on Wayland: the compositor's overlay layer shows what the mode's
// window (never shown itself: Qt cannot put a window on that layer) draws, and
// the layer's pointer and keys reach the window as Qt's events.
class LiveLayer : public QObject
{
    Q_OBJECT

public:
    LiveLayer(present::DrawingWindow &window, wayland::LayerOverlay &overlay);

    // Shows nothing for a moment (the screen beneath is to be taken), or the
    // window's picture again.
    void conceal(bool on);

signals:
    // Ctrl+Shift+L, which the layer holds while the mode draws.
    void liveKey();

private:
    void touched(const QRegion &area);
    void showTouched();
    void forwardPointer(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
                        Qt::KeyboardModifiers modifiers);
    void forwardKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString &text, bool repeat);

    present::DrawingWindow &m_window;
    wayland::LayerOverlay &m_overlay;
    QImage m_frame; // premultiplied ARGB at the output's scale
    QRegion m_touched;
    bool m_pending = false;
    bool m_concealed = false;
};
