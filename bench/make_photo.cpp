// Writes the 6000 x 4000 test photo that the picture benchmarks read.
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QImage image(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 0xFF, (x ^ y) & 0xFF, (x * 3 + y * 5) & 0xFF);
    }
    QImageWriter writer(QString::fromLocal8Bit(argv[1]), "jpeg");
    writer.setQuality(85);
    return writer.write(image) ? 0 : 1;
}
