// Writes the fuzzer's seed corpus: pictures of every kind the loader meets.
//   fuzz_make_corpus DIR [CMYK_JPEG]
#include "PictureFixtures.h"

#include <QDir>
#include <QGuiApplication>

using namespace testing;

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    auto put = [&](const char *name, const QByteArray &bytes) { writeFile(dir.filePath(QLatin1String(name)), bytes); };
    const QImage q = quadrants(24, 16);
    put("rgb24.bmp", encode(q, "bmp"));
    put("argb32.bmp", encode(q.convertToFormat(QImage::Format_ARGB32), "bmp"));
    put("indexed8.bmp", encode(q.convertToFormat(QImage::Format_Indexed8), "bmp"));
    put("mono1.bmp", encode(q.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither), "bmp"));
    QByteArray four;
    for (int row = 0; row < 2; ++row)
        four.append("\x01\x23\x00\x00", 4); // 4 pixels of 4 bits, padded to 4 bytes
    put("indexed4.bmp", bmp(4, 2, 4, 0, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}, four));
    put("rle8.bmp", rle8Bmp());
    put("topdown.bmp", topDownBmp());
    put("baseline.jpg", encode(q, "jpeg", 80));
    put("progressive.jpg", encode(q, "jpeg", 80, true));
    put("grey.jpg", encode(q.convertToFormat(QImage::Format_Grayscale8), "jpeg", 80));
    put("oriented.jpg", withOrientation(encode(q, "jpeg", 80), 6));
    put("picture.png", encode(q, "png"));
    if (argc > 2) {
        QFile cmyk(QString::fromLocal8Bit(argv[2]));
        if (cmyk.open(QIODevice::ReadOnly))
            put("cmyk.jpg", cmyk.readAll());
    }
    // GIF: Qt reads it but cannot write it; a minimal 2 x 1 GIF by hand.
    put("tiny.gif",
        QByteArray::fromHex("47494638396102000100800000ff000000ff0021f90400000000002c00000000020001000002024c01003b"));
    return 0;
}
