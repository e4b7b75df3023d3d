// How long ink takes to reach the X server, seen from outside the drawing program.
// A button is held and the pointer moved with XTEST, one step at a time; the time
// runs from the move until the new segment's pixels are on the server. The probe
// sleeps on DAMAGE events from the root window and reads back only a few pixels
// after each: on two cores it must not take time from the program it measures.
//
//   inkprobe measure SAMPLES STEP ROWGAP TIMEOUT_MS TARGET...
//       SAMPLES moves on each target, a row of them at a time on each in turn;
//       prints "TARGET MILLISECONDS" per move, targets counted from 0
//   inkprobe strokes COUNT TARGET
//       COUNT quick strokes of 20 moves each inside the target's area, then waits
//       until the window has drawn them all
//   inkprobe ink 0 TARGET
//       prints how many pixels of the target's area are not white
// A target is WINDOW,X,Y,W,H: the area in the window's pixels, or the screen's
// with WINDOW 0; WINDOW,X,Y,W,H,band drags a rectangle instead (Ctrl held as the
// button goes down 40 pixels above the row), whose lower side follows the moves. Moves go STEP pixels right; rows lie
// ROWGAP pixels apart. measure ends with status 2 when more than one move in fifty on a target found no ink.
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_connection_t *c;
xcb_window_t root;
uint8_t damageEvent;
xcb_damage_damage_t damage;

struct Area
{
    int x, y, w, h; // screen pixels
};

void fail(const char *what)
{
    std::fprintf(stderr, "inkprobe: %s\n", what);
    std::exit(1);
}

void motion(int x, int y)
{
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
}

void key(xcb_keycode_t code, bool down)
{
    xcb_test_fake_input(c, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

xcb_keycode_t keycode(xcb_keysym_t sym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto *reply = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (!reply)
        fail("no keyboard mapping");
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    xcb_keycode_t found = 0;
    for (int i = 0; i < count * reply->keysyms_per_keycode && !found; ++i)
        if (syms[i] == sym)
            found = xcb_keycode_t(setup->min_keycode + i / reply->keysyms_per_keycode);
    free(reply);
    return found;
}

void button(bool down)
{
    xcb_test_fake_input(c, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

// Empties the damage region so that the next change raises a new event, and drops
// the events already queued.
void rearm()
{
    xcb_damage_subtract(c, damage, XCB_NONE, XCB_NONE);
    while (xcb_generic_event_t *e = xcb_poll_for_event(c))
        free(e);
}

// Sleeps until the server reports damage, or `until` passes.
bool waitForDamage(Clock::time_point until)
{
    for (;;) {
        while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
            const bool hit = (e->response_type & 0x7f) == damageEvent + XCB_DAMAGE_NOTIFY;
            free(e);
            if (hit)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&p, 1, int(left) + 1);
        if (xcb_connection_has_error(c))
            fail("lost the X connection");
    }
}

std::vector<uint8_t> pixels(int x, int y, int w, int h)
{
    auto *reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h), ~0u),
        nullptr);
    if (!reply)
        fail("cannot read the screen there");
    const uint8_t *data = xcb_get_image_data(reply);
    std::vector<uint8_t> out(data, data + xcb_get_image_data_length(reply));
    free(reply);
    return out;
}

// Waits until the window has stopped drawing: no damage for `quietMs`.
void settle(int quietMs, int limitMs)
{
    const auto limit = Clock::now() + std::chrono::milliseconds(limitMs);
    rearm();
    while (Clock::now() < limit && waitForDamage(std::min(limit, Clock::now() + std::chrono::milliseconds(quietMs))))
        rearm();
}

// One sample: the pointer goes from (x, y) to (x + step, y) with the button held;
// the ink is there once the pixels of the segment's far half, a little wider than
// the line, differ from what they were before the move. The near half is left out:
// a round end of the last segment may reach into it.
double sample(int x, int y, int step, int timeoutMs)
{
    const int cx = x + step / 2 + 2, cw = step - step / 2 - 2;
    rearm();
    const std::vector<uint8_t> before = pixels(cx, y - 1, cw, 3);
    const auto start = Clock::now();
    motion(x + step, y);
    xcb_flush(c);
    const auto until = start + std::chrono::milliseconds(timeoutMs);
    while (waitForDamage(until)) {
        rearm();
        if (pixels(cx, y - 1, cw, 3) != before)
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    return -1;
}

// The area in screen pixels: window pixels moved by the window's place.
Area onScreen(xcb_window_t window, Area a)
{
    if (!window)
        return a;
    auto *t = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, int16_t(a.x), int16_t(a.y)),
                                              nullptr);
    if (!t)
        fail("no such window");
    a.x = t->dst_x, a.y = t->dst_y;
    free(t);
    return a;
}

// Where one window's samples go: rows across its area, one after another.
struct Target
{
    xcb_window_t window;
    Area area;
    bool band = false;
    int row = 0, done = 0, missed = 0;
};

