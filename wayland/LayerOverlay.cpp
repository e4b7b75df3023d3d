#include "wayland/LayerOverlay.h"

#include "wayland/Connection.h"
#include "wayland/SeatInput.h"

// The protocol names an argument `namespace`, a word C++ keeps for itself.
#define namespace namespace_
#include "layershell-client-protocol.h"
#undef namespace

#include <wayland-client.h>

#include <QSocketNotifier>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

// Shared memory the compositor reads the picture from.
struct LayerOverlay::Buffer
{
    LayerOverlay *owner = nullptr;
    int fd = -1;
    uchar *data = nullptr;
    std::size_t size = 0;
    int stride = 0;
    wl_buffer *buffer = nullptr;
    bool busy = false; // the compositor holds it

    ~Buffer()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data)
            munmap(data, size);
        if (fd >= 0)
            ::close(fd);
    }
};

struct LayerOverlay::Handlers
{
    static constexpr zwlr_layer_surface_v1_listener layer = {
        [](void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t width, uint32_t height) {
            static_cast<LayerOverlay *>(data)->configure(serial, width, height);
        },
        [](void *data, zwlr_layer_surface_v1 *) { static_cast<LayerOverlay *>(data)->lose(); },
    };
    static constexpr wl_callback_listener frame = {
        [](void *data, wl_callback *, uint32_t) { static_cast<LayerOverlay *>(data)->frameDone(); },
    };
    static constexpr wl_buffer_listener buffer = {
        [](void *data, wl_buffer *) {
            auto *b = static_cast<Buffer *>(data);
            b->busy = false;
            b->owner->bufferReleased();
        },
    };
};

LayerOverlay::LayerOverlay(QObject *parent) : QObject(parent) {}

LayerOverlay::~LayerOverlay()
{
    close();
}

QString LayerOverlay::lacking(const QStringList &offered)
{
    static const struct
    {
        const char *interface;
        const char *why;
    } needed[] = {
        {"wl_compositor", "The Wayland compositor offers no surfaces (wl_compositor)."},
        {"wl_shm", "The Wayland compositor offers no shared memory (wl_shm)."},
        {"zwlr_layer_shell_v1", "The Wayland compositor has no layer shell (zwlr_layer_shell_v1) to put the "
                                "overlay over the windows."},
    };
    for (const auto &n : needed)
        if (!offered.contains(QLatin1String(n.interface)))
            return QString::fromLatin1(n.why);
    return {};
}

bool LayerOverlay::fail(const QString &why)
{
    close();
    m_error = why;
    return false;
}

