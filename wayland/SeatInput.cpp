#include "wayland/SeatInput.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

int qtKeyForKeysym(uint32_t keysym)
{
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z)
        return Qt::Key_A + int(keysym - XKB_KEY_a);
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z)
        return Qt::Key_A + int(keysym - XKB_KEY_A);
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9)
        return Qt::Key_0 + int(keysym - XKB_KEY_0);
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F12)
        return Qt::Key_F1 + int(keysym - XKB_KEY_F1);
    static const struct
    {
        uint32_t keysym;
        int key;
    } table[] = {
        {XKB_KEY_Escape, Qt::Key_Escape},
        {XKB_KEY_Delete, Qt::Key_Delete},
        {XKB_KEY_KP_Delete, Qt::Key_Delete},
        {XKB_KEY_BackSpace, Qt::Key_Backspace},
        {XKB_KEY_Return, Qt::Key_Return},
        {XKB_KEY_KP_Enter, Qt::Key_Enter},
        {XKB_KEY_Tab, Qt::Key_Tab},
        {XKB_KEY_ISO_Left_Tab, Qt::Key_Backtab},
        {XKB_KEY_Left, Qt::Key_Left},
        {XKB_KEY_Right, Qt::Key_Right},
        {XKB_KEY_Up, Qt::Key_Up},
        {XKB_KEY_Down, Qt::Key_Down},
        {XKB_KEY_Home, Qt::Key_Home},
        {XKB_KEY_End, Qt::Key_End},
        {XKB_KEY_space, Qt::Key_Space},
        {XKB_KEY_plus, Qt::Key_Plus},
        {XKB_KEY_KP_Add, Qt::Key_Plus},
        {XKB_KEY_minus, Qt::Key_Minus},
        {XKB_KEY_KP_Subtract, Qt::Key_Minus},
        {XKB_KEY_equal, Qt::Key_Equal},
        {XKB_KEY_question, Qt::Key_Question},
        {XKB_KEY_bracketleft, Qt::Key_BracketLeft},
        {XKB_KEY_bracketright, Qt::Key_BracketRight},
    };
    for (const auto &entry : table)
        if (entry.keysym == keysym)
            return entry.key;
    return Qt::Key_unknown;
}

namespace {

Qt::MouseButton qtButton(uint32_t code)
{
    switch (code) {
    case BTN_LEFT:
        return Qt::LeftButton;
    case BTN_RIGHT:
        return Qt::RightButton;
    case BTN_MIDDLE:
        return Qt::MiddleButton;
    case BTN_SIDE:
        return Qt::BackButton;
    case BTN_EXTRA:
        return Qt::ForwardButton;
    default:
        return Qt::NoButton;
    }
}

QPointF at(wl_fixed_t x, wl_fixed_t y)
{
    return QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
}

} // namespace

// The listeners, in the order the protocol numbers the events.
struct SeatInput::Handlers
{
    static SeatInput *self(void *data) { return static_cast<SeatInput *>(data); }

    static constexpr wl_seat_listener seat = {
        [](void *data, wl_seat *, uint32_t caps) { self(data)->setCapabilities(caps); },
        [](void *, wl_seat *, const char *) {},
    };

    static constexpr wl_pointer_listener pointer = {
        [](void *data, wl_pointer *, uint32_t, wl_surface *, wl_fixed_t x, wl_fixed_t y) {
            self(data)->m_position = at(x, y);
        },
        // Buttons held when the pointer leaves are let go where it left.
        [](void *data, wl_pointer *, uint32_t, wl_surface *) {
            SeatInput *s = self(data);
            for (Qt::MouseButton b :
                 {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton, Qt::BackButton, Qt::ForwardButton})
                if (s->m_buttons & b) {
                    s->m_buttons &= ~b;
                    emit s->pointerReleased(s->m_position, b, s->m_buttons, s->modifiers());
                }
        },
        [](void *data, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y) {
            SeatInput *s = self(data);
            s->m_position = at(x, y);
            emit s->pointerMoved(s->m_position, s->m_buttons, s->modifiers());
        },
        [](void *data, wl_pointer *, uint32_t, uint32_t, uint32_t code, uint32_t state) {
            self(data)->button(code, state == WL_POINTER_BUTTON_STATE_PRESSED);
        },
        [](void *data, wl_pointer *p, uint32_t, uint32_t axis, wl_fixed_t value) {
            SeatInput *s = self(data);
            const double v = wl_fixed_to_double(value);
            (axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? s->m_wheelPixels.ry() : s->m_wheelPixels.rx()) += v;
            s->m_wheelSeen = true;
            if (wl_pointer_get_version(p) < WL_POINTER_FRAME_SINCE_VERSION)
                s->flushWheel();
        },
        [](void *data, wl_pointer *) { self(data)->flushWheel(); },
        [](void *, wl_pointer *, uint32_t) {},
        [](void *, wl_pointer *, uint32_t, uint32_t) {},
        [](void *data, wl_pointer *, uint32_t axis, int32_t discrete) {
            SeatInput *s = self(data);
            (axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? s->m_wheelSteps.ry() : s->m_wheelSteps.rx()) += discrete;
        },
        [](void *, wl_pointer *, uint32_t, int32_t) {},
    };

