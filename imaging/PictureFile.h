#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace imaging {

// The largest picture we agree to decode. A 50-megapixel photo (200 MB decoded)
// fits; a file that claims 100000 x 100000 pixels is refused before anything is
// allocated.
constexpr int AllocationLimitMiB = 256;

struct Picture
{
    QImage image;      // may be smaller than naturalSize when decoded reduced
    QSize naturalSize; // upright size in pixels
    QRectF covers;     // the part of the picture, in natural pixels, that image holds
    QString error;     // empty on success

    bool ok() const { return error.isEmpty() && !image.isNull(); }
};

struct LoadOptions
{
    // 2 or 4: a decoder that can decode straight at a reduced size (JPEG) is asked
    // to.
    int reduceBy = 1;
    // When valid: only this part (in natural pixels) is needed. Decoders that can
    // skip the rest do, so that a large photo drawn enlarged costs little memory.
    QRect needed;
};

// Reads a picture file. The format is found from the content, not the name; photos
// with an orientation tag come out upright. Only regular files are read, so a named
// pipe or a device cannot hang the program.
Picture LoadPicture(const QString &path, const LoadOptions &options = {});

} // namespace imaging
