#pragma once
// Keys sent through XTEST, for the probes that time the program from outside.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>

// The key that types this keysym on the server's keyboard map; 0 if none does.
inline xcb_keycode_t keycodeFor(xcb_connection_t *c, xcb_keysym_t sym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto *reply = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    xcb_keycode_t found = 0;
    for (int i = 0; i < count && !found; ++i)
        for (int j = 0; j < reply->keysyms_per_keycode && !found; ++j)
            if (syms[i * reply->keysyms_per_keycode + j] == sym)
                found = xcb_keycode_t(setup->min_keycode + i);
    std::free(reply);
    return found;
}

inline void sendKey(xcb_connection_t *c, xcb_keycode_t code, bool down)
{
    xcb_test_fake_input(c, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}
