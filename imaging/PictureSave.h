#pragma once

#include <QImage>
#include <QString>

namespace imaging {

// The file type a name asks for: "jpeg" for .jpg and .jpeg, "bmp" for .bmp, and
// "png" for anything else.
QByteArray saveFormatFor(const QString &path);

// Writes the picture whole or not at all: into a temporary file beside the
// target, renamed over it only once complete, so a failure (disk full, no
// permission, a folder that vanished) leaves any existing file as it was.
// Returns an empty text on success, else why it failed.
enum class Compression { Normal, Fast };
constexpr Compression Fast = Compression::Fast;
QString savePicture(const QImage &image, const QString &path, Compression compression = Compression::Normal);

} // namespace imaging
