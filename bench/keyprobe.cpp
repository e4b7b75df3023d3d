// How long the drawing mode takes to come up, seen from outside the program:
// sends Ctrl+Shift+D through XTEST and times until a full-screen window is
// mapped (it shows the frozen screen from then on: until it paints, an X window
// without a background shows what lay under it, which is that very screen),
// with one more round trip to the server. Then Esc, and the next run.
//   keyprobe RUNS   prints one time in milliseconds per line
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "xtest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>

namespace {

xcb_connection_t *c;
xcb_screen_t *screen;

xcb_keycode_t keycode(xcb_keysym_t sym)
{
    return keycodeFor(c, sym);
}

void key(xcb_keycode_t code, bool down)
{
    sendKey(c, code, down);
}

// The next event, or none within `ms`.
xcb_generic_event_t *next(int ms)
{
    if (xcb_generic_event_t *e = xcb_poll_for_event(c))
        return e;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    if (poll(&p, 1, ms) <= 0)
        return nullptr;
    return xcb_poll_for_event(c);
}

// Waits for a full-screen window to be mapped (or unmapped); its id, or 0.
xcb_window_t waitFor(uint8_t kind, xcb_window_t which, int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        xcb_generic_event_t *e = next(50);
        if (!e)
            continue;
        xcb_window_t w = 0;
        if ((e->response_type & 0x7f) == kind)
            w = kind == XCB_MAP_NOTIFY ? reinterpret_cast<xcb_map_notify_event_t *>(e)->window
                                       : reinterpret_cast<xcb_unmap_notify_event_t *>(e)->window;
        free(e);
        if (!w || (which && w != which))
            continue;
        if (which)
            return w;
        auto *g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
        const bool full = g && g->width == screen->width_in_pixels && g->height == screen->height_in_pixels;
        free(g);
        if (full)
            return w;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_keycode_t ctrl = keycode(0xffe3), shift = keycode(0xffe1), d = keycode(0x64), esc = keycode(0xff1b);
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        key(ctrl, true), key(shift, true), key(d, true), key(d, false), key(shift, false), key(ctrl, false);
        xcb_flush(c);
        const xcb_window_t mode = waitFor(XCB_MAP_NOTIFY, 0, 20000);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!mode) {
            std::fprintf(stderr, "the drawing mode did not come up\n");
            return 1;
        }
        std::printf("%.1f\n", ms);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        key(esc, true), key(esc, false);
        xcb_flush(c);
        waitFor(XCB_UNMAP_NOTIFY, mode, 20000);
        std::this_thread::sleep_for(std::chrono::milliseconds(800)); // the main window comes back
    }
    xcb_disconnect(c);
    return 0;
}
