#include "imaging/PictureFile.h"

#include "forms/RegularFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <array>
#include <cstdlib>
#include <optional>

namespace imaging {

namespace {

Picture failure(const QString &why)
{
    Picture p;
    p.error = why;
    return p;
}

quint32 le(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b.at(at + i));
    return v;
}

// The channel masks of a 16-bit bitmap, or nothing for other pictures.
std::optional<std::array<quint32, 3>> sixteenBitMasks(QIODevice &device)
{
    const QByteArray head = device.peek(66);
    if (head.size() < 54 || !head.startsWith("BM") || le(head, 28, 2) != 16)
        return std::nullopt;
    const quint32 compression = le(head, 30, 4);
    if (compression == 0) // 5-5-5
        return std::array<quint32, 3>{0x7C00, 0x03E0, 0x001F};
    if ((compression == 3 || compression == 6) && head.size() >= 66)
        return std::array<quint32, 3>{le(head, 54, 4), le(head, 58, 4), le(head, 62, 4)};
    return std::nullopt;
}

// Qt's reader widens a channel of n < 8 bits by shifting it alone, so that its
// brightest value is 248 (5 bits) or 252 (6 bits). Each channel is stretched to
// the full range instead: v * 255 / (2^n - 1), rounded.
void widenChannels(QImage &image, const std::array<quint32, 3> &masks)
{
    std::array<std::array<quint8, 256>, 3> lut{};
    bool any = false;
    for (size_t c = 0; c < 3; ++c) {
        const int n = qPopulationCount(masks[c] & 0xFFFF);
        for (int v8 = 0; v8 < 256; ++v8)
            lut[c][size_t(v8)] = quint8(v8);
        if (n < 1 || n > 7)
            continue;
        any = true;
        const int top = (1 << n) - 1;
        for (int v8 = 0; v8 < 256; ++v8) {
            const int v = v8 >> (8 - n);
            lut[c][size_t(v8)] = quint8((v * 255 + top / 2) / top);
        }
    }
    if (!any)
        return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(lut[0][size_t(qRed(p))], lut[1][size_t(qGreen(p))], lut[2][size_t(qBlue(p))], qAlpha(p));
        }
    }
}

} // namespace

Picture decodePicture(QIODevice &device, const LoadOptions &options)
{
    const auto masks = sixteenBitMasks(device);
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(options.allocationLimitMiB);

    // The header's size is only a hint (some BMPs store a negative height); the
    // decoded picture says what it really is.
    const QSize stored = reader.size();
    const bool sized = stored.isValid() && !stored.isEmpty();
    // A picture too large to load whole is too large to draw in part as well.
    if (qint64(std::abs(stored.width())) * std::abs(stored.height()) * 4 > qint64(options.allocationLimitMiB) << 20)
        return failure(QStringLiteral("too large"));
    const bool upright = reader.transformation() == QImageIOHandler::TransformationNone;
    const QByteArray format = reader.format(); // empty once the picture is read
    const bool jpeg = format == "jpeg";
    QRectF covers;
    QSize scaled;
    if (sized && options.reduceBy > 1 && jpeg && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // libjpeg decodes straight to 1/2 or 1/4 of the size.
        scaled = QSize((stored.width() + options.reduceBy - 1) / options.reduceBy,
                       (stored.height() + options.reduceBy - 1) / options.reduceBy);
        reader.setScaledSize(scaled);
    }
    if (sized && upright && options.needed.isValid()) {
        const QRect part = options.needed.intersected(QRect(QPoint(0, 0), stored));
        if (!part.isEmpty() && part != QRect(QPoint(0, 0), stored)) {
            if (scaled.isValid()) {
                const double fx = double(scaled.width()) / stored.width();
                const double fy = double(scaled.height()) / stored.height();
                const QRect scaledPart = QRectF(0, 0, part.right() * fx + 2, part.bottom() * fy + 2)
                                             .toAlignedRect()
                                             .intersected(QRect(QPoint(0, 0), scaled));
                reader.setScaledClipRect(scaledPart);
                covers = QRectF(0, 0, scaledPart.width() / fx, scaledPart.height() / fy);
            } else {
                reader.setClipRect(part);
                covers = QRectF(part);
            }
        }
    }

    Picture picture;
    if (!reader.read(&picture.image) || picture.image.isNull())
        return failure(reader.errorString());
    if (masks && format == "bmp")
        widenChannels(picture.image, *masks);
    if (sized && (scaled.isValid() || covers.isValid()))
        picture.naturalSize =
            upright
                ? stored
                : (reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored);
    else
        picture.naturalSize = picture.image.size();
    picture.format = format;
    picture.covers = covers.isValid() ? covers : QRectF(QPointF(0, 0), QSizeF(picture.naturalSize));
    return picture;
}

Picture LoadPicture(const QString &path, const LoadOptions &options)
{
    QFile file;
    qint64 size = 0;
    QString error;
    if (!forms::openRegularFile(path, file, size, error))
        return failure(error);
    return decodePicture(file, options);
}

Picture PictureReader::read(const QString &path, const LoadOptions &options)
{
    QFile file;
    qint64 size = 0;
    QString error;
    if (!forms::openRegularFile(path, file, size, error))
        return failure(error);
    if (size > CacheableBytes)
        return decodePicture(file, options);

    // The file is read again every time; only when its bytes are exactly those
    // decoded last time does the earlier decode stand in for a new one.
    QByteArray bytes = file.read(CacheableBytes + 1);
    if (bytes.size() > CacheableBytes) {
        file.seek(0);
        return decodePicture(file, options);
    }
    const bool same = m_picture.ok() && path == m_path && bytes == m_bytes;
    const bool reduce = options.reduceBy > 1;
    if (same) {
        if (!reduce || m_picture.format != "jpeg")
            return m_picture;
        QBuffer kept(&m_bytes);
        kept.open(QIODevice::ReadOnly);
        return decodePicture(kept, options);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    if (reduce)
        return decodePicture(buffer, options);
    // Small enough to keep: decoded whole, whatever part the caller needs now.
    Picture picture = decodePicture(buffer);
    if (!picture.ok())
        return picture;
    m_path = path;
    m_bytes = std::move(bytes);
    m_picture = picture;
    return picture;
}

void PictureReader::forget()
{
    m_path.clear();
    m_bytes.clear();
    m_picture = Picture();
}

} // namespace imaging
