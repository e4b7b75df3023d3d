// Undo and redo through the main window's commands: what counts as one step, and
// that each comes back bit for bit.
#include "MainFixture.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

using namespace testing;

namespace {

// The drawing and its history, without a window.
struct Model
{
    canvas::Surface surface;
    canvas::History history{surface};

    explicit Model(QSize area, qreal scale = 1)
    {
        surface.setArea(area, scale);
        surface.setDrawWidth(5);
    }
    void stroke(QPointF from, QPointF to)
    {
        history.begin({}, canvas::History::Extent::Touched);
        surface.PSet(float(from.x()), float(from.y()), 0);
        surface.Line(float(to.x()), float(to.y()), 0);
        history.end({});
    }
    QImage layers()
    {
        QImage both = surface.persistentLayer().copy();
        return both.height() ? both : QImage();
    }
};

// Lowers the address space the process may take to what it takes now plus
// `headroom` bytes, for as long as it lives. Large blocks then come from the
// system, not from memory the allocator kept from earlier tests.
class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(qint64 headroom)
    {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
        malloc_trim(0);
        getrlimit(RLIMIT_AS, &m_old);
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        qint64 used = 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                used = line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
        rlimit lowered = m_old;
        lowered.rlim_cur = rlim_t(used + headroom);
        setrlimit(RLIMIT_AS, &lowered);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_old); }

private:
    rlimit m_old{};
};

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

    // A command that repaints everything changes the whole layers, also what
    // lies beyond a window that has grown smaller; undo puts all of it back.
    void wholeStepsKeepWhatLiesBeyondTheWindow_data()
    {
        QTest::addColumn<QString>("step");
        for (const char *step : {"clear", "load", "scale"})
            QTest::newRow(step) << QString::fromLatin1(step);
    }
    void wholeStepsKeepWhatLiesBeyondTheWindow()
    {
        QFETCH(QString, step);
        MainFixture f;
        Main &w = *f.w;
        w.CmdPicRemain_Click(1);
        w.LoadPictureFile(quadrants);
        w.resize(900, 600);
        QTest::qWait(10);
        f.drag({700, 300}, {720, 310});
        w.resize(400, 300);
        QTest::qWait(10);
        if (step == QLatin1String("clear"))
            w.CmdPicClear_Click();
        else if (step == QLatin1String("load"))
            w.LoadPictureFile(quadrants);
        else
            w.CmdPicRatio_Click(3);
        w.CmdUndo_Click();
        w.resize(900, 600);
        QTest::qWait(10);
        QCOMPARE(f.surface().pixel(710, 305), Black);
    }

    // A window repaint removes what only the screen held; undo never brings it
    // back, but shows what the repaint would have left.
    void undoAfterARepaint_data()
    {
        QTest::addColumn<bool>("hold");
        QTest::newRow("hold off") << false;
        QTest::newRow("hold on") << true;
    }
    void undoAfterARepaint()
    {
        QFETCH(bool, hold);
        Model m(QSize(300, 200));
        m.surface.setAutoRedraw(hold);
        m.stroke({10, 30}, {290, 30}); // A
        const int a = countPixels(visible(m.surface), Black, QRect(0, 20, 300, 20));
        m.stroke({150, 5}, {150, 195}); // B, across A
        const QRect belowA(140, 40, 20, 160);
        const int b = countPixels(visible(m.surface), Black, belowA);
        m.surface.windowRepaint();
        QVERIFY(m.history.undo({}));
        const QImage undone = visible(m.surface);
        QCOMPARE(countPixels(undone, Black, QRect(0, 20, 300, 20)), hold ? a : 0);
        QCOMPARE(countPixels(undone, Black, belowA), 0);
        QVERIFY(m.history.redo({}));
        QCOMPARE(countPixels(visible(m.surface), Black, belowA), hold ? b : 0);
        QVERIFY(m.history.undo({}) && m.history.undo({}));
        QCOMPARE(countPixels(visible(m.surface), White), 300 * 200);
    }

    // On a fractional scale neighbouring tiles share device pixels, and a later
    // tile may record pixels an earlier part of the step already changed.
    void overlappingRecordsUndoExactly_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("x1") << 1.0;
        QTest::newRow("x1.5") << 1.5;
        QTest::newRow("x2") << 2.0;
    }
    void overlappingRecordsUndoExactly()
    {
        QFETCH(qreal, scale);
        Model m(QSize(300, 200), scale);
        QImage picture(97, 61, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 2, y * 4, (x * y) % 256));
        m.surface.setAutoRedraw(true);
        m.stroke({20, 20}, {200, 150});
        const QImage before = m.layers();
        const QImage screenBefore = visible(m.surface);
        m.history.begin({}, canvas::History::Extent::Touched);
        // The first ends just inside the second 64-pixel tile, the second reaches
        // into the third, whose record starts a column early at x1.5.
        m.surface.PaintPicture(picture, 5, 5, 80, 40);
        m.surface.PaintPicture(picture.mirrored(true, false), 7, 5, 80, 40);
        m.history.end({});
        const QImage after = m.layers();
        QVERIFY(m.history.undo({}));
        QCOMPARE(m.layers(), before);
        QCOMPARE(visible(m.surface), screenBefore);
        QVERIFY(m.history.redo({}));
        QCOMPARE(m.layers(), after);
    }

    // No memory for the record of a whole-surface step: the history goes, as for
    // a step too large to keep; the command still happens, and nothing breaks.
    void noMemoryForTheRecord_data()
    {
        QTest::addColumn<double>("headroom"); // in layers
        QTest::newRow("neither copy fits") << 0.5;
        QTest::newRow("only one copy fits") << 1.5;
    }
    void noMemoryForTheRecord()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizers reserve the address space themselves");
#endif
        QFETCH(double, headroom);
        Model m(QSize(4000, 3000));
        m.surface.setAutoRedraw(true);
        m.stroke({10, 10}, {500, 400});
        QVERIFY(m.history.canUndo());
        const qint64 layer = m.surface.persistentLayer().sizeInBytes();
        {
            AddressSpaceLimit limit(qint64(headroom * double(layer)));
            m.history.begin({}, canvas::History::Extent::Whole);
            m.surface.Cls(); // the command: in place, without memory of its own
            m.history.end({});
        }
        QCOMPARE(m.history.steps(), 0);
        QVERIFY(!m.history.undo({}));
        m.surface.windowRepaint();
        QCOMPARE(countPixels(visible(m.surface), White, QRect(0, 0, 600, 500)), 600 * 500);
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
        // A command that changes nothing records nothing, and keeps the redo.
        w.CmdPicClear_Click();
        QVERIFY(w.history().canRedo());
        QCOMPARE(w.history().steps(), 1);
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
