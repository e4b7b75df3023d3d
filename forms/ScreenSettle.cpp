#include "forms/ScreenSettle.h"

#include "forms/X11Window.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <QThread>
#include <chrono>
#include <cstdlib>
#include <poll.h>

namespace forms {

using Clock = std::chrono::steady_clock;

// A connection of its own: the program's is read by Qt, which would take the
// events.
struct ScreenSettle::Watch
{
    xcb_connection_t *c = nullptr;
    xcb_damage_damage_t damage = 0;
    std::uint8_t notify = 0;

    ~Watch()
    {
        if (damage)
            xcb_damage_destroy(c, damage);
        if (c)
            xcb_disconnect(c);
    }

    bool open()
    {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c))
            return false;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_damage_id);
        if (!ext || !ext->present)
            return false;
        std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
        notify = std::uint8_t(ext->first_event + XCB_DAMAGE_NOTIFY);
        damage = xcb_generate_id(c);
        xcb_damage_create(c, damage, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                          XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        // Answered only once the server has made it: changes from now on count.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return !xcb_connection_has_error(c);
    }

    // Whether the screen changed since the last call; the next change raises a
    // new report.
    bool changed()
    {
        bool hit = false;
        while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
            hit = hit || (e->response_type & 0x7f) == notify;
            std::free(e);
        }
        if (hit) {
            xcb_damage_subtract(c, damage, XCB_NONE, XCB_NONE);
            xcb_flush(c);
        }
        return hit;
    }
};

ScreenSettle::ScreenSettle()
{
    if (!x11::active())
        return;
    m_watch = std::make_unique<Watch>();
    if (!m_watch->open())
        m_watch.reset();
}

ScreenSettle::~ScreenSettle() = default;

bool ScreenSettle::watching() const
{
    return m_watch != nullptr;
}

void ScreenSettle::wait(int quietMs, int limitMs)
{
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(limitMs);
    if (!m_watch) {
        QThread::msleep(unsigned(limitMs));
        return;
    }
    bool changed = false;
    Clock::time_point last;
    for (;;) {
        if (m_watch->changed()) {
            changed = true;
            last = Clock::now();
        }
        const Clock::time_point until = changed ? std::min(limit, last + std::chrono::milliseconds(quietMs)) : limit;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(m_watch->c))
            return;
        pollfd p{xcb_get_file_descriptor(m_watch->c), POLLIN, 0};
        poll(&p, 1, int(left));
    }
}

} // namespace forms
