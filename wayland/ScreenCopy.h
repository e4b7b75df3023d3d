#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <optional>

namespace wayland {

class Connection;

// One output's own pixels, through the compositor's screen copy protocol
// (zwlr_screencopy_manager_v1, which wlroots compositors offer): exact at any
// scale, where a picture of the whole desktop is rendered at one scale for all.
// Empty where the compositor does not offer it, knows no output of that name,
// the output is turned, or the copy fails.
std::optional<QImage> copyOutput(Connection &connection, const QString &outputName, QPoint position,
                                 int timeoutMs = 5000);

// Whether the compositor offers it.
bool offersScreenCopy(const Connection &connection);

// A copied frame as a picture of its own: `pixels` holds `height` rows of
// `stride` bytes in the wl_shm `format`, bottom row first when `yInvert`.
// Null for a format it does not know or a size that does not fit.
QImage frameImage(const uchar *pixels, std::size_t size, uint32_t format, int width, int height, int stride,
                  bool yInvert);

} // namespace wayland