    static constexpr wl_keyboard_listener keyboard = {
        [](void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size) {
            self(data)->setKeymap(fd, format, size);
        },
        [](void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {},
        [](void *data, wl_keyboard *, uint32_t, wl_surface *) { self(data)->m_repeat.stop(); },
        [](void *data, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state) {
            self(data)->key(key + 8, state == WL_KEYBOARD_KEY_STATE_PRESSED);
        },
        [](void *data, wl_keyboard *, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group) {
            if (xkb_state *state = self(data)->m_state)
                xkb_state_update_mask(state, depressed, latched, locked, 0, 0, group);
        },
        [](void *data, wl_keyboard *, int32_t rate, int32_t delay) {
            self(data)->m_repeatRate = std::max(rate, 0);
            self(data)->m_repeatDelay = std::max(delay, 0);
        },
    };

    // One touch point stands for the left button; others are not followed.
    static constexpr wl_touch_listener touch = {
        [](void *data, wl_touch *, uint32_t, uint32_t, wl_surface *, int32_t id, wl_fixed_t x, wl_fixed_t y) {
            SeatInput *s = self(data);
            if (s->m_touchId >= 0 || (s->m_buttons & Qt::LeftButton))
                return;
            s->m_touchId = id;
            s->m_position = at(x, y);
            s->m_buttons |= Qt::LeftButton;
            emit s->pointerPressed(s->m_position, Qt::LeftButton, s->m_buttons, s->modifiers());
        },
        [](void *data, wl_touch *, uint32_t, uint32_t, int32_t id) {
            SeatInput *s = self(data);
            if (id != s->m_touchId)
                return;
            s->m_touchId = -1;
            s->m_buttons &= ~Qt::LeftButton;
            emit s->pointerReleased(s->m_position, Qt::LeftButton, s->m_buttons, s->modifiers());
        },
        [](void *data, wl_touch *, uint32_t, int32_t id, wl_fixed_t x, wl_fixed_t y) {
            SeatInput *s = self(data);
            if (id != s->m_touchId)
                return;
            s->m_position = at(x, y);
            emit s->pointerMoved(s->m_position, s->m_buttons, s->modifiers());
        },
        [](void *, wl_touch *) {},
        [](void *data, wl_touch *) {
            SeatInput *s = self(data);
            if (s->m_touchId < 0)
                return;
            s->m_touchId = -1;
            s->m_buttons &= ~Qt::LeftButton;
            emit s->pointerReleased(s->m_position, Qt::LeftButton, s->m_buttons, s->modifiers());
        },
        [](void *, wl_touch *, int32_t, wl_fixed_t, wl_fixed_t) {},
        [](void *, wl_touch *, int32_t, wl_fixed_t) {},
    };
};

SeatInput::SeatInput(wl_seat *seat, QObject *parent) : QObject(parent), m_seat(seat)
{
    m_xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &SeatInput::repeat);
    if (m_seat)
        wl_seat_add_listener(m_seat, &Handlers::seat, this);
}

SeatInput::~SeatInput()
{
    setCapabilities(0);
    dropKeymap();
    if (m_xkb)
        xkb_context_unref(m_xkb);
}

void SeatInput::setCapabilities(uint32_t caps)
{
    const bool release = m_seat && wl_seat_get_version(m_seat) >= WL_POINTER_RELEASE_SINCE_VERSION;
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !m_pointer) {
        m_pointer = wl_seat_get_pointer(m_seat);
        wl_pointer_add_listener(m_pointer, &Handlers::pointer, this);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && m_pointer) {
        release ? wl_pointer_release(m_pointer) : wl_pointer_destroy(m_pointer);
        m_pointer = nullptr;
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !m_keyboard) {
        m_keyboard = wl_seat_get_keyboard(m_seat);
        wl_keyboard_add_listener(m_keyboard, &Handlers::keyboard, this);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && m_keyboard) {
        release ? wl_keyboard_release(m_keyboard) : wl_keyboard_destroy(m_keyboard);
        m_keyboard = nullptr;
        m_repeat.stop();
    }
    if ((caps & WL_SEAT_CAPABILITY_TOUCH) && !m_touch) {
        m_touch = wl_seat_get_touch(m_seat);
        wl_touch_add_listener(m_touch, &Handlers::touch, this);
    } else if (!(caps & WL_SEAT_CAPABILITY_TOUCH) && m_touch) {
        release ? wl_touch_release(m_touch) : wl_touch_destroy(m_touch);
        m_touch = nullptr;
        m_touchId = -1;
    }
}

