#include "imaging/PictureFile.h"

#include <QFile>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

Picture failure(const QString &why)
{
    Picture p;
    p.error = why;
    return p;
}

} // namespace

Picture LoadPicture(const QString &path, const LoadOptions &options)
{
    if (path.isEmpty())
        return failure(QStringLiteral("no file"));

    // Open without blocking and check what was opened, not what the name pointed
    // to a moment earlier: only a regular file is read.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failure(QStringLiteral("cannot open"));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failure(QStringLiteral("not a regular file"));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(QStringLiteral("cannot open"));
    }

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(AllocationLimitMiB);

    // The header's size is only a hint (some BMPs store a negative height); the
    // decoded picture says what it really is.
    const QSize stored = reader.size();
    const bool sized = stored.isValid() && !stored.isEmpty();
    // A picture too large to load whole is too large to draw in part as well.
    if (sized && qint64(stored.width()) * stored.height() * 4 > qint64(AllocationLimitMiB) << 20)
        return failure(QStringLiteral("too large"));
    const bool upright = reader.transformation() == QImageIOHandler::TransformationNone;
    const bool jpeg = reader.format() == "jpeg";
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
    if (sized && (scaled.isValid() || covers.isValid()))
        picture.naturalSize = upright ? stored : (reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored);
    else
        picture.naturalSize = picture.image.size();
    picture.covers = covers.isValid() ? covers : QRectF(QPointF(0, 0), QSizeF(picture.naturalSize));
    return picture;
}

} // namespace imaging
