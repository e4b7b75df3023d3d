// The drawing mode's rules on its models, without a window: the eraser uncovers
// the frozen screen, zoomed input lands where the pointer is, undo, and the crop
// of one monitor from a desktop picture.
#include "MainFixture.h"
#include "TestSupport.h"

#include "app/CommandLine.h"
#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/ScreenCapture.h"
#include "present/Session.h"
#include "present/Zoom.h"

#include <QDialog>
#include <QTimer>
#include <QtTest>
#include <cmath>

using namespace testing;

namespace {

// A frozen "screen": a pattern no stroke colour matches.
QImage screenPattern(QSize device, qreal scale)
{
    QImage image(device, QImage::Format_RGB32);
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            image.setPixel(x, y, qRgb(40 + x % 50, 90 + y % 60, 200));
    image.setDevicePixelRatio(scale);
    return image;
}

QImage plain(QImage image)
{
    image.setDevicePixelRatio(1);
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestPresent : public QObject
{
    Q_OBJECT

private slots:
    void showsTheScreenAsItWas_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("x1") << 1.0;
        QTest::newRow("x1.5") << 1.5;
        QTest::newRow("x2") << 2.0;
    }
    void showsTheScreenAsItWas()
    {
        QFETCH(qreal, scale);
        canvas::ToolState tools;
        const QImage screen = screenPattern(QSize(300, 180), scale);
        present::Session session(screen, tools);
        QCOMPARE(plain(session.shown()), plain(screen));
        QCOMPARE(session.shown().devicePixelRatio(), scale);
    }

    // The eraser takes the marks off and shows the screen beneath, and Del takes
    // them all; each is one step.
    void eraserUncoversTheScreen_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::newRow("x1") << 1.0;
        QTest::newRow("zoomed x2") << 2.0;
    }
    void eraserUncoversTheScreen()
    {
        QFETCH(qreal, zoom);
        canvas::ToolState tools;
        tools.selectPen(8);
        tools.setPenColor(0x0000FF); // red
        const QImage screen = screenPattern(QSize(200, 120), 1);
        present::Session session(screen, tools);
        session.zoom().zoomAt(QPointF(0, 0), zoom);
        // The eraser stamps where the pointer passes: a drag of small steps.
        auto drag = [&] {
            session.press(QPointF(20, 40) * zoom);
            for (int x = 22; x <= 180; x += 2)
                session.move(QPointF(x, 40) * zoom);
            session.release();
        };
        drag();
        QVERIFY(countPixels(plain(session.shown()), qRgb(255, 0, 0)) > 500);
        tools.selectEraser(1);
        drag();
        QCOMPARE(plain(session.shown()), plain(screen));
        QVERIFY(session.undo()); // the erasing
        session.clear();
        QCOMPARE(plain(session.shown()), plain(screen));
        QVERIFY(session.undo()); // the clear
        QVERIFY(countPixels(plain(session.shown()), qRgb(255, 0, 0)) > 500);
        QVERIFY(session.undo() && !session.undo()); // the stroke, then nothing
        QCOMPARE(plain(session.shown()), plain(screen));
        QVERIFY(session.redo());
        QVERIFY(countPixels(plain(session.shown()), qRgb(255, 0, 0)) > 500);
    }

    // Zooming keeps the picture point under the pointer where it is, stays inside
    // the picture, and drawing lands where the pointer is.
    void zoomedInputLandsUnderThePointer_data()
    {
        QTest::addColumn<QPointF>("anchor");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QPointF>("pointer");
        QTest::newRow("centre, one step") << QPointF(400, 300) << 1 << QPointF(410, 290);
        QTest::newRow("corner, to the limit") << QPointF(790, 590) << 12 << QPointF(700, 500);
        QTest::newRow("top-left, four steps") << QPointF(0, 0) << 4 << QPointF(123, 77);
    }
    void zoomedInputLandsUnderThePointer()
    {
        QFETCH(QPointF, anchor);
        QFETCH(int, steps);
        QFETCH(QPointF, pointer);
        present::Zoom zoom;
        zoom.setView(QSizeF(800, 600));
        const QPointF under = zoom.toPicture(anchor);
        zoom.stepAt(anchor, steps);
        QVERIFY(zoom.factor() > 1 && zoom.factor() <= present::Zoom::Max);
        QVERIFY(QRectF(0, 0, 800, 600).contains(zoom.shown()));
        if (QRectF(0, 0, 800, 600).contains(QRectF(under - anchor / zoom.factor(), zoom.shown().size())))
            QCOMPARE(zoom.toPicture(anchor), under);
        QCOMPARE(zoom.toView(zoom.toPicture(pointer)), pointer);
        zoom.stepAt(anchor, -steps);
        QCOMPARE(zoom.factor(), 1.0);
        QCOMPARE(zoom.offset(), QPointF(0, 0));

        canvas::ToolState tools;
        present::Session session(screenPattern(QSize(800, 600), 1), tools);
        session.zoom().stepAt(anchor, steps);
        session.press(pointer);
        session.release();
        const QPointF landed = session.zoom().toPicture(pointer);
        const QPoint at(int(std::floor(landed.x())), int(std::floor(landed.y())));
        QCOMPARE(plain(session.shown()).pixel(at), Black);
    }