bool LayerOverlay::open(const QString &outputName)
{
    close();
    m_error.clear();
    m_connection = Connection::open(2000);
    if (!m_connection)
        return fail(QStringLiteral("No Wayland compositor answers at WAYLAND_DISPLAY."));
    QStringList offered;
    for (const char *name : {"wl_compositor", "wl_shm", "wl_seat", zwlr_layer_shell_v1_interface.name})
        if (m_connection->global(name))
            offered << QLatin1String(name);
    if (const QString why = lacking(offered); !why.isEmpty())
        return fail(why);
    const Connection::Global *compositor = m_connection->global("wl_compositor");
    if (compositor->version < WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        return fail(QStringLiteral("The Wayland compositor is too old (wl_compositor %1).").arg(compositor->version));
    const Connection::Output *output = nullptr;
    if (!outputName.isEmpty() && !(output = m_connection->output(outputName, QPoint(INT_MIN, INT_MIN))))
        return fail(QStringLiteral("The Wayland compositor has no output named %1.").arg(outputName));
    m_output = output ? output->global : 0;
    m_scale = output ? std::max(1, output->scale) : 1;

    m_compositor = static_cast<wl_compositor *>(m_connection->bind(*compositor, &wl_compositor_interface, 4));
    m_shell = static_cast<zwlr_layer_shell_v1 *>(m_connection->bind(
        *m_connection->global(zwlr_layer_shell_v1_interface.name), &zwlr_layer_shell_v1_interface, 4));
    if (const Connection::Global *seat = m_connection->global("wl_seat"))
        listenTo(static_cast<wl_seat *>(m_connection->bind(*seat, &wl_seat_interface, 5)));
    m_surface = wl_compositor_create_surface(m_compositor);
    m_layer = zwlr_layer_shell_v1_get_layer_surface(m_shell, m_surface, output ? output->proxy : nullptr,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "sketrin");
    zwlr_layer_surface_v1_add_listener(m_layer, &Handlers::layer, this);
    zwlr_layer_surface_v1_set_anchor(m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(m_layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    m_passThrough = false;
    wl_surface_commit(m_surface);
    if (!m_connection->dispatchUntil([this] { return m_configured || m_lost; }, 2000) || m_lost)
        return fail(QStringLiteral("The Wayland compositor did not place the overlay."));

    const int fd = wl_display_get_fd(m_connection->display());
    m_reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &LayerOverlay::readEvents);
    m_writer = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writer->setEnabled(false);
    connect(m_writer, &QSocketNotifier::activated, this, &LayerOverlay::flush);
    flush();
    return true;
}

void LayerOverlay::listenTo(wl_seat *seat)
{
    m_seat = seat;
    m_input = new SeatInput(m_seat, this);
    // Queued: a slot may end the overlay while the connection is still reading.
    const auto q = Qt::QueuedConnection;
    connect(m_input, &SeatInput::pointerPressed, this, &LayerOverlay::pointerPressed, q);
    connect(m_input, &SeatInput::pointerMoved, this, &LayerOverlay::pointerMoved, q);
    connect(m_input, &SeatInput::pointerReleased, this, &LayerOverlay::pointerReleased, q);
    connect(m_input, &SeatInput::wheel, this, &LayerOverlay::wheel, q);
    connect(m_input, &SeatInput::keyPressed, this, &LayerOverlay::keyPressed, q);
    connect(m_input, &SeatInput::keyReleased, this, &LayerOverlay::keyReleased, q);
}

void LayerOverlay::close()
{
    delete m_reader;
    delete m_writer;
    m_reader = m_writer = nullptr;
    delete m_input; // before the seat it listens to
    m_input = nullptr;
    m_buffers.clear();
    if (m_frame)
        wl_callback_destroy(m_frame);
    if (m_layer)
        zwlr_layer_surface_v1_destroy(m_layer);
    if (m_surface)
        wl_surface_destroy(m_surface);
    if (m_shell)
        zwlr_layer_shell_v1_get_version(m_shell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION
            ? zwlr_layer_shell_v1_destroy(m_shell)
            : wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_shell));
    if (m_seat)
        wl_seat_get_version(m_seat) >= WL_SEAT_RELEASE_SINCE_VERSION ? wl_seat_release(m_seat)
                                                                     : wl_seat_destroy(m_seat);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_connection && !m_lost)
        wl_display_flush(m_connection->display());
    m_connection.reset();
    m_frame = nullptr;
    m_layer = nullptr;
    m_surface = nullptr;
    m_shell = nullptr;
    m_seat = nullptr;
    m_compositor = nullptr;
    m_configured = m_shown = m_lost = false;
    m_size = QSize();
    m_pending = -1;
    m_damage = m_lateRegion = QRegion();
    m_late = QImage();
}

void LayerOverlay::configure(uint32_t serial, uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    int scale = m_scale;
    if (m_output)
        for (const Connection::Output &o : m_connection->outputs())
            if (o.global == m_output)
                scale = std::max(1, o.scale);
    // Anchored to every edge, the overlay is as large as the output; a size
    // beyond any screen is not believed.
    const QSize size(int(std::min(width, 16384u)), int(std::min(height, 16384u)));
    const bool changed = size != m_size || scale != m_scale;
    m_configured = true;
    m_size = size;
    m_scale = scale;
    if (!changed)
        return;
    m_buffers.clear();
    m_ledger.reset(QRect(QPoint(), pictureSize()));
    m_pending = -1;
    m_damage = m_lateRegion = QRegion();
    m_late = QImage();
    m_shown = false;
    if (m_reader) // not while open() waits for the first size
        QMetaObject::invokeMethod(
            this, [this, size, scale] { emit resized(size, scale); }, Qt::QueuedConnection);
}