// One row of samples on a target, brought to the top first: several windows can
// take turns, so that a spell of load on the machine falls on all of them alike.
void measureRow(Target &t, int index, int samples, int step, int rowGap, int timeoutMs)
{
    const int margin = 8;
    const Area &a = t.area;
    // Rows of at most 50 moves, a quarter of a second or so: the turns stay short
    // next to a spell of load even on a 4K screen.
    const int perRow = std::min(50, (a.w - 2 * margin) / step);
    const int y = a.y + margin + t.row++ * rowGap;
    if (perRow < 1 || y > a.y + a.h - margin)
        fail("the area is too small for that many samples");
    if (t.window) {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, t.window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    int x = a.x + margin;
    motion(x, t.band ? std::max(a.y, y - 40) : y);
    xcb_flush(c);
    settle(30, 2000);                                     // what the raise uncovered, repainted
    static const xcb_keycode_t control = keycode(0xffe3); // Control_L
    if (t.band)
        key(control, true);
    button(true);
    if (t.band) {
        key(control, false);
        motion(x, y);
    }
    xcb_flush(c);
    settle(30, 2000); // the dot that a press makes
    for (int i = 0; i < perRow && t.done < samples; ++i, ++t.done, x += step) {
        const double ms = sample(x, y, step, timeoutMs);
        if (ms < 0)
            ++t.missed;
        else
            std::printf("%d %.3f\n", index, ms);
        // Hands move in steps a few milliseconds apart; the pause also lets the
        // program go idle as it would between real events.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    button(false);
    xcb_flush(c);
    settle(30, 2000);
}

int measure(std::vector<Target> &targets, int samples, int step, int rowGap, int timeoutMs)
{
    for (bool more = true; more;) {
        more = false;
        for (size_t i = 0; i < targets.size(); ++i)
            if (targets[i].done < samples) {
                measureRow(targets[i], int(i), samples, step, rowGap, timeoutMs);
                more = true;
            }
    }
    std::fflush(stdout);
    int status = 0;
    for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i].missed) {
            std::fprintf(stderr, "inkprobe: target %zu: %d of %d moves showed no ink within %d ms\n", i,
                         targets[i].missed, samples, timeoutMs);
            if (targets[i].missed * 50 > samples)
                status = 2;
        }
    return status;
}

// Quick strokes, as a long session leaves them; the window draws them at its pace.
int strokes(Area a, int count)
{
    for (int s = 0; s < count; ++s) {
        const int y = a.y + 4 + (s * 7) % std::max(1, a.h - 8);
        const int x0 = a.x + 4 + (s * 13) % std::max(1, a.w / 2);
        motion(x0, y);
        button(true);
        for (int i = 1; i <= 20; ++i)
            motion(std::min(a.x + a.w - 4, x0 + i * 9), y + (i & 3));
        button(false);
        if (s % 50 == 49) {
            // Let the window keep up: the whole session queued at once would only
            // measure the server's queue.
            free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
            settle(20, 5000);
        }
    }
    xcb_flush(c);
    settle(300, 60000);
    return 0;
}

} // namespace

// WINDOW,X,Y,W,H
Target target(const char *text)
{
    unsigned long window = 0;
    Area a{};
    char how[8] = {};
    const int n = std::sscanf(text, "%lu,%d,%d,%d,%d,%7s", &window, &a.x, &a.y, &a.w, &a.h, how);
    if (n < 5 || (n == 6 && std::strcmp(how, "band") != 0))
        fail("a target is WINDOW,X,Y,W,H or WINDOW,X,Y,W,H,band");
    return {xcb_window_t(window), onScreen(xcb_window_t(window), a), n == 6};
}

int main(int argc, char **argv)
{
    if (argc < 4)
        fail("usage: inkprobe measure SAMPLES STEP ROWGAP TIMEOUT_MS TARGET... | strokes COUNT TARGET | ink 0 TARGET");
    const std::string mode = argv[1];
    const int count = std::atoi(argv[2]);
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        fail("cannot connect to the X server");
    root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_damage_id);
    if (!ext || !ext->present)
        fail("the server has no DAMAGE extension");
    damageEvent = ext->first_event;
    free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    // The root window's damage covers every window on it: the program's own, and
    // any overlay it draws its ink in.
    damage = xcb_generate_id(c);
    xcb_damage_create(c, damage, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    int status = 0;
    if (mode == "measure" && argc > 6) {
        std::vector<Target> targets;
        for (int i = 6; i < argc; ++i)
            targets.push_back(target(argv[i]));
        status = measure(targets, count, std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    } else if (mode == "strokes") {
        status = strokes(target(argv[3]).area, count);
    } else if (mode == "ink") {
        const Area a = target(argv[3]).area;
        const std::vector<uint8_t> image = pixels(a.x, a.y, a.w, a.h);
        long n = 0;
        for (size_t i = 0; i + 3 < image.size(); i += 4)
            n += (image[i] & image[i + 1] & image[i + 2]) != 0xFF;
        std::printf("%ld\n", n);
    } else {
        fail("the mode is measure, strokes or ink");
    }
    xcb_disconnect(c);
    return status;
}
