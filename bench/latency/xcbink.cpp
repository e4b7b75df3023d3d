// The fastest ink an X program can have: each segment drawn straight on the
// window with the server's own line request, as its motion event comes.
//   xcbink X Y W H [late MS | aside]   prints the window's id once it is on show
// "late" draws each segment MS milliseconds after its event, "aside" 40 pixels
// below the pointer: both let the probe check itself.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: xcbink X Y W H [late MS | aside]\n");
        return 1;
    }
    const auto x = int16_t(std::atoi(argv[1])), y = int16_t(std::atoi(argv[2]));
    const auto w = uint16_t(std::atoi(argv[3])), h = uint16_t(std::atoi(argv[4]));
    const bool late = argc > 6 && !std::strcmp(argv[5], "late");
    const int lateMs = late ? std::atoi(argv[6]) : 0;
    const int16_t aside = argc > 5 && !std::strcmp(argv[5], "aside") ? 40 : 0;

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                                        XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_MOTION};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char title[] = "xcbink";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1,
                        title);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t gcValues[] = {screen->black_pixel, 0};
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND | XCB_GC_LINE_WIDTH, gcValues);
    xcb_map_window(c, window);
    xcb_flush(c);

    bool shown = false;
    xcb_point_t last{0, 0};
    while (xcb_generic_event_t *e = xcb_wait_for_event(c)) {
        switch (e->response_type & 0x7f) {
        case XCB_EXPOSE:
            if (!shown) {
                shown = true;
                std::printf("%u\n", window);
                std::fflush(stdout);
            }
            break;
        case XCB_BUTTON_PRESS: {
            auto *b = reinterpret_cast<xcb_button_press_event_t *>(e);
            last = {b->event_x, b->event_y};
            break;
        }
        case XCB_MOTION_NOTIFY: {
            auto *m = reinterpret_cast<xcb_motion_notify_event_t *>(e);
            const xcb_point_t to{m->event_x, m->event_y};
            if (late)
                std::this_thread::sleep_for(std::chrono::milliseconds(lateMs));
            const xcb_point_t line[] = {{last.x, int16_t(last.y + aside)}, {to.x, int16_t(to.y + aside)}};
            xcb_poly_line(c, XCB_COORD_MODE_ORIGIN, window, gc, 2, line);
            xcb_flush(c);
            last = to;
            break;
        }
        default:
            break;
        }
        free(e);
    }
    return 0;
}
