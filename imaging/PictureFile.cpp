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

Picture LoadPicture(const QString &path, int reduceBy)
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
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    bool reduced = false;
    if (reduceBy > 1 && stored.isValid() && !stored.isEmpty() && reader.format() == "jpeg" &&
        reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // libjpeg decodes straight to 1/2 or 1/4 of the size.
        reader.setScaledSize(QSize((stored.width() + reduceBy - 1) / reduceBy,
                                   (stored.height() + reduceBy - 1) / reduceBy));
        reduced = true;
    }

    Picture picture;
    if (!reader.read(&picture.image) || picture.image.isNull())
        return failure(reader.errorString());
    picture.naturalSize = reduced ? (turned ? stored.transposed() : stored) : picture.image.size();
    return picture;
}

} // namespace imaging
