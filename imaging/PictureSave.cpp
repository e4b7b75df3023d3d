#include "imaging/PictureSave.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QSaveFile>

namespace imaging {

QByteArray saveFormatFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty())
        return {};
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    // The type the name's ending stands for on this desktop, then the writer Qt
    // has for that type (".jpe" is a JPEG, ".tif" a TIFF).
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (mime.isValid() && !mime.isDefault()) {
        for (const QByteArray &format : QImageWriter::imageFormatsForMimeType(mime.name().toLatin1()))
            if (writable.contains(format))
                return format == "jpg" ? QByteArray("jpeg") : format == "tif" ? QByteArray("tiff") : format;
    }
    if (writable.contains(suffix.toLatin1()))
        return suffix.toLatin1();
    return {};
}

QString savePathFor(const QString &path)
{
    return saveFormatFor(path).isEmpty() ? path + QStringLiteral(".png") : path;
}

QString savePicture(const QImage &image, const QString &path, Compression compression)
{
    if (image.isNull())
        return QStringLiteral("nothing to save");
    const QByteArray format = saveFormatFor(path);
    if (format.isEmpty())
        return QStringLiteral("no writer for this type of file");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Pixels as they are, one to a pixel: the layers' scale is not a print size.
    QImage plain = image;
    plain.setDevicePixelRatio(1);
    if (format != "png")
        plain = plain.convertToFormat(QImage::Format_RGB888); // no alpha where the type has none
    // A PNG's quality is its compression: 100 stores the pixels as they are, which
    // is what a private file that is read back at once wants.
    const int quality = format == "jpeg" ? 95 : (format == "png" && compression == Compression::Fast) ? 100 : -1;
    if (!plain.save(&file, format.constData(), quality)) {
        file.cancelWriting();
        return file.errorString().isEmpty() ? QStringLiteral("cannot write") : file.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace imaging
