// The live drawing mode seen from outside the program, on X11: sends
// Ctrl+Shift+L through XTEST and times until the see-through window is mapped
// (entering); then Ctrl+Shift+L again, timed until its input shape changes
// (switching to letting through, and back); in between, the program's CPU time
// over a stretch of idle seconds while it lets the pointer through with ink on
// the screen. Then Esc, and the next run.
//   liveprobe PID RUNS IDLE_SECONDS
// prints "enter MS", "switch MS" and "idle CPU_MS" lines.
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "xtest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

xcb_connection_t *c;
xcb_screen_t *screen;
uint8_t shapeEvent = 0;
using Clock = std::chrono::steady_clock;

xcb_keycode_t keycode(xcb_keysym_t sym)
{
    return keycodeFor(c, sym);
}

void key(xcb_keycode_t code, bool down)
{
    sendKey(c, code, down);
}

void button(bool down, int x, int y)
{
    if (down)
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root, int16_t(x), int16_t(y), 0);
    xcb_test_fake_input(c, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

// Waits for an event of this kind (about `which`, when given); the window, or 0.
xcb_window_t waitFor(uint8_t kind, xcb_window_t which, int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        xcb_generic_event_t *e = xcb_poll_for_event(c);
        if (!e) {
            pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&p, 1, 50);
            continue;
        }
        const uint8_t type = e->response_type & 0x7f;
        xcb_window_t w = 0;
        if (type == kind && kind == XCB_MAP_NOTIFY)
            w = reinterpret_cast<xcb_map_notify_event_t *>(e)->window;
        else if (type == kind && kind == XCB_UNMAP_NOTIFY)
            w = reinterpret_cast<xcb_unmap_notify_event_t *>(e)->window;
        else if (type == kind && kind == shapeEvent) {
            auto *s = reinterpret_cast<xcb_shape_notify_event_t *>(e);
            w = s->shape_kind == XCB_SHAPE_SK_INPUT ? s->affected_window : 0;
        }
        free(e);
        if (w && (!which || w == which))
            return w;
    }
    return 0;
}

double since(Clock::time_point start)
{
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // one more round trip
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The process's CPU time so far, in milliseconds.
double cpuMs(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 0; i < 13 && stat >> field; ++i) {
    }
    long user = 0, system = 0;
    stat >> user >> system;
    return 1000.0 * double(user + system) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    const int pid = argc > 1 ? std::atoi(argv[1]) : 0;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const int idle = argc > 3 ? std::atoi(argv[3]) : 10;
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    shapeEvent = xcb_get_extension_data(c, &xcb_shape_id)->first_event + XCB_SHAPE_NOTIFY;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_keycode_t ctrl = keycode(0xffe3), shift = keycode(0xffe1), l = keycode(0x6c), esc = keycode(0xff1b);
    auto liveKey = [&] {
        key(ctrl, true), key(shift, true), key(l, true), key(l, false), key(shift, false), key(ctrl, false);
        xcb_flush(c);
    };
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        liveKey();
        const xcb_window_t live = waitFor(XCB_MAP_NOTIFY, 0, 20000);
        if (!live) {
            std::fprintf(stderr, "the live mode did not come up\n");
            return 1;
        }
        std::printf("enter %.1f\n", since(start));
        xcb_shape_select_input(c, live, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        button(true, 200, 200), button(false, 0, 0); // a dot of ink
        button(true, 300, 240), button(false, 0, 0);
        xcb_flush(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int turn = 0; turn < 2; ++turn) {
            start = Clock::now();
            liveKey();
            if (!waitFor(shapeEvent, live, 5000)) {
                std::fprintf(stderr, "the input shape did not change\n");
                return 1;
            }
            std::printf("switch %.1f\n", since(start));
            std::fflush(stdout);
            if (turn == 0 && i == 0 && pid > 0 && idle > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                const double before = cpuMs(pid);
                std::this_thread::sleep_for(std::chrono::seconds(idle));
                std::printf("idle %.1f\n", cpuMs(pid) - before);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        key(esc, true), key(esc, false);
        xcb_flush(c);
        waitFor(XCB_UNMAP_NOTIFY, live, 20000);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    xcb_disconnect(c);
    return 0;
}
