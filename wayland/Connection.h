#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_output;
struct wl_shm;

namespace wayland {

// A Wayland connection of the program's own, beside Qt's, for the
// compositor's extensions that Qt does not speak (taking an output's pixels,
// a surface over the desktop). It holds the globals it was offered, binds the
// shared-memory global and every output, and dispatches its own events only,
// always with a time limit.
class Connection
{
public:
    struct Output
    {
        wl_output *proxy = nullptr;
        uint32_t global = 0;
        QString name;    // the connector's name, as Qt names the screen
        QPoint position; // in the desktop's layout
        int32_t scale = 1;
        int32_t transform = 0; // wl_output.transform; 0 is upright
    };
    struct Global
    {
        uint32_t name = 0;
        QString interface;
        uint32_t version = 0;
    };

    // Connects to the compositor Qt talks to ($WAYLAND_DISPLAY); null where
    // there is none or it does not answer.
    static std::unique_ptr<Connection> open(int timeoutMs = 5000);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    wl_display *display() const { return m_display; }
    wl_registry *registry() const { return m_registry; }
    wl_shm *shm() const { return m_shm; }
    const std::vector<Output> &outputs() const { return m_outputs; }
    // The output of that name; by its position where the compositor names none.
    const Output *output(const QString &name, QPoint position) const;
    // The global of that interface, if offered.
    const Global *global(const char *interface) const;
    // Binds a global at the lower of its version and `version`.
    void *bind(const Global &global, const wl_interface *interface, uint32_t version) const;

    // Sends what is pending and dispatches events until `done` says so, the
    // connection breaks, or `timeoutMs` pass. True when `done` said so.
    bool dispatchUntil(const std::function<bool()> &done, int timeoutMs);
    // Until the compositor has answered everything sent so far.
    bool roundtrip(int timeoutMs);

    // For the listeners.
    void addGlobal(uint32_t name, const char *interface, uint32_t version);
    void removeGlobal(uint32_t name);
    Output *outputOf(wl_output *proxy);

private:
    Connection() = default;

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_shm *m_shm = nullptr;
    std::vector<Global> m_globals;
    std::vector<Output> m_outputs;
};

} // namespace wayland
