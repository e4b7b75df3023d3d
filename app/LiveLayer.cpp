#include "app/LiveLayer.h"

#include "present/DrawingWindow.h"
#include "wayland/LayerOverlay.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

LiveLayer::LiveLayer(present::DrawingWindow &window, wayland::LayerOverlay &overlay)
    : QObject(&window), m_window(window), m_overlay(overlay)
{
    m_window.resize(overlay.size());
    m_frame = QImage(overlay.pictureSize(), QImage::Format_ARGB32_Premultiplied);
    m_frame.setDevicePixelRatio(overlay.scale());
    m_frame.fill(Qt::transparent);
    connect(&window, &present::DrawingWindow::shown, this, &LiveLayer::touched);
    using O = wayland::LayerOverlay;
    connect(&overlay, &O::pointerPressed, this, [this](QPointF at, Qt::MouseButton b, Qt::MouseButtons bs, auto m) {
        forwardPointer(QEvent::MouseButtonPress, at, b, bs, m);
    });
    connect(&overlay, &O::pointerMoved, this, [this](QPointF at, Qt::MouseButtons bs, Qt::KeyboardModifiers m) {
        forwardPointer(QEvent::MouseMove, at, Qt::NoButton, bs, m);
    });
    connect(&overlay, &O::pointerReleased, this, [this](QPointF at, Qt::MouseButton b, Qt::MouseButtons bs, auto m) {
        forwardPointer(QEvent::MouseButtonRelease, at, b, bs, m);
    });
    connect(&overlay, &O::wheel, this, [this](QPointF at, QPoint angle, QPoint pixels) {
        QWheelEvent event(at, at, pixels, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&m_window, &event);
    });
    connect(&overlay, &O::keyPressed, this, [this](int key, Qt::KeyboardModifiers m, const QString &text, bool repeat) {
        if (key == Qt::Key_L && m == (Qt::ControlModifier | Qt::ShiftModifier)) {
            if (!repeat)
                emit liveKey();
            return;
        }
        forwardKey(QEvent::KeyPress, key, m, text, repeat);
    });
    connect(&overlay, &O::keyReleased, this,
            [this](int key, Qt::KeyboardModifiers m) { forwardKey(QEvent::KeyRelease, key, m, QString(), false); });
    touched(m_window.rect());
}

void LiveLayer::forwardPointer(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
                               Qt::KeyboardModifiers modifiers)
{
    QMouseEvent event(type, at, at, button, buttons, modifiers);
    QCoreApplication::sendEvent(&m_window, &event);
}

void LiveLayer::forwardKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString &text,
                           bool repeat)
{
    QKeyEvent event(type, key, modifiers, text, repeat);
    QCoreApplication::sendEvent(&m_window, &event);
}

void LiveLayer::touched(const QRegion &area)
{
    m_touched += area.intersected(m_window.rect());
    // What came together goes to the compositor together.
    if (!m_pending) {
        m_pending = true;
        QTimer::singleShot(0, this, &LiveLayer::showTouched);
    }
}

void LiveLayer::showTouched()
{
    m_pending = false;
    if (m_touched.isEmpty() || m_concealed)
        return;
    const qreal scale = m_frame.devicePixelRatio();
    QRegion device;
    {
        QPainter p(&m_frame);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect &r : m_touched) {
            p.fillRect(r, Qt::transparent);
            device += QRect((QPointF(r.topLeft()) * scale).toPoint(), (QSizeF(r.size()) * scale).toSize());
        }
    }
    m_window.render(&m_frame, m_touched.boundingRect().topLeft(), m_touched, QWidget::RenderFlags());
    m_touched = QRegion();
    m_overlay.present(m_frame, device);
}

void LiveLayer::conceal(bool on)
{
    m_concealed = on;
    if (on) {
        QImage clear(m_frame.size(), QImage::Format_ARGB32_Premultiplied);
        clear.fill(Qt::transparent);
        m_overlay.present(clear, QRegion(clear.rect()));
    } else {
        m_overlay.present(m_frame, QRegion(m_frame.rect()));
    }
}
