// Answers questions about a screenshot for the real-window tests:
//   shotprobe count FILE X Y W H R G B [TOLERANCE]   pixels of that colour in the area
//   shotprobe pixel FILE X Y                          "R G B" of one pixel
//   shotprobe run FILE X Y0 Y1 R G B                  longest vertical run of the colour
//   shotprobe pattern FILE W H R G B                  writes a picture of fine detail in that tint
//   shotprobe diff FILE OTHER [TOLERANCE]             pixels that differ ("size" when the sizes do)
#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 3)
        return 2;
    if (a.at(1) == QLatin1String("pattern") && a.size() >= 8) {
        // One-pixel lines and a checkerboard: any resampling blurs them.
        QImage pattern(a.value(3).toInt(), a.value(4).toInt(), QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y)
            for (int x = 0; x < pattern.width(); ++x) {
                const bool on = (x % 7 == 0) || (y % 5 == 0) || ((x / 16 + y / 16) % 2 == 0);
                pattern.setPixel(x, y,
                                 on ? qRgb(a.value(5).toInt(), a.value(6).toInt(), a.value(7).toInt())
                                    : qRgb(250 - x % 200, 40 + y % 200, 128));
            }
        return pattern.save(a.at(2)) ? 0 : 1;
    }
    const QImage image(a.at(2));
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(a.at(2)));
        return 2;
    }
    auto num = [&](int i) { return a.value(i).toInt(); };
    auto near = [](QRgb p, int r, int g, int b, int tol) {
        return std::abs(qRed(p) - r) <= tol && std::abs(qGreen(p) - g) <= tol && std::abs(qBlue(p) - b) <= tol;
    };
    if (a.at(1) == QLatin1String("count") && a.size() >= 10) {
        const QRect area = QRect(num(3), num(4), num(5), num(6)) & image.rect();
        const int tol = a.size() > 11 ? num(11) : 0;
        long n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += near(image.pixel(x, y), num(7), num(8), num(9), tol);
        std::printf("%ld\n", n);
        return 0;
    }
    if (a.at(1) == QLatin1String("pixel") && a.size() >= 5) {
        const QRgb p = image.pixel(num(3), num(4));
        std::printf("%d %d %d\n", qRed(p), qGreen(p), qBlue(p));
        return 0;
    }
    if (a.at(1) == QLatin1String("run") && a.size() >= 9) {
        int best = 0, cur = 0;
        for (int y = num(4); y <= num(5) && y < image.height(); ++y) {
            cur = near(image.pixel(num(3), y), num(6), num(7), num(8), 40) ? cur + 1 : 0;
            best = std::max(best, cur);
        }
        std::printf("%d\n", best);
        return 0;
    }
    if (a.at(1) == QLatin1String("diff") && a.size() >= 4) {
        const QImage other = QImage(a.at(3)).convertToFormat(QImage::Format_RGB32);
        const QImage mine = image.convertToFormat(QImage::Format_RGB32);
        if (other.size() != mine.size()) {
            std::printf("size\n");
            return 0;
        }
        const int tol = a.size() > 4 ? num(4) : 0;
        long n = 0;
        for (int y = 0; y < mine.height(); ++y)
            for (int x = 0; x < mine.width(); ++x) {
                const QRgb q = other.pixel(x, y);
                n += !near(mine.pixel(x, y), qRed(q), qGreen(q), qBlue(q), tol);
            }
        std::printf("%ld\n", n);
        return 0;
    }
    return 2;
}
