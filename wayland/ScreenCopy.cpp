#include "wayland/ScreenCopy.h"

#include "screencopy-client-protocol.h"
#include "wayland/Connection.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

namespace {

// What the frame has said so far.
struct Frame
{
    bool bufferKnown = false;
    uint32_t format = 0;
    uint32_t width = 0, height = 0, stride = 0;
    uint32_t flags = 0;
    bool ready = false;
    bool failed = false;
};

const zwlr_screencopy_frame_v1_listener frameListener = {
    [](void *data, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
        auto *f = static_cast<Frame *>(data);
        f->bufferKnown = true;
        f->format = format;
        f->width = width;
        f->height = height;
        f->stride = stride;
    },
    [](void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) { static_cast<Frame *>(data)->flags = flags; },
    [](void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
        static_cast<Frame *>(data)->ready = true;
    },
    [](void *data, zwlr_screencopy_frame_v1 *) { static_cast<Frame *>(data)->failed = true; },
};

// Shared memory the compositor copies into, unmapped and closed on the way out.
struct SharedBuffer
{
    int fd = -1;
    void *data = MAP_FAILED;
    std::size_t size = 0;
    wl_buffer *buffer = nullptr;

    bool create(wl_shm *shm, const Frame &f)
    {
        size = std::size_t(f.stride) * f.height;
        if (size == 0 || f.width > 16384 || f.height > 16384 || f.stride < f.width * 4)
            return false;
        fd = memfd_create("sketrin-screencopy", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0)
            return false;
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED)
            return false;
        wl_shm_pool *pool = wl_shm_create_pool(shm, fd, int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(f.width), int32_t(f.height), int32_t(f.stride), f.format);
        wl_shm_pool_destroy(pool);
        return buffer != nullptr;
    }
    ~SharedBuffer()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data != MAP_FAILED)
            munmap(data, size);
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

bool offersScreenCopy(const Connection &connection)
{
    return connection.global(zwlr_screencopy_manager_v1_interface.name) != nullptr && connection.shm();
}

QImage frameImage(const uchar *pixels, std::size_t size, uint32_t format, int width, int height, int stride,
                  bool yInvert)
{
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4 || size < std::size_t(stride) * height)
        return {};
    // wl_shm formats name the bits of a little-endian 32-bit word, high first.
    // A screen is opaque: whatever alpha a compositor leaves is not looked at.
    QImage::Format kind;
    switch (format) {
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ARGB8888:
        kind = QImage::Format_RGB32;
        break;
    case WL_SHM_FORMAT_XBGR8888:
    case WL_SHM_FORMAT_ABGR8888:
        kind = QImage::Format_RGBX8888;
        break;
    default:
        return {};
    }
    // A copy of our own: the shared memory goes when the frame does (a
    // conversion to the format it has already would still share it).
    QImage image = QImage(pixels, width, height, stride, kind).copy().convertToFormat(QImage::Format_RGB32);
    if (yInvert)
        image.mirror(false, true);
    return image;
}

std::optional<QImage> copyOutput(Connection &connection, const QString &outputName, QPoint position, int timeoutMs)
{
    const Connection::Output *output = connection.output(outputName, position);
    const Connection::Global *global = connection.global(zwlr_screencopy_manager_v1_interface.name);
    if (!output || !global || !connection.shm() || output->transform != WL_OUTPUT_TRANSFORM_NORMAL)
        return std::nullopt;
    auto *manager =
        static_cast<zwlr_screencopy_manager_v1 *>(connection.bind(*global, &zwlr_screencopy_manager_v1_interface, 1));
    Frame f;
    zwlr_screencopy_frame_v1 *frame = zwlr_screencopy_manager_v1_capture_output(manager, 0, output->proxy);
    zwlr_screencopy_frame_v1_add_listener(frame, &frameListener, &f);
    std::optional<QImage> taken;
    SharedBuffer shared;
    if (connection.dispatchUntil([&f] { return f.bufferKnown || f.failed; }, timeoutMs) && !f.failed &&
        shared.create(connection.shm(), f)) {
        zwlr_screencopy_frame_v1_copy(frame, shared.buffer);
        if (connection.dispatchUntil([&f] { return f.ready || f.failed; }, timeoutMs) && f.ready) {
            const QImage image =
                frameImage(static_cast<const uchar *>(shared.data), shared.size, f.format, int(f.width), int(f.height),
                           int(f.stride), f.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT);
            if (!image.isNull())
                taken = image;
        }
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    zwlr_screencopy_manager_v1_destroy(manager);
    // The compositor lets go of the buffer before it is unmapped.
    connection.roundtrip(timeoutMs);
    return taken;
}

} // namespace wayland