    // One monitor cut from the portal's picture of the whole desktop, at that
    // monitor's own device size wherever the portal rendered at another scale.
    void cropOfOneMonitor_data()
    {
        QTest::addColumn<QRect>("desktop");  // logical
        QTest::addColumn<qreal>("rendered"); // the portal picture's pixels to a logical pixel
        QTest::addColumn<QRect>("monitor");  // logical
        QTest::addColumn<qreal>("scale");    // the monitor's
        QTest::newRow("one monitor") << QRect(0, 0, 400, 300) << 1.0 << QRect(0, 0, 400, 300) << 1.0;
        QTest::newRow("right of two, same scale") << QRect(0, 0, 800, 300) << 1.0 << QRect(400, 0, 400, 300) << 1.0;
        QTest::newRow("x1 monitor, rendered at x2") << QRect(0, 0, 700, 300) << 2.0 << QRect(0, 0, 400, 300) << 1.0;
        QTest::newRow("x2 monitor, rendered at x1") << QRect(0, 0, 700, 300) << 1.0 << QRect(400, 0, 300, 200) << 2.0;
        QTest::newRow("x1.5 monitor below") << QRect(0, 0, 400, 500) << 1.5 << QRect(0, 300, 400, 200) << 1.5;
        QTest::newRow("desktop not at 0,0") << QRect(-400, 0, 800, 300) << 1.0 << QRect(-400, 0, 400, 300) << 1.0;
    }
    void cropOfOneMonitor()
    {
        QFETCH(QRect, desktop);
        QFETCH(qreal, rendered);
        QFETCH(QRect, monitor);
        QFETCH(qreal, scale);
        // Every logical pixel of the desktop in a colour of its own place.
        auto red = [](int lx) { return ((lx + 1000) / 10) % 256; };
        QImage picture(int(desktop.width() * rendered), int(desktop.height() * rendered), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const int lx = desktop.x() + int(x / rendered), ly = desktop.y() + int(y / rendered);
                picture.setPixel(x, y, qRgb(red(lx), red(ly), (lx + ly + 1000) % 7 * 30));
            }
        const QImage crop = forms::cropScreen(picture, desktop, monitor, scale);
        QCOMPARE(crop.size(), (QSizeF(monitor.size()) * scale).toSize());
        QCOMPARE(crop.devicePixelRatio(), scale);
        // Away from the blend of a resampling, each place shows its own colour.
        for (const QPoint &p : {QPoint(15, 15), QPoint(monitor.width() - 16, monitor.height() - 16)}) {
            const QPoint logical = monitor.topLeft() + p;
            const QRgb seen = crop.pixel((QPointF(p) * scale + QPointF(0.5, 0.5) * scale).toPoint());
            QCOMPARE(qRed(seen), red(logical.x()));
            QCOMPARE(qGreen(seen), red(logical.y()));
        }
    }

