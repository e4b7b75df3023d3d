#pragma once

#include <QIODevice>
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
    QByteArray format; // as the decoder names it: "jpeg", "bmp", ...
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
    // The most memory the decoded picture may take.
    int allocationLimitMiB = AllocationLimitMiB;
};

// Reads a picture file. The format is found from the content, not the name; photos
// with an orientation tag come out upright. Only regular files are read, so a named
// pipe or a device cannot hang the program.
Picture LoadPicture(const QString &path, const LoadOptions &options = {});

// Decodes a picture from an open device.
Picture decodePicture(QIODevice &device, const LoadOptions &options = {});

// Reads pictures for the load and scale commands. Every call reads the file
// again; when its bytes are exactly the ones decoded last time, that decode is
// used again instead of being repeated, so redrawing one picture at several
// scales decodes it once. (A JPEG asked for at a reduced size is still decoded
// reduced, from the kept bytes: libjpeg's reduction looks better than a
// stretch, and costs little.) Files over CacheableBytes are decoded from the
// file each time, with the options, and kept nowhere.
class PictureReader
{
public:
    static constexpr qint64 CacheableBytes = qint64(64) << 20;

    Picture read(const QString &path, const LoadOptions &options = {});
    // Lets go of the kept picture and bytes.
    void forget();

private:
    QString m_path;
    QByteArray m_bytes;
    Picture m_picture; // the whole picture, decoded from m_bytes
};

} // namespace imaging
