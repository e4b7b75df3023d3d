#include "imaging/PictureSave.h"

#include <QFileInfo>
#include <QSaveFile>

namespace imaging {

QByteArray saveFormatFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "jpeg";
    if (suffix == QLatin1String("bmp"))
        return "bmp";
    return "png";
}

QString savePicture(const QImage &image, const QString &path, Compression compression)
{
    if (image.isNull())
        return QStringLiteral("nothing to save");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray format = saveFormatFor(path);
    // Pixels as they are, one to a pixel: the layers' scale is not a print size.
    QImage plain = image;
    plain.setDevicePixelRatio(1);
    if (format == "jpeg" || format == "bmp")
        plain = plain.convertToFormat(QImage::Format_RGB888);
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
