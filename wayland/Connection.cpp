#include "wayland/Connection.h"

#include <wayland-client.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace wayland {

namespace {

void onGlobal(void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version)
{
    static_cast<Connection *>(data)->addGlobal(name, interface, version);
}

void onGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    static_cast<Connection *>(data)->removeGlobal(name);
}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

Connection::Output *outputFor(void *data, wl_output *proxy)
{
    return static_cast<Connection *>(data)->outputOf(proxy);
}

void onGeometry(void *data, wl_output *proxy, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *,
                const char *, int32_t transform)
{
    if (Connection::Output *o = outputFor(data, proxy)) {
        o->position = QPoint(x, y);
        o->transform = transform;
    }
}

void onMode(void *, wl_output *, uint32_t, int32_t, int32_t, int32_t) {}
void onDone(void *, wl_output *) {}

void onScale(void *data, wl_output *proxy, int32_t factor)
{
    if (Connection::Output *o = outputFor(data, proxy))
        o->scale = factor;
}

void onName(void *data, wl_output *proxy, const char *name)
{
    if (Connection::Output *o = outputFor(data, proxy))
        o->name = QString::fromUtf8(name);
}

void onDescription(void *, wl_output *, const char *) {}

const wl_output_listener outputListener = {onGeometry, onMode, onDone, onScale, onName, onDescription};

} // namespace

std::unique_ptr<Connection> Connection::open(int timeoutMs)
{
    std::unique_ptr<Connection> c(new Connection);
    c->m_display = wl_display_connect(nullptr);
    if (!c->m_display)
        return nullptr;
    c->m_registry = wl_display_get_registry(c->m_display);
    wl_registry_add_listener(c->m_registry, &registryListener, c.get());
    if (!c->roundtrip(timeoutMs))
        return nullptr;
    if (const Global *shm = c->global("wl_shm"))
        c->m_shm = static_cast<wl_shm *>(c->bind(*shm, &wl_shm_interface, 1));
    for (const Global &g : c->m_globals) {
        if (g.interface != QLatin1String("wl_output"))
            continue;
        Output output;
        output.global = g.name;
        // Version 4 names the output; older ones leave it to the position.
        output.proxy = static_cast<wl_output *>(c->bind(g, &wl_output_interface, 4));
        c->m_outputs.push_back(output);
    }
    for (Output &o : c->m_outputs)
        wl_output_add_listener(o.proxy, &outputListener, c.get());
    if (!c->roundtrip(timeoutMs))
        return nullptr;
    return c;
}

Connection::~Connection()
{
    if (!m_display)
        return;
    for (Output &o : m_outputs)
        if (wl_output_get_version(o.proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(o.proxy);
        else
            wl_output_destroy(o.proxy);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void Connection::addGlobal(uint32_t name, const char *interface, uint32_t version)
{
    m_globals.push_back({name, QString::fromUtf8(interface), version});
}

void Connection::removeGlobal(uint32_t name)
{
    m_globals.erase(
        std::remove_if(m_globals.begin(), m_globals.end(), [name](const Global &g) { return g.name == name; }),
        m_globals.end());
}

Connection::Output *Connection::outputOf(wl_output *proxy)
{
    for (Output &o : m_outputs)
        if (o.proxy == proxy)
            return &o;
    return nullptr;
}

const Connection::Output *Connection::output(const QString &name, QPoint position) const
{
    const bool named =
        std::any_of(m_outputs.begin(), m_outputs.end(), [](const Output &o) { return !o.name.isEmpty(); });
    for (const Output &o : m_outputs)
        if (named ? o.name == name : o.position == position)
            return &o;
    return nullptr;
}

const Connection::Global *Connection::global(const char *interface) const
{
    for (const Global &g : m_globals)
        if (g.interface == QLatin1String(interface))
            return &g;
    return nullptr;
}

void *Connection::bind(const Global &global, const wl_interface *interface, uint32_t version) const
{
    return wl_registry_bind(m_registry, global.name, interface, std::min(global.version, version));
}

bool Connection::dispatchUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return false;
        if (done())
            return true;
        if (wl_display_prepare_read(m_display) != 0)
            continue; // events came in meanwhile: dispatch them first
        // Everything we sent must reach the compositor before we wait for its answer.
        while (wl_display_flush(m_display) < 0 && errno == EAGAIN) {
            pollfd out{wl_display_get_fd(m_display), POLLOUT, 0};
            ::poll(&out, 1, 100);
        }
        const int left = timeoutMs - int(clock.elapsed());
        pollfd in{wl_display_get_fd(m_display), POLLIN, 0};
        const int ready = left > 0 ? ::poll(&in, 1, left) : 0;
        if (ready <= 0) {
            wl_display_cancel_read(m_display);
            if (ready < 0 && errno == EINTR)
                continue;
            return false;
        }
        if (wl_display_read_events(m_display) < 0)
            return false;
    }
    return true;
}

bool Connection::roundtrip(int timeoutMs)
{
    bool answered = false;
    static const wl_callback_listener listener = {[](void *data, wl_callback *callback, uint32_t) {
        *static_cast<bool *>(data) = true;
        wl_callback_destroy(callback);
    }};
    wl_callback *callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &listener, &answered);
    if (dispatchUntil([&answered] { return answered; }, timeoutMs))
        return true;
    // No answer in time: the callback must not write to `answered` later.
    wl_callback_destroy(callback);
    return false;
}

} // namespace wayland
