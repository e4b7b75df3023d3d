#include "forms/KeysFirst.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace forms {

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

KeysFirst::KeysFirst(QWindow &window, Take take) : m_window(&window), m_take(std::move(take))
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *reply =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!reply)
        return;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    m_firstKeycode = setup->min_keycode;
    m_perKeycode = reply->keysyms_per_keycode;
    for (int i = 0; i < count && m_perKeycode > 0; ++i)
        m_keysyms.push_back(syms[i * m_perKeycode]);
    std::free(reply);
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_installed = true;
}

KeysFirst::~KeysFirst()
{
    if (m_installed && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

int KeysFirst::qtKey(std::uint8_t keycode) const
{
    const int at = keycode - m_firstKeycode;
    if (at < 0 || at >= int(m_keysyms.size()))
        return 0;
    const std::uint32_t sym = m_keysyms[at];
    if (sym >= 'a' && sym <= 'z') // XK_a..XK_z
        return Qt::Key_A + int(sym - 'a');
    if (sym >= 0xffbe && sym <= 0xffe0) // XK_F1..XK_F35
        return Qt::Key_F1 + int(sym - 0xffbe);
    return 0;
}

bool KeysFirst::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t" || !m_window || !m_window->handle())
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (!(key->state & (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1)) || key->event != xcb_window_t(m_window->winId()))
        return false;
    const int qt = qtKey(key->detail);
    if (!qt)
        return false;
    Qt::KeyboardModifiers modifiers;
    if (key->state & XCB_MOD_MASK_SHIFT)
        modifiers |= Qt::ShiftModifier;
    if (key->state & XCB_MOD_MASK_CONTROL)
        modifiers |= Qt::ControlModifier;
    if (key->state & XCB_MOD_MASK_1)
        modifiers |= Qt::AltModifier;
    return m_take(qt, modifiers);
}

} // namespace forms
