// Drawing on a scaled screen: the layers hold device pixels, every coordinate the
// program handles stays logical. Run once per QT_SCALE_FACTOR (1, 1.5, 2).
#include "MainFixture.h"
#include "TestSupport.h"

#include "canvas/Raster.h"

#include <QTemporaryDir>
#include <cmath>

using namespace testing;

namespace {

// How many device pixels the logical pixels [from, to) cover at this scale: those
// whose centres fall inside.
int deviceCount(double from, double to, double scale)
{
    return int(std::ceil(to * scale - 0.5) - std::ceil(from * scale - 0.5));
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

    double scale = 1;

private slots:
    void initTestCase()
    {
        MainFixture f;
        scale = picBox(f.w)->devicePixelRatioF();
        qInfo("device pixel ratio %g", scale);
        QCOMPARE(scale, qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }

    void layersHoldDevicePixels()
    {
        MainFixture f;
        canvas::Surface &box = f.w->surface();
        QCOMPARE(box.deviceScale(), scale);
        QCOMPARE(box.persistentLayer().width(), int(std::ceil(picBox(f.w)->ScaleWidth() * scale - 1e-9)));
        QCOMPARE(box.persistentLayer().devicePixelRatio(), scale);
    }

    void strokeWidths_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("1") << 1;
        QTest::newRow("5") << 5;
        QTest::newRow("9") << 9;
    }
    void strokeWidths()
    {
        QFETCH(int, width);
        MainFixture f;
        f.w->PenSize_Click(width - 1);
        // A horizontal stroke through logical row 40, drawn with real mouse input.
        f.drag({20, 40}, {200, 40});
        const QImage &img = (*f.w->surface().screenLayer());
        const int column = int(100 * scale);
        int thickness = 0;
        for (int y = 0; y < int(100 * scale); ++y)
            thickness += (img.pixel(column, y) & 0xFFFFFF) == 0;
        // The band from 40 + 1/2 - w/2 to 40 + 1/2 + w/2 (pixel centres) for odd
        // widths, 40 - w/2 .. 40 + w/2 for even ones.
        const double mid = width % 2 ? 40.5 : 40.0;
        const int expected = deviceCount(mid - width / 2.0, mid + width / 2.0, scale);
        QVERIFY2(std::abs(thickness - expected) <= 1,
                 qPrintable(QStringLiteral("%1 device pixels, expected %2").arg(thickness).arg(expected)));
        if (scale == 2 && width == 1)
            QCOMPARE(thickness, 2); // crisp: exactly two device pixels
    }

    void eraserSquares_data() { eraserSizeRows(); }
    void eraserSquares()
    {
        QFETCH(int, size);
        QFETCH(int, side);
        MainFixture f;
        canvas::Surface &box = f.w->surface();
        box.setDrawWidth(60);
        box.Line(0, 60, 200, 60, 0);
        box.setDrawWidth(1);
        f.w->EraserSize_Click(size);
        f.press(100, 60);
        f.release(100, 60);
        const QImage &img = *box.screenLayer();
        const QRect erased = boundsOf(
            img, White, QRect(QPoint(int(60 * scale), int(35 * scale)), QPoint(int(140 * scale), int(85 * scale))));
        const int expected = deviceCount(100 - side / 2, 100 - side / 2 + side, scale);
        QVERIFY2(
            std::abs(erased.width() - expected) <= 1 && std::abs(erased.height() - expected) <= 1,
            qPrintable(QStringLiteral("%1x%2, expected %3").arg(erased.width()).arg(erased.height()).arg(expected)));
    }

    void filtersProcessEveryDevicePixel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("red.bmp"));
        QImage red(600, 400, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        red.save(path);
        MainFixture f;
        f.platform.openAnswers.push_back(path);
        f.w->CmdPicLoad_Click();
        f.w->CmdPicFilter_Click(0);
        const QImage &img = f.w->surface().persistentLayer();
        const QSize device(int(std::ceil(picBox(f.w)->ScaleWidth() * scale - 1e-9)),
                           int(std::ceil(picBox(f.w)->ScaleHeight() * scale - 1e-9)));
        QCOMPARE(countPixels(img, qRgb(76, 76, 76), QRect(QPoint(0, 0), device)), device.width() * device.height());
    }

    // A screen taken at this scale keeps its device pixels: one picture pixel to
    // a device pixel of the surface, sharp.
    void captureKeepsDevicePixels()
    {
        MainFixture f;
        QImage screen(int(120 * scale), int(60 * scale), QImage::Format_RGB32);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                screen.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        screen.setDevicePixelRatio(scale);
        f.platform.captureAnswers.push_back(screen);
        f.w->CmdScreenCapture_Click();
        QVERIFY(f.w->tools().pictureLoaded());
        const QImage shown = f.w->surface().visibleImage().copy(0, 0, screen.width(), screen.height());
        QImage expected = screen.copy();
        expected.setDevicePixelRatio(shown.devicePixelRatio());
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), expected);
    }

    // 100% redraws a picture without a file of its own exactly as it first
    // showed: a captured screen at one of its pixels to a device pixel, a
    // pasted picture at one to a logical pixel.
    void fullSizeShowsAsItFirstShowed_data()
    {
        QTest::addColumn<bool>("capture");
        QTest::newRow("captured") << true;
        QTest::newRow("pasted") << false;
    }
    void fullSizeShowsAsItFirstShowed()
    {
        QFETCH(bool, capture);
        MainFixture f;
        QImage picture(int(120 * scale), int(60 * scale), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb((x * 7) % 256, (y * 5) % 256, 90));
        if (capture) {
            picture.setDevicePixelRatio(scale);
            f.platform.captureAnswers.push_back(picture);
            f.w->CmdScreenCapture_Click();
        } else {
            f.platform.clipboardContent = {picture, {}};
            f.w->CmdPicPaste_Click();
        }
        const QImage first = f.w->surface().visibleImage();
        f.w->CmdPicRatio_Click(2);
        QCOMPARE(f.w->surface().visibleImage(), first);
        f.w->CmdPicRatio_Click(3); // 200% and back: the remembered scale is kept
        f.w->CmdPicRatio_Click(2);
        QCOMPARE(f.w->surface().visibleImage(), first);
    }

    void toolbarLooksScale()
    {
        MainFixture f;
        const QImage img = toolButton(f.w, 0)->grab().toImage();
        QCOMPARE(img.width(), int(std::ceil(17 * scale - 1e-9)));
        // The frame's right edge, logical column 16, in device pixels.
        QCOMPARE(img.pixel(int(16.5 * scale), img.height() / 2), qRgb(82, 150, 247));
        QCOMPARE(img.pixel(int(0.5 * scale), img.height() / 2), qRgb(82, 150, 247));
    }
};

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
