#include "MainFixture.h"
#include "PictureFixtures.h"
#include "TestSupport.h"

#include "forms/ColorWord.h"
#include "forms/LineControl.h"
#include "forms/QtPlatform.h"
#include "imaging/Filter.h"

#include <QTemporaryDir>
#include <cmath>

using namespace testing;
using forms::colorWord;

namespace {

// The luma formula written out as plainly as possible, as the reference.
int referenceLuma(std::int32_t c)
{
    const double y =
        double(c & 0xFF) * 0.299 + double((c & 0xFF00) / 256) * 0.587 + double((c & 0xFF0000) / 65536) * 0.114;
    return int(std::nearbyint(y));
}

QRgb rgbOf(std::int32_t word)
{
    return qRgb(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF);
}

} // namespace

class TestFilters : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void loadPicture(MainFixture &f, QRgb color = qRgb(0, 0, 250))
    {
        QImage image(100, 60, QImage::Format_RGB32);
        image.fill(color);
        const QString path = dir.filePath(QStringLiteral("p.bmp"));
        image.save(path);
        f.platform.openAnswers.push_back(path);
        f.w->CmdPicLoad_Click();
        QVERIFY(f.w->tools().pictureLoaded());
    }

private slots:
    void pixels_data()
    {
        QTest::addColumn<QRgb>("in");
        QTest::addColumn<QRgb>("mono");
        QTest::addColumn<QRgb>("sepia");
        QTest::newRow("red") << qRgb(255, 0, 0) << qRgb(76, 76, 76) << qRgb(106, 76, 46);
        QTest::newRow("green") << qRgb(0, 255, 0) << qRgb(150, 150, 150) << qRgb(180, 150, 120);
        QTest::newRow("blue") << qRgb(0, 0, 255) << qRgb(29, 29, 29) << qRgb(59, 29, 0);
        QTest::newRow("white") << qRgb(255, 255, 255) << qRgb(255, 255, 255) << qRgb(255, 255, 225);
        QTest::newRow("black") << qRgb(0, 0, 0) << qRgb(0, 0, 0) << qRgb(30, 0, 0);
        QTest::newRow("tie 28.5 goes to 28") << qRgb(0, 0, 250) << qRgb(28, 28, 28) << qRgb(58, 28, 0);
        QTest::newRow("tie 7.5 goes to 8") << qRgb(0, 12, 4) << qRgb(8, 8, 8) << qRgb(38, 8, 0);
        QTest::newRow("grey 100") << qRgb(100, 100, 100) << qRgb(100, 100, 100) << qRgb(130, 100, 70);
    }
    void pixels()
    {
        QFETCH(QRgb, in);
        QFETCH(QRgb, mono);
        QFETCH(QRgb, sepia);
        const std::int32_t word = colorWord(qRed(in), qGreen(in), qBlue(in));
        QCOMPARE(rgbOf(Filter::MonochromePixel(word)), mono);
        QCOMPARE(rgbOf(Filter::SepiaPixel(word)), sepia);
        // The scanline forms agree.
        std::uint32_t px = in, out = 0;
        Filter::MonochromeLine(&px, &out, 1);
        QCOMPARE(QRgb(out), mono);
        Filter::SepiaLine(&px, &out, 1);
        QCOMPARE(QRgb(out), sepia);
    }

    void clampLevel_data()
    {
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("below") << -30 << 0;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("inside") << 128 << 128;
        QTest::newRow("top") << 255 << 255;
        QTest::newRow("above") << 285 << 255;
    }
    void clampLevel()
    {
        QFETCH(int, in);
        QFETCH(int, out);
        QCOMPARE(Filter::ClampLevel(in), out);
    }

    void repeatedPasses()
    {
        const std::int32_t white = colorWord(255, 255, 255);
        QCOMPARE(rgbOf(Filter::SepiaPixel(Filter::SepiaPixel(white))), qRgb(255, 252, 222));
        for (std::int32_t c : {colorWord(12, 200, 99), colorWord(255, 1, 77), colorWord(3, 3, 250)})
            QCOMPARE(Filter::MonochromePixel(Filter::MonochromePixel(c)), Filter::MonochromePixel(c));
    }

    // Every one of the 2^24 colours, through the scanline code for each instruction
    // set, against the double-precision formula.
    void allColoursMatchTheFormula_data()
    {
        QTest::addColumn<int>("isa");
        QTest::newRow("baseline x86-64") << int(Filter::detail::Isa::Baseline);
        QTest::newRow("SSE4.1") << int(Filter::detail::Isa::SSE41);
        QTest::newRow("AVX2") << int(Filter::detail::Isa::AVX2);
        QTest::newRow("AVX-512") << int(Filter::detail::Isa::AVX512);
    }
    void allColoursMatchTheFormula()
    {
        QFETCH(int, isa);
        const auto which = Filter::detail::Isa(isa);
        if (!Filter::detail::supported(which))
            QSKIP("this processor lacks the instruction set");
        std::vector<std::uint32_t> in(1 << 16), mono(1 << 16), sepia(1 << 16);
        for (std::uint32_t hi = 0; hi < 256; ++hi) {
            for (std::uint32_t lo = 0; lo < (1u << 16); ++lo)
                in[lo] = 0xFF000000u | (hi << 16) | lo;
            Filter::detail::toneLine(which, false, in.data(), mono.data(), int(in.size()));
            Filter::detail::toneLine(which, true, in.data(), sepia.data(), int(in.size()));
            for (std::uint32_t lo = 0; lo < (1u << 16); ++lo) {
                const QRgb p = in[lo];
                const int y = referenceLuma(colorWord(qRed(p), qGreen(p), qBlue(p)));
                const QRgb m = qRgb(y, y, y);
                const QRgb s = qRgb(std::min(y + 30, 255), y, std::max(y - 30, 0));
                if (mono[lo] != m || sepia[lo] != s)
                    QFAIL(qPrintable(QStringLiteral("colour %1").arg(p & 0xFFFFFF, 6, 16, QLatin1Char('0'))));
            }
        }
    }

    void bltProcessesExactlyTheRectangle()
    {
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(qRgb(255, 0, 0));
        Filter::MonochromeBlt(image, 2, 3, 5, 4, image, 2, 3);
        QCOMPARE(countPixels(image, qRgb(76, 76, 76)), 20);
        QCOMPARE(boundsOf(image, qRgb(76, 76, 76)), QRect(2, 3, 5, 4));
        // Off the edges: clipped, no crash.
        Filter::SepiaBlt(image, 15, 8, 100, 100, image, 15, 8);
        QCOMPARE(boundsOf(image, qRgb(106, 76, 46)), QRect(15, 8, 5, 2));
        // Nothing for empty sizes.
        const QImage before = image;
        Filter::MonochromeBlt(image, 0, 0, 0, 10, image, 0, 0);
        Filter::MonochromeBlt(image, 0, 0, 10, -1, image, 0, 0);
        QCOMPARE(image, before);
        // Copy to another place.
        QImage dest(20, 10, QImage::Format_RGB32);
        dest.fill(Qt::white);
        Filter::SepiaBlt(image, 0, 0, 2, 2, dest, 10, 5);
        QCOMPARE(boundsOf(dest, qRgb(106, 76, 46)), QRect(10, 5, 2, 2));
    }

    void filterWithoutPicture_data()
    {
        QTest::addColumn<bool>("clearFirst");
        QTest::newRow("at start") << false;
        QTest::newRow("after a clear") << true;
    }
    void filterWithoutPicture()
    {
        QFETCH(bool, clearFirst);
        MainFixture f;
        if (clearFirst) {
            loadPicture(f);
            f.w->CmdPicClear_Click();
        }
        f.drag({10, 10}, {50, 10});
        const QImage before = f.surface();
        for (int i = 0; i < 2; ++i) {
            action(f.w, "CmdPicFilter", i)->trigger();
            QCOMPARE(f.platform.msgBoxes.last().prompt, QStringLiteral("画像が読み込まれていません。"));
            QCOMPARE(f.platform.msgBoxes.last().style, 16);
            QCOMPARE(f.platform.msgBoxes.last().title, QStringLiteral("Sketrin"));
        }
        QCOMPARE(f.platform.msgBoxes.size(), 2);
        QVERIFY(f.platform.pointerHistory.isEmpty());
        QCOMPARE(f.surface(), before);
        QCOMPARE(f.w->surface().AutoRedraw(), false);
    }

    void filterTonesThePersistentImage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QRgb>("picture");
        QTest::addColumn<QRgb>("white");
        QTest::newRow("monochrome") << 0 << qRgb(28, 28, 28) << qRgb(255, 255, 255);
        QTest::newRow("sepia") << 1 << qRgb(58, 28, 0) << qRgb(255, 255, 225);
    }
    void filterTonesThePersistentImage()
    {
        QFETCH(int, index);
        QFETCH(QRgb, picture);
        QFETCH(QRgb, white);
        MainFixture f;
        loadPicture(f);
        f.drag({200, 100}, {300, 100}); // hold off: not in the persistent image
        f.w->CmdPicFilter_Click(index);
        const QImage s = f.surface();
        QCOMPARE(countPixels(s, picture), 100 * 60);
        QCOMPARE(countPixels(s, white), s.width() * s.height() - 100 * 60);
        QCOMPARE(f.platform.pointerHistory, (QList<int>{11, 0}));
        QCOMPARE(f.w->surface().AutoRedraw(), false);
    }

    void filterKeepsHoldAsItsIndicatorsShow()
    {
        MainFixture f;
        loadPicture(f);
        f.w->CmdPicRemain_Click(1);
        f.w->CmdPicFilter_Click(0);
        QCOMPARE(f.w->surface().AutoRedraw(), true);
        f.drag({200, 100}, {300, 100});
        f.w->surface().Refresh();
        QCOMPARE(f.surface().pixel(250, 100), Black);
    }

    void filterOnAnEmptySurface()
    {
        MainFixture f;
        loadPicture(f);
        f.w->centralWidget()->resize(10, 53);
        f.w->Form_Resize();
        QCOMPARE(picBox(f.w)->ScaleWidth(), 0);
        f.w->CmdPicFilter_Click(1);
        QCOMPARE(f.platform.pointerHistory, (QList<int>{11, 0}));
    }

    void clearEmptiesBothLayers()
    {
        MainFixture f;
        loadPicture(f);
        f.w->CmdPicRemain_Click(1);
        f.drag({150, 20}, {200, 20});
        f.w->CmdPicRemain_Click(0);
        f.drag({150, 40}, {200, 40});
        f.w->CmdPicClear_Click();
        QVERIFY(!f.w->tools().pictureLoaded());
        QVERIFY(f.w->surface().Picture().isNull());
        const int area = f.surface().width() * f.surface().height();
        QCOMPARE(countPixels(f.surface(), White), area);
        QCOMPARE(countPixels(f.persistent(), White), area);
        f.w->surface().Refresh();
        QCOMPARE(countPixels(f.surface(), White), area);
        // The indicators are untouched.
        QVERIFY(action(f.w, "CmdPicRemain", 0)->isChecked());
    }

    void strokesAfterClearSurviveWithHoldOn()
    {
        MainFixture f;
        f.w->CmdPicRemain_Click(1);
        f.w->CmdPicClear_Click();
        QVERIFY(action(f.w, "CmdPicRemain", 1)->isChecked());
        QCOMPARE(buttonBackground(toolButton(f.w, 2)), PressedLook);
        QCOMPARE(f.w->surface().AutoRedraw(), true);
        f.drag({20, 20}, {60, 20});
        f.w->surface().Refresh();
        QCOMPARE(countPixels(f.surface(), Black), 41);
    }

    void clearDuringADragRestartsAtTheCorner()
    {
        MainFixture f;
        f.press(100, 100);
        f.move(120, 100);
        QTest::keyClick(picBox(f.w), Qt::Key_Delete);
        QCOMPARE(countPixels(f.surface(), Black), 0);
        f.move(30, 30);
        f.release(30, 30);
        const QImage s = f.surface();
        QCOMPARE(s.pixel(0, 0), Black);
        QCOMPARE(s.pixel(15, 15), Black);
        QCOMPARE(s.pixel(30, 30), Black);
        QCOMPARE(s.pixel(100, 100), White);
    }

    void screenHoldSwitch()
    {
        MainFixture f;
        Main &w = *f.w;
        action(w, "CmdPicRemain", 1)->trigger();
        QVERIFY(w.surface().AutoRedraw());
        QVERIFY(!action(w, "CmdPicRemain", 0)->isChecked());
        QVERIFY(action(w, "CmdPicRemain", 1)->isChecked());
        QCOMPARE(buttonBackground(toolButton(w, 2)), PressedLook);
        QVERIFY(buttonFramed(toolButton(w, 2)));
        action(w, "CmdPicRemain", 1)->trigger(); // twice: the same
        QVERIFY(action(w, "CmdPicRemain", 1)->isChecked());
        QVERIFY(w.surface().AutoRedraw());
        action(w, "CmdPicRemain", 0)->trigger();
        QVERIFY(!w.surface().AutoRedraw());
        QVERIFY(action(w, "CmdPicRemain", 0)->isChecked());
        QVERIFY(!action(w, "CmdPicRemain", 1)->isChecked());
        QCOMPARE(buttonBackground(toolButton(w, 2)), PlainLook);
        QVERIFY(!buttonFramed(toolButton(w, 2)));
    }

    void layersAcrossSwitches()
    {
        MainFixture f;
        f.w->CmdPicRemain_Click(1);
        f.drag({10, 10}, {40, 10}); // kept
        f.w->CmdPicRemain_Click(0);
        f.drag({10, 20}, {40, 20}); // screen only
        for (int i = 0; i < 3; ++i) {
            f.w->CmdPicRemain_Click(1);
            f.w->CmdPicRemain_Click(0);
        }
        f.w->surface().Refresh();
        QCOMPARE(f.surface().pixel(20, 10), Black);
        QCOMPARE(f.surface().pixel(20, 20), White);
    }

    void explanation()
    {
        MainFixture f;
        action(f.w, "CmdPicRemainExplain")->trigger();
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        const auto &box = f.platform.msgBoxes.at(0);
        QCOMPARE(box.prompt,
                 QStringLiteral(
                     "Sketrinより前面に他のアプリケーションを重ねると、それまでに書いた部分は消えますが\r\n"
                     "この機能は、それをメモリに保持しておき消えないようにする機能です。\r\n"
                     "しかし多くのマシンパワーを必要とし、さらにバッファは限られているので、領域が大きすぎると\r\n"
                     "使用できません。"));
        QCOMPARE(box.style, 64);
        QCOMPARE(box.title, QStringLiteral("機能説明"));
        // On screen: four lines, no stray carriage returns.
        const QString shown = forms::displayText(box.prompt);
        QCOMPARE(shown.count(QLatin1Char('\n')), 3);
        QVERIFY(!shown.contains(QLatin1Char('\r')));
    }
};

QTEST_MAIN(TestFilters)
#include "tst_filters.moc"
