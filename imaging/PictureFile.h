#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace imaging {

// The largest picture we agree to decode. A 50-megapixel photo fits easily; a file
// that claims 100000 x 100000 pixels is refused before anything is allocated.
constexpr int AllocationLimitMiB = 512;

struct Picture
{
    QImage image;      // may be smaller than naturalSize when decoded reduced
    QSize naturalSize; // upright size in pixels
    QString error;     // empty on success

    bool ok() const { return error.isEmpty() && !image.isNull(); }
};

// Reads a picture file. The format is found from the content, not the name; photos
// with an orientation tag come out upright. Only regular files are read, so a named
// pipe or a device cannot hang the program.
//
// With reduceBy 2 or 4, a decoder that can decode directly at a reduced size (JPEG)
// is asked to; naturalSize still reports the full size.
Picture LoadPicture(const QString &path, int reduceBy = 1);

} // namespace imaging