    // The main window's side: the mode takes the screen, keeps the main window's
    // keys from acting on it meanwhile, shares the tool state, and hands back the
    // annotated screen as one step.
    void modeFromTheMainWindow()
    {
        MainFixture f;
        Main &w = *f.w;
        f.drag({20, 20}, {60, 20}); // a stroke the mode's keys must leave alone
        const int steps = w.history().steps();
        QImage screen = screenPattern(QSize(320, 200), 1);
        f.platform.captureAnswers.push_back(screen);
        action(w, "CmdDrawOnScreen")->trigger();
        present::DrawingWindow *mode = w.drawingWindow();
        QVERIFY(mode);
        QVERIFY(!w.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(mode));
        QTest::keyClick(mode, Qt::Key_F5);
        QVERIFY(action(w, "PenSize", 4)->isChecked());
        // A colour key sets the one pen colour, which the main window's swatch shows.
        QTest::keyClick(mode, Qt::Key_O);
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 140, 0));
        QCOMPARE(colView(w)->BackColor(), forms::colorWord(255, 140, 0));
        QTest::keyClick(mode, Qt::Key_R);
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 0, 0));
        QTest::keyClick(mode, Qt::Key_K); // not a colour key: nothing changes
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 0, 0));

        QTest::keyClick(mode, Qt::Key_Delete);
        QTest::keyClick(mode, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.history().steps(), steps);
        QTest::mouseClick(mode, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::keyClick(mode, Qt::Key_Escape);
        QTRY_VERIFY(!w.drawingWindow());
        QVERIFY(w.isVisible());
        QCOMPARE(w.history().steps(), steps + 1);
        QVERIFY(w.tools().pictureLoaded());
        QCOMPARE(f.surface().pixel(100, 100), qRgb(255, 0, 0));
        QCOMPARE(f.surface().pixel(10, 10), screen.pixel(10, 10));
        w.CmdUndo_Click();
        QCOMPARE(countPixels(f.surface(), Black, QRect(20, 15, 41, 10)), 41); // the stroke from before
    }

    // The key does nothing while a dialog waits for an answer: leaving would take
    // the dialog's window from under it, entering would freeze the dialog.
    void keyWaitsForAnOpenDialog_data()
    {
        QTest::addColumn<bool>("inMode");
        QTest::newRow("the mode's dialog") << true;
        QTest::newRow("the main window's dialog") << false;
    }
    void keyWaitsForAnOpenDialog()
    {
        QFETCH(bool, inMode);
        MainFixture f;
        Main &w = *f.w;
        f.platform.captureAnswers.push_back(screenPattern(QSize(320, 200), 1));
        f.platform.captureAnswers.push_back(screenPattern(QSize(320, 200), 1));
        if (inMode)
            w.CmdDrawOnScreen_Click();
        bool modeDuringDialog = !inMode;
        {
            QDialog dialog(inMode ? static_cast<QWidget *>(w.drawingWindow()) : &w);
            QTimer::singleShot(0, &dialog, [&] {
                w.CmdDrawOnScreen_Click(); // the key from another program
                modeDuringDialog = w.drawingWindow() != nullptr;
                dialog.reject();
            });
            dialog.exec();
        }
        QCOMPARE(modeDuringDialog, inMode);
        w.CmdDrawOnScreen_Click(); // and now it acts
        QTRY_COMPARE(w.drawingWindow() != nullptr, !inMode);
    }

    void modeWithoutAScreen()
    {
        MainFixture f;
        f.w->CmdDrawOnScreen_Click(); // the screen cannot be taken
        QVERIFY(!f.w->drawingWindow());
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).prompt, QStringLiteral("画面を取り込めませんでした。"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("draw");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("error");
        QTest::newRow("nothing") << QStringList{} << false << QString() << false;
        QTest::newRow("a file") << QStringList{"a.bmp", "ignored"} << false << "a.bmp" << false;
        QTest::newRow("--draw") << QStringList{"--draw"} << true << QString() << false;
        QTest::newRow("--draw and a file") << QStringList{"b.jpg", "--draw"} << true << "b.jpg" << false;
        QTest::newRow("a file named like an option") << QStringList{"--", "-x.png"} << false << "-x.png" << false;
        QTest::newRow("unknown option") << QStringList{"--drwa"} << false << QString() << true;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, draw);
        QFETCH(QString, file);
        QFETCH(bool, error);
        const CommandLine line = parseCommandLine(QStringList{QStringLiteral("sketrin")} + arguments);
        QCOMPARE(line.draw, draw);
        QCOMPARE(line.file, file);
        QCOMPARE(!line.error.isEmpty(), error);
        QVERIFY(CommandLine::usage().contains(QStringLiteral("--draw")));
    }
};

QTEST_MAIN(TestPresent)
#include "tst_present.moc"
