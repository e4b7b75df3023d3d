#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <cstdint>

struct wl_keyboard;
struct wl_pointer;
struct wl_seat;
struct wl_touch;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace wayland {

// Qt's key for an X keysym, for the keys a drawing surface answers to:
// letters (Key_A to Key_Z whatever the case), digits, F1 to F12, the editing
// and moving keys, and a few signs. Key_unknown for the rest.
int qtKeyForKeysym(uint32_t keysym);

// A seat's pointer, keyboard and touch, on a connection whose only surface is
// ours, told as Qt's values in the surface's logical coordinates. The keymap
// the compositor sends is read with xkbcommon; keys held repeat at the
// compositor's rate while they are held, and only then.
class SeatInput : public QObject
{
    Q_OBJECT

public:
    SeatInput(wl_seat *seat, QObject *parent = nullptr);
    ~SeatInput() override;

    // Forgets the keys and buttons held: the surface no longer takes input.
    void release();
    Qt::KeyboardModifiers modifiers() const;

signals:
    void pointerPressed(QPointF position, Qt::MouseButton button, Qt::MouseButtons buttons,
                        Qt::KeyboardModifiers modifiers);
    void pointerMoved(QPointF position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void pointerReleased(QPointF position, Qt::MouseButton button, Qt::MouseButtons buttons,
                         Qt::KeyboardModifiers modifiers);
    void wheel(QPointF position, QPoint angleDelta, QPoint pixelDelta);
    void keyPressed(int qtKey, Qt::KeyboardModifiers modifiers, QString text, bool autoRepeat);
    void keyReleased(int qtKey, Qt::KeyboardModifiers modifiers);

private:
    struct Handlers;
    friend struct Handlers;

    void setCapabilities(uint32_t capabilities);
    void setKeymap(int fd, uint32_t format, uint32_t size);
    void key(uint32_t code, bool pressed);
    void repeat();
    void button(uint32_t code, bool pressed);
    void flushWheel();
    void dropKeymap();

    wl_seat *m_seat = nullptr;
    wl_pointer *m_pointer = nullptr;
    wl_keyboard *m_keyboard = nullptr;
    wl_touch *m_touch = nullptr;

    QPointF m_position;
    Qt::MouseButtons m_buttons;
    QPointF m_wheelPixels;
    QPoint m_wheelSteps;
    bool m_wheelSeen = false;
    int32_t m_touchId = -1;

    xkb_context *m_xkb = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
    int32_t m_repeatRate = 25; // keys a second; 0: no repeat
    int32_t m_repeatDelay = 600;
    uint32_t m_repeatCode = 0;
    QTimer m_repeat;
};

} // namespace wayland
