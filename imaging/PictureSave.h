#pragma once

#include <QImage>
#include <QString>

namespace imaging {

// The file type a name asks for, as Qt's writers name it ("jpeg" for .jpg, .jpeg
// and .jpe, "tiff" for .tif, ...): every type that can be written follows its
// name. Empty for a name whose type cannot be written, or that has none.
QByteArray saveFormatFor(const QString &path);

// Where a picture the user named is written: the name itself when its type can
// be written, else the name with ".png" added, so that a file's bytes never
// belong to another type than its name says.
QString savePathFor(const QString &path);

// Writes the picture whole or not at all: into a temporary file beside the
// target, renamed over it only once complete, so a failure (disk full, no
// permission, a folder that vanished) leaves any existing file as it was.
// The type follows the name; a name of no writable type is refused (see
// savePathFor). Returns an empty text on success, else why it failed.
enum class Compression { Normal, Fast };
constexpr Compression Fast = Compression::Fast;
QString savePicture(const QImage &image, const QString &path, Compression compression = Compression::Normal);

} // namespace imaging
