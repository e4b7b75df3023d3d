// Undo and redo through the main window's commands: what counts as one step, and
// that each comes back bit for bit.
#include "MainFixture.h"
#include "TestSupport.h"

#include <QTemporaryDir>

using namespace testing;

namespace {

// Everything a step may change.
struct Document
{
    QImage screen;
    QImage persistent;
    qint64 picture = 0;
    bool loaded = false;
    QString file;
    bool operator==(const Document &o) const
    {
        return screen == o.screen && persistent == o.persistent && picture == o.picture && loaded == o.loaded &&
               file == o.file;
    }
};

Document document(Main &w)
{
    canvas::Surface &s = w.surface();
    return {s.visibleImage(), s.persistentLayer().copy(QRect(QPoint(0, 0), s.deviceArea())), s.Picture().cacheKey(),
            w.tools().pictureLoaded(), w.commonDialog().FileName};
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString quadrants;

private slots:
    void initTestCase()
    {
        quadrants = dir.filePath(QStringLiteral("q.bmp"));
        QImage q(80, 60, QImage::Format_RGB32);
        q.fill(qRgb(255, 0, 0));
        for (int y = 30; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                q.setPixel(x, y, qRgb(0, 0, 255));
        QVERIFY(q.save(quadrants));
    }

    void eachStepUndoesAndRedoesExactly_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("hold");
        for (bool hold : {false, true}) {
            const char *h = hold ? "hold on" : "hold off";
            for (const char *step : {"pen", "eraser", "clear", "load", "paste", "scale", "filter"})
                QTest::addRow("%s, %s", step, h) << QString::fromLatin1(step) << hold;
        }
    }
    void eachStepUndoesAndRedoesExactly()
    {
        QFETCH(QString, step);
        QFETCH(bool, hold);
        MainFixture f;
        Main &w = *f.w;
        w.CmdPicRemain_Click(hold ? 1 : 0);
        // Something to undo back to: a picture and a stroke over it.
        w.LoadPictureFile(quadrants);
        w.PenSize_Click(4);
        f.drag({10, 10}, {200, 120});
        const Document before = document(w);
        const int stepsBefore = w.history().steps();
        if (step == QLatin1String("pen") || step == QLatin1String("eraser")) {
            if (step == QLatin1String("eraser")) {
                w.EraserSize_Click(1);
                f.drag({100, 62}, {105, 65}); // over the stroke
            } else {
                f.drag({30, 100}, {150, 20});
            }
        } else if (step == QLatin1String("clear")) {
            w.CmdPicClear_Click();
        } else if (step == QLatin1String("load")) {
            f.platform.openAnswers.push_back(quadrants);
            w.CmdPicLoad_Click();
        } else if (step == QLatin1String("paste")) {
            QImage green(50, 40, QImage::Format_RGB32);
            green.fill(qRgb(0, 200, 0));
            f.platform.clipboardContent = {green, {}};
            w.CmdPicPaste_Click();
        } else if (step == QLatin1String("scale")) {
            w.CmdPicRatio_Click(3);
        } else {
            w.CmdPicFilter_Click(1);
        }
        const Document after = document(w);
        QVERIFY(!(after == before));
        QCOMPARE(w.history().steps(), stepsBefore + 1);
        action(w, "CmdUndo")->trigger();
        QVERIFY(document(w) == before);
        QVERIFY(action(w, "CmdRedo")->isEnabled());
        action(w, "CmdRedo")->trigger();
        QVERIFY(document(w) == after);
        QVERIFY(!action(w, "CmdRedo")->isEnabled());
    }

    void toolSwitchDuringADragIsOneStep()
    {
        MainFixture f;
        Main &w = *f.w;
        const Document before = document(w);
        f.press(20, 20);
        f.move(60, 60);
        QTest::keyClick(picBox(w), Qt::Key_F12); // the large eraser, mid-drag
        f.move(100, 20);
        f.release(100, 20);
        QCOMPARE(w.history().steps(), 1);
        w.CmdUndo_Click();
        QVERIFY(document(w) == before);
        QVERIFY(!w.history().canUndo());
    }

    void notSteps()
    {
        MainFixture f;
        Main &w = *f.w;
        w.CmdPicRemain_Click(1);
        w.CmdPicRemain_Click(0);
        w.PenSize_Click(3);
        w.CmdPicFilter_Click(0); // no picture: a message, no pixel changes
        f.platform.openAnswers.push_back(dir.filePath(QStringLiteral("missing.bmp")));
        w.CmdPicLoad_Click();
        w.resize(600, 400);
        QCOMPARE(w.history().steps(), 0);
        QVERIFY(!action(w, "CmdUndo")->isEnabled());
        f.drag({10, 10}, {50, 50});
        w.CmdUndo_Click();
        f.drag({10, 20}, {50, 60}); // a new step after an undo drops the redo
        QVERIFY(!w.history().canRedo());
    }

    void budgetDropsTheOldestSteps()
    {
        MainFixture f;
        Main &w = *f.w;
        // A short stroke takes one or two 64-pixel tiles of both layers: room for
        // a few.
        w.history().setBudget(4 * 64 * 64 * 4 * 2);
        for (int i = 0; i < 10; ++i)
            f.drag({10 + 40 * i, 30}, {10 + 40 * i, 40});
        QVERIFY2(w.history().steps() < 10 && w.history().steps() > 0, qPrintable(QString::number(w.history().steps())));
        QVERIFY(w.history().bytes() <= w.history().budget());
        while (w.history().canUndo())
            w.CmdUndo_Click();
        // The oldest strokes could not be undone; the newest are gone.
        QCOMPARE(f.surface().pixel(10, 35), Black);
        QCOMPARE(f.surface().pixel(370, 35), White);
    }

    void oversizedStepDropsTheHistory()
    {
        MainFixture f;
        Main &w = *f.w;
        f.drag({10, 10}, {50, 50});
        QVERIFY(w.history().canUndo());
        w.history().setBudget(64 * 1024); // far below the whole surface
        w.LoadPictureFile(quadrants);
        QVERIFY(w.tools().pictureLoaded()); // the step itself went ahead
        QCOMPARE(w.history().steps(), 0);
        QVERIFY(!action(w, "CmdUndo")->isEnabled());
    }

    void undoAfterAResize()
    {
        MainFixture f;
        Main &w = *f.w;
        w.CmdPicRemain_Click(1);
        f.drag({400, 200}, {440, 220});
        w.resize(300, 200);
        QTest::qWait(10);
        w.resize(800, 600);
        QTest::qWait(10);
        QCOMPARE(f.surface().pixel(420, 210), Black);
        w.CmdUndo_Click();
        QCOMPARE(f.surface().pixel(420, 210), White);
        w.CmdRedo_Click();
        QCOMPARE(f.surface().pixel(420, 210), Black);
    }

    void longSessionComesBackBitForBit()
    {
        MainFixture f;
        Main &w = *f.w;
        for (int i = 0; i < 300; ++i) {
            w.PenSize_Click(i % 9);
            w.PicBox_MouseDown(1, 0, float(i % 400), float(i % 200));
            w.PicBox_MouseMove(1, 0, float((i * 7) % 450), float((i * 13) % 230));
            w.PicBox_MouseUp(1, 0, 0, 0);
        }
        const Document end = document(w);
        while (w.history().canUndo())
            w.CmdUndo_Click();
        QCOMPARE(countPixels(f.surface(), White), f.surface().width() * f.surface().height());
        while (w.history().canRedo())
            w.CmdRedo_Click();
        QVERIFY(document(w) == end);
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