void SeatInput::dropKeymap()
{
    m_repeat.stop();
    if (m_state)
        xkb_state_unref(m_state);
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    m_state = nullptr;
    m_keymap = nullptr;
}

void SeatInput::setKeymap(int fd, uint32_t format, uint32_t size)
{
    dropKeymap();
    // A keymap that cannot be read leaves the keyboard without keys, not the program without a way out.
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && m_xkb && size > 0 && size < (64u << 20)) {
        void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            // The text ends in a NUL within `size`; the length stops short of it.
            m_keymap = xkb_keymap_new_from_buffer(m_xkb, static_cast<const char *>(text),
                                                  strnlen(static_cast<const char *>(text), size),
                                                  XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
        }
    }
    if (fd >= 0)
        close(fd);
    if (m_keymap)
        m_state = xkb_state_new(m_keymap);
}

Qt::KeyboardModifiers SeatInput::modifiers() const
{
    Qt::KeyboardModifiers mods;
    if (!m_state)
        return mods;
    auto active = [this](const char *name) {
        return xkb_state_mod_name_is_active(m_state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT))
        mods |= Qt::ShiftModifier;
    if (active(XKB_MOD_NAME_CTRL))
        mods |= Qt::ControlModifier;
    if (active(XKB_MOD_NAME_ALT))
        mods |= Qt::AltModifier;
    if (active(XKB_MOD_NAME_LOGO))
        mods |= Qt::MetaModifier;
    return mods;
}

void SeatInput::key(uint32_t code, bool pressed)
{
    if (!m_state)
        return;
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_state, code);
    const int qtKey = qtKeyForKeysym(sym);
    Qt::KeyboardModifiers mods = modifiers();
    if (sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_Equal)
        mods |= Qt::KeypadModifier;
    if (!pressed) {
        if (code == m_repeatCode) {
            m_repeat.stop();
            m_repeatCode = 0;
        }
        emit keyReleased(qtKey, mods);
        return;
    }
    char text[64] = {};
    xkb_state_key_get_utf8(m_state, code, text, sizeof text);
    emit keyPressed(qtKey, mods, QString::fromUtf8(text), false);
    if (m_repeatRate > 0 && xkb_keymap_key_repeats(m_keymap, code)) {
        m_repeatCode = code;
        m_repeat.start(m_repeatDelay);
    } else {
        m_repeat.stop();
    }
}

void SeatInput::repeat()
{
    if (!m_state || m_repeatRate <= 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.setInterval(std::max(1, 1000 / m_repeatRate));
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_state, m_repeatCode);
    char text[64] = {};
    xkb_state_key_get_utf8(m_state, m_repeatCode, text, sizeof text);
    emit keyPressed(qtKeyForKeysym(sym), modifiers(), QString::fromUtf8(text), true);
}

void SeatInput::button(uint32_t code, bool pressed)
{
    const Qt::MouseButton b = qtButton(code);
    if (b == Qt::NoButton || bool(m_buttons & b) == pressed)
        return;
    m_buttons.setFlag(b, pressed);
    if (pressed)
        emit pointerPressed(m_position, b, m_buttons, modifiers());
    else
        emit pointerReleased(m_position, b, m_buttons, modifiers());
}

void SeatInput::flushWheel()
{
    if (!m_wheelSeen)
        return;
    // Wayland counts down and right as positive; Qt counts away from the user and left.
    const QPoint pixels(-qRound(m_wheelPixels.x()), -qRound(m_wheelPixels.y()));
    const QPoint angle = m_wheelSteps.isNull() ? pixels * 12 : -m_wheelSteps * 120;
    m_wheelPixels = QPointF();
    m_wheelSteps = QPoint();
    m_wheelSeen = false;
    emit wheel(m_position, angle, pixels);
}

void SeatInput::release()
{
    m_repeat.stop();
    m_repeatCode = 0;
    m_buttons = Qt::NoButton;
    m_touchId = -1;
}

} // namespace wayland