int LayerOverlay::freeBuffer()
{
    for (std::size_t i = 0; i < m_buffers.size(); ++i)
        if (!m_buffers[i]->busy)
            return int(i);
    if (int(m_buffers.size()) >= BufferCount || pictureSize().isEmpty())
        return -1;
    auto b = std::make_unique<Buffer>();
    b->owner = this;
    b->stride = pictureSize().width() * 4;
    b->size = std::size_t(b->stride) * std::size_t(pictureSize().height());
    b->fd = memfd_create("sketrin-overlay", MFD_CLOEXEC);
    if (b->fd < 0 || ftruncate(b->fd, off_t(b->size)) != 0)
        return -1;
    void *data = mmap(nullptr, b->size, PROT_READ | PROT_WRITE, MAP_SHARED, b->fd, 0);
    if (data == MAP_FAILED)
        return -1;
    b->data = static_cast<uchar *>(data);
    wl_shm_pool *pool = wl_shm_create_pool(m_connection->shm(), b->fd, int32_t(b->size));
    // Premultiplied ARGB32 is the same words as wl_shm's ARGB8888 on a little-endian machine.
    b->buffer = wl_shm_pool_create_buffer(pool, 0, pictureSize().width(), pictureSize().height(), b->stride,
                                          WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    wl_buffer_add_listener(b->buffer, &Handlers::buffer, b.get());
    m_buffers.push_back(std::move(b));
    return int(m_buffers.size()) - 1;
}

bool LayerOverlay::fill(const QImage &picture, const QRegion &region)
{
    if (m_pending < 0)
        m_pending = freeBuffer();
    if (m_pending < 0)
        return false;
    const Buffer &b = *m_buffers[std::size_t(m_pending)];
    for (const QRect &r : m_ledger.take(m_pending, region)) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(b.data + std::size_t(y) * std::size_t(b.stride) + std::size_t(r.left()) * 4,
                        picture.constScanLine(y) + std::size_t(r.left()) * 4, std::size_t(r.width()) * 4);
    }
    return true;
}

void LayerOverlay::present(const QImage &picture, const QRegion &touched)
{
    if (!isOpen() || !m_configured || picture.size() != pictureSize() || picture.isNull())
        return;
    const QImage argb = picture.format() == QImage::Format_ARGB32_Premultiplied
                            ? picture
                            : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRect whole(QPoint(), pictureSize());
    const QRegion region = m_shown ? touched & whole : QRegion(whole);
    if (region.isEmpty())
        return;
    m_shown = true;
    m_damage |= region;
    // While no buffer is free, only the newest picture is kept, and only by
    // reference: it is copied once a buffer comes back.
    if (!m_late.isNull() || !fill(argb, region)) {
        m_late = argb;
        m_lateRegion |= region;
        return;
    }
    if (!m_frame)
        commit();
}

void LayerOverlay::commit()
{
    if (m_pending < 0 || m_damage.isEmpty() || m_lost)
        return;
    Buffer &b = *m_buffers[std::size_t(m_pending)];
    wl_surface_set_buffer_scale(m_surface, m_scale);
    wl_surface_attach(m_surface, b.buffer, 0, 0);
    for (const QRect &r : m_damage)
        wl_surface_damage_buffer(m_surface, r.x(), r.y(), r.width(), r.height());
    m_frame = wl_surface_frame(m_surface);
    wl_callback_add_listener(m_frame, &Handlers::frame, this);
    wl_surface_commit(m_surface);
    b.busy = true;
    m_pending = -1;
    m_damage = QRegion();
    flush();
}

void LayerOverlay::bufferReleased()
{
    if (m_late.isNull() || !fill(m_late, m_lateRegion))
        return;
    m_late = QImage();
    m_lateRegion = QRegion();
    if (!m_frame)
        commit();
}

void LayerOverlay::frameDone()
{
    wl_callback_destroy(m_frame);
    m_frame = nullptr;
    commit();
}

void LayerOverlay::setPassThrough(bool on)
{
    m_passThrough = on;
    if (!isOpen())
        return;
    if (on) {
        wl_region *nothing = wl_compositor_create_region(m_compositor);
        wl_surface_set_input_region(m_surface, nothing);
        wl_region_destroy(nothing);
    } else {
        wl_surface_set_input_region(m_surface, nullptr); // the whole surface
    }
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer,
                                                     on ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                                                        : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    if (m_input)
        m_input->release();
    wl_surface_commit(m_surface);
    flush();
}

void LayerOverlay::readEvents()
{
    wl_display *display = m_connection->display();
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            return lose();
    // The socket is readable: this does not wait.
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
        return lose();
    flush();
}

void LayerOverlay::flush()
{
    if (!m_connection || m_lost)
        return;
    if (wl_display_flush(m_connection->display()) >= 0) {
        if (m_writer)
            m_writer->setEnabled(false);
    } else if (errno == EAGAIN) {
        if (m_writer)
            m_writer->setEnabled(true); // the rest goes when the socket takes it
    } else {
        lose();
    }
}

void LayerOverlay::lose()
{
    if (m_lost)
        return;
    m_lost = true;
    if (m_reader)
        m_reader->setEnabled(false);
    if (m_writer)
        m_writer->setEnabled(false);
    if (m_input)
        m_input->release();
    m_error = QStringLiteral("The Wayland compositor closed the overlay.");
    QMetaObject::invokeMethod(this, &LayerOverlay::closed, Qt::QueuedConnection);
}

} // namespace wayland
