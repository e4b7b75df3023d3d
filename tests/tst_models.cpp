// The rules that live in the models, without a window: strokes with the tool
// state, the toolbar's reset, and the surface's snapshots.
#include "TestSupport.h"

#include "canvas/Strokes.h"
#include "canvas/Surface.h"
#include "canvas/ToolState.h"
#include "toolbar/Toolbar.h"

#include <QtTest>

using namespace testing;
using toolbar::Look;

Q_DECLARE_METATYPE(toolbar::Selection)

class TestModels : public QObject
{
    Q_OBJECT

private slots:
    void strokes_data()
    {
        QTest::addColumn<bool>("eraser");
        QTest::addColumn<bool>("pressFirst");
        QTest::addColumn<int>("expectedBlack"); // on a white surface, a drag from (10,10) to (30,10)
        QTest::newRow("pen draws the line") << false << true << 21;
        QTest::newRow("move without a press draws nothing") << false << false << 0;
        QTest::newRow("eraser leaves white on white") << true << true << 0;
    }
    void strokes()
    {
        QFETCH(bool, eraser);
        QFETCH(bool, pressFirst);
        QFETCH(int, expectedBlack);
        canvas::Surface surface;
        surface.setArea(QSize(60, 40), 1);
        canvas::ToolState tools;
        if (eraser)
            tools.selectEraser(0);
        if (pressFirst)
            QVERIFY(!canvas::strokeDown(tools, surface, 10, 10).isEmpty());
        canvas::strokeMove(tools, surface, 30, 10);
        canvas::strokeUp(tools);
        QCOMPARE(countPixels(visible(surface), Black), expectedBlack);
        QCOMPARE(tools.drawing(), std::optional<bool>(false));
    }

    void toolSwitchDuringAStroke()
    {
        canvas::Surface surface;
        surface.setArea(QSize(80, 40), 1);
        surface.setDrawWidth(3);
        surface.Line(0, 20, 79, 20, 0); // a black band to erase from
        canvas::ToolState tools;
        canvas::strokeDown(tools, surface, 10, 5);
        tools.selectEraser(0); // a shortcut key during the drag
        canvas::strokeMove(tools, surface, 40, 20);
        QCOMPARE(visible(surface).pixel(40, 20), White);
        QCOMPARE(visible(surface).pixel(10, 5), Black);
    }

    void clearLeavesTheBackgroundOnBothLayers()
    {
        canvas::Surface surface;
        surface.setArea(QSize(40, 40), 1);
        QImage picture(10, 10, QImage::Format_RGB32);
        picture.fill(qRgb(255, 0, 0));
        surface.setPicture(picture);
        surface.setAutoRedraw(true);
        surface.PSet(20, 20, 0);
        canvas::clearSurface(surface, true);
        QVERIFY(surface.Picture().isNull());
        QVERIFY(surface.AutoRedraw());
        QCOMPARE(countPixels(visible(surface), White), 1600);
        QCOMPARE(countPixels(surface.persistentLayer(), White, QRect(0, 0, 40, 40)), 1600);
    }

    void resetLooks_data()
    {
        QTest::addColumn<toolbar::Selection>("selection");
        QTest::addColumn<QString>("looks"); // per tool button: P plain, H pressed, - kept
        QTest::newRow("pen 1, hold off") << toolbar::Selection{0, {}, false} << QStringLiteral("-PPHPPPPPPPPPP");
        QTest::newRow("pen 4, hold on") << toolbar::Selection{3, {}, true} << QStringLiteral("-P-PPPHPPPPPPP");
        QTest::newRow("large eraser") << toolbar::Selection{{}, 1, false} << QStringLiteral("P-PPPPPPPPPPP-");
    }
    void resetLooks()
    {
        QFETCH(toolbar::Selection, selection);
        QFETCH(QString, looks);
        const auto got = toolbar::resetLooks(selection);
        QString text;
        for (const auto &look : got)
            text += !look ? QLatin1Char('-') : *look == Look::Plain ? QLatin1Char('P') : QLatin1Char('H');
        QCOMPARE(text, looks);
    }

    void snapshotRestoresBothLayersExactly_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("1x") << 1.0;
        QTest::newRow("2x") << 2.0;
    }
    void snapshotRestoresBothLayersExactly()
    {
        QFETCH(qreal, scale);
        canvas::Surface surface;
        surface.setArea(QSize(100, 80), scale);
        surface.setAutoRedraw(true);
        surface.setDrawWidth(5);
        surface.Line(5, 5, 90, 70, forms::colorWord(0, 0, 255));
        surface.setAutoRedraw(false);
        surface.PSet(50, 10, 0); // screen only
        const QImage persistBefore = surface.persistentLayer().copy();
        const QImage screenBefore = surface.visibleImage();
        const canvas::Surface::Snapshot shot = surface.snapshot(QRect(20, 0, 60, 80));
        surface.setDrawWidth(9);
        surface.setAutoRedraw(true);
        surface.Line(25, 40, 75, 40, forms::colorWord(255, 0, 0));
        QCOMPARE(surface.restore(shot), QRect(20, 0, 60, 80));
        QCOMPARE(surface.persistentLayer(), persistBefore);
        QCOMPARE(surface.visibleImage(), screenBefore);
        QCOMPARE(surface.visibleImage().size(), QSize(int(100 * scale), int(80 * scale)));
    }

    void restoreAfterGrowthPutsPixelsWhereTheyWere()
    {
        canvas::Surface surface;
        surface.setArea(QSize(50, 50), 1);
        surface.setAutoRedraw(true);
        const canvas::Surface::Snapshot blank = surface.snapshot(surface.bounds());
        surface.PSet(10, 10, 0);
        surface.setArea(QSize(200, 120), 1);
        surface.PSet(150, 100, 0);
        surface.restore(blank);
        QCOMPARE(visible(surface).pixel(10, 10), White);
        QCOMPARE(visible(surface).pixel(150, 100), Black);
    }
};

QTEST_MAIN(TestModels)
#include "tst_models.moc"
