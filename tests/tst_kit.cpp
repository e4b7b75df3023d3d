// The presenter's kit in the drawing mode: the laser's fade on a clock the test
// drives, the spotlight's dim and lit pixels, numbered steps with undo and redo,
// the redaction's blocks, and the key card against the key table.
#include "MainFixture.h"
#include "TestSupport.h"

#include "canvas/ToolState.h"
#include "forms/ColorWord.h"
#include "forms/ScriptedPlatform.h"
#include "present/Document.h"
#include "present/DrawingWindow.h"
#include "present/KeyCard.h"
#include "present/KeyCardWindow.h"
#include "present/Keys.h"
#include "present/Laser.h"
#include "present/Redaction.h"
#include "present/Spotlight.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>

using namespace testing;
using present::Kit;

namespace {

QImage whiteScreen(QSize device, qreal scale = 1)
{
    QImage image(device, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDevicePixelRatio(scale);
    return image;
}

// Fine detail, as text is: every pixel unlike its neighbours.
QImage detailScreen(QSize device, qreal scale)
{
    QImage image(device, QImage::Format_RGB32);
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            image.setPixel(x, y, (x * 7 + y * 13) % 5 < 2 ? qRgb(20, 20, 20) : qRgb(240, 230 - x % 40, 200 + y % 50));
    image.setDevicePixelRatio(scale);
    return image;
}

QImage plain(QImage image)
{
    image.setDevicePixelRatio(1);
    return image.convertToFormat(QImage::Format_RGB32);
}

// The shortest run of one colour along the rows (or the columns) of `area`.
int shortestRun(const QImage &image, const QRect &area, bool rows)
{
    int shortest = INT_MAX;
    const int lines = rows ? area.height() : area.width(), along = rows ? area.width() : area.height();
    for (int l = 0; l < lines; ++l) {
        int run = 1;
        auto at = [&](int i) {
            return rows ? image.pixel(area.left() + i, area.top() + l) : image.pixel(area.left() + l, area.top() + i);
        };
        for (int i = 1; i < along; ++i) {
            if (at(i) == at(i - 1)) {
                ++run;
                continue;
            }
            shortest = std::min(shortest, run);
            run = 1;
        }
        shortest = std::min(shortest, run);
    }
    return shortest;
}

// The mode's window alone over a white screen, on the scripted platform.
// The painter's dim and the copy's round apart by a level at most.
bool withinALevel(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 1 && qAbs(qGreen(a) - qGreen(b)) <= 1 && qAbs(qBlue(a) - qBlue(b)) <= 1;
}

struct ModeWindow
{
    canvas::ToolState tools;
    forms::ScriptedPlatform platform;
    const QImage screen = whiteScreen(QSize(320, 240));
    present::DrawingWindow mode{screen, nullptr, tools, platform};
    ModeWindow()
    {
        mode.resize(320, 240);
        mode.show();
        if (!QTest::qWaitForWindowExposed(&mode))
            qWarning("the mode was not exposed");
    }
    QImage looks() { return mode.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

} // namespace

class TestKit : public QObject
{
    Q_OBJECT

private slots:
    // A burst stays while drawn and a second after, fades over half a second,
    // and goes; at no time is it in what the mode shows, saves or hands back,
    // nor a step.
    void laserFades_data()
    {
        QTest::addColumn<qint64>("after");
        QTest::addColumn<bool>("held");
        QTest::addColumn<qreal>("strength");
        QTest::newRow("button held long") << qint64(5000) << true << 1.0;
        QTest::newRow("0.9 s after") << qint64(900) << false << 1.0;
        QTest::newRow("halfway through the fade") << qint64(1250) << false << 0.5;
        QTest::newRow("1.5 s after: gone") << qint64(1500) << false << 0.0;
    }
    void laserFades()
    {
        QFETCH(qint64, after);
        QFETCH(bool, held);
        QFETCH(qreal, strength);
        canvas::ToolState tools;
        tools.setPenColor(0x0000FF); // red
        const QImage screen = whiteScreen(QSize(240, 160), 1.5);
        present::Document doc(screen, tools);
        qint64 now = 1000;
        doc.laser().setClock([&] { return now; });
        doc.setKit(Kit::Laser);
        doc.press(QPointF(20, 40));
        for (int x = 24; x <= 140; x += 4)
            doc.move(QPointF(x, 40 + x % 9));
        if (!held)
            doc.release();
        now += after;
        doc.laser().advance();
        QCOMPARE(doc.laser().strength(), strength);
        QCOMPARE(doc.laser().empty(), strength == 0);
        QImage painted = plain(doc.showing());
        {
            QPainter p(&painted);
            doc.laser().paint(p, painted.rect());
        }
        QCOMPARE(countPixels(painted, qRgb(255, 255, 255)) < painted.width() * painted.height() - 1000, strength > 0);
        doc.release();
        QCOMPARE(plain(doc.shown()), plain(screen));
        QVERIFY(!doc.history().canUndo());
    }

    // The window asks for the fade's frames only while there is ink to fade.
    void laserFramesStop()
    {
        ModeWindow w;
        qint64 now = 0;
        w.mode.document().laser().setClock([&] { return now; });
        QTest::keyClick(&w.mode, Qt::Key_L);
        QVERIFY(!w.mode.laserFrameWaiting());
        QTest::mousePress(&w.mode, Qt::LeftButton, {}, QPoint(40, 40));
        QTest::mouseMove(&w.mode, QPoint(120, 60));
        QVERIFY(w.looks().pixel(80, 50) != qRgb(255, 255, 255));
        QTest::mouseRelease(&w.mode, Qt::LeftButton, {}, QPoint(120, 60));
        QVERIFY(w.mode.laserFrameWaiting());
        now += present::Laser::HoldMs + present::Laser::FadeMs;
        QTRY_VERIFY_WITH_TIMEOUT(!w.mode.laserFrameWaiting(), 5000);
        QVERIFY(w.mode.document().laser().empty());
        QCOMPARE(w.looks().pixel(80, 50), qRgb(255, 255, 255));
        QCOMPARE(plain(w.mode.picture()), plain(w.screen));
    }

    // 60 % darker outside a sharp circle, lit inside, at several radii and
    // scales; [ and ] hold it between 40 px and half the view's height.
    void spotlight_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<int>("steps");
        QTest::addColumn<qreal>("radius");
        QTest::newRow("x1, as it starts") << 1.0 << 0 << present::Spotlight::StartRadius;
        QTest::newRow("x1, smallest") << 1.0 << -20 << 40.0;
        QTest::newRow("x1.5, one larger") << 1.5 << 1 << present::Spotlight::StartRadius * 1.25;
        QTest::newRow("x1.5, largest") << 1.5 << 20 << 150.0;
    }
    void spotlight()
    {
        QFETCH(qreal, scale);
        QFETCH(int, steps);
        QFETCH(qreal, radius);
        const QRect view(0, 0, 400, 300);
        const QPointF centre(200, 150);
        present::Spotlight spot;
        QCOMPARE(spot.toggle(centre, view), QRegion(view));
        spot.resize(steps, view);
        QCOMPARE(spot.radius(), radius);
        QImage image = whiteScreen(view.size() * scale, scale);
        {
            QPainter p(&image);
            spot.paint(p, view);
        }
        auto grey = [&](QPointF at) { return qRed(image.pixel((at * scale).toPoint())); };
        const int dim = 255 - present::Spotlight::DimAlpha;
        for (const QPointF dir : {QPointF(1, 0), QPointF(0, -1), QPointF(-0.6, 0.8)}) {
            QCOMPARE(grey(centre + dir * (radius - 2)), 255);
            if (QRectF(view).contains(centre + dir * (radius + 2)))
                QVERIFY(qAbs(grey(centre + dir * (radius + 2)) - dim) <= 1);
        }
        QVERIFY(qAbs(grey(QPointF(1, 1)) - dim) <= 1);
        // A move changes only what was lit and is not now, and the other way
        // round: the circle's old left edge and new right edge, not its middle.
        const QRegion moved = spot.moveTo(centre + QPointF(30, 0));
        QVERIFY(moved.contains(QPoint(int(centre.x() - radius + 2), int(centre.y()))));
        QVERIFY(moved.contains(QPoint(int(centre.x() + 30 + radius - 2), int(centre.y()))));
        QVERIFY(!moved.contains(centre.toPoint()));
        QVERIFY(!moved.contains(QPoint(0, 0)));
    }

    // Onto the window's own image the picture is copied and dimmed in one
    // pass: it looks as the painted dim does, away from the circle's edge,
    // wherever the centre lies in its pixel and after the circle moved off and
    // back; nothing outside the area is touched; off, the copy is plain.
    void spotlightCopy_data()
    {
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<bool>("on");
        QTest::newRow("whole pixel") << QPointF(150, 100) << QPoint(0, 0) << true;
        QTest::newRow("within a pixel, window moved") << QPointF(150.5, 99.25) << QPoint(7, 3) << true;
        QTest::newRow("half off the picture") << QPointF(10.75, 190) << QPoint(0, 0) << true;
        QTest::newRow("off: a plain copy") << QPointF(150, 100) << QPoint(7, 3) << false;
    }
    void spotlightCopy()
    {
        QFETCH(QPointF, centre);
        QFETCH(QPoint, offset);
        QFETCH(bool, on);
        const QRect view(0, 0, 300, 200), area(5, 5, 280, 190);
        const QImage picture = detailScreen(view.size(), 1);
        present::Spotlight spot;
        if (on)
            spot.toggle(QPointF(40, 40), view);
        spot.moveTo(centre + QPointF(33.5, -20.25)); // a circle worked out before
        spot.moveTo(centre);
        QImage painted = picture;
        {
            QPainter p(&painted);
            spot.paint(p, view);
        }
        QImage window(view.size() + QSize(10, 10), QImage::Format_RGB32);
        window.fill(Qt::blue);
        spot.copy(picture, window, area, offset);
        int checked = 0;
        for (int y = 0; y < window.height(); ++y)
            for (int x = 0; x < window.width(); ++x) {
                const QPoint at = QPoint(x, y) - offset;
                if (!area.contains(at)) {
                    QCOMPARE(window.pixel(x, y), qRgb(0, 0, 255));
                    continue;
                }
                const QPointF middle = QPointF(at) + QPointF(0.5, 0.5) - centre;
                const qreal distance = std::hypot(middle.x(), middle.y());
                if (on && std::abs(distance - spot.radius()) < 1.5)
                    continue;
                if (!withinALevel(window.pixel(x, y), on ? painted.pixel(at) : picture.pixel(at)))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(at.x()).arg(at.y())));
                ++checked;
            }
        QVERIFY(checked > 40000);
    }

    // A move repaints only its region, and the window then shows exactly what a
    // whole repaint would: at one to one with no pixel to spare, on a scaled
    // screen with one, for moves within a pixel, sideways, up and down, and
    // jumps off the old circle; also after the picture changed under the dim.
    void spotlightMoves_data()
    {
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QPointF>("move");
        QTest::addColumn<bool>("picture");
        QTest::newRow("sideways") << true << QPointF(3, 0) << false;
        QTest::newRow("up and across") << true << QPointF(-4, -7) << false;
        QTest::newRow("within a pixel") << true << QPointF(0.25, 0.5) << false;
        QTest::newRow("jump off the circle") << true << QPointF(150, 90) << false;
        QTest::newRow("down, a pixel to spare") << false << QPointF(2.5, 6) << false;
        QTest::newRow("picture changed under the dim") << true << QPointF(5, 3) << true;
    }
    void spotlightMoves()
    {
        QFETCH(bool, exact);
        QFETCH(QPointF, move);
        QFETCH(bool, picture);
        const QRect view(0, 0, 400, 300);
        QImage page = detailScreen(view.size(), 1);
        present::Spotlight spot;
        spot.setExact(exact);
        spot.toggle(QPointF(130.5, 120), view);
        spot.resize(-3, view); // 61 px: the jump leaves the circle
        QImage window(view.size(), QImage::Format_RGB32);
        spot.copy(page, window, view, QPoint());
        if (picture) {
            const QRect changed(10, 10, 40, 30);
            QPainter(&page).fillRect(changed, Qt::red);
            spot.pictureChanged(page, changed);
            spot.copy(page, window, changed, QPoint());
        }
        const QRegion region = spot.moveTo(spot.centre() + move);
        QVERIFY(!region.isEmpty());
        spot.copy(page, window, region, QPoint());
        present::Spotlight whole;
        whole.setExact(exact);
        whole.toggle(spot.centre(), view);
        whole.resize(-3, view);
        QImage want(view.size(), QImage::Format_RGB32);
        whole.copy(page, want, view, QPoint());
        QCOMPARE(window, want);
        if (!exact)
            return;
        // At one to one the painted dim (a zoomed or see-through view) has the
        // same edge, to the pixel.
        QImage painted = page;
        {
            QPainter p(&painted);
            whole.paint(p, view);
        }
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x) {
                if (!withinALevel(painted.pixel(x, y), want.pixel(x, y)))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    // Each click the next number, one step each; undo takes the last off and
    // the next click reuses its number; Del starts again from 1. The numeral
    // stands out from the circle.
    void numberedSteps_data()
    {
        QTest::addColumn<std::int32_t>("color");
        QTest::addColumn<QRgb>("numeral");
        QTest::newRow("red: white numerals") << forms::colorWord(255, 0, 0) << qRgb(255, 255, 255);
        QTest::newRow("yellow: black numerals") << forms::colorWord(255, 220, 0) << qRgb(0, 0, 0);
    }
    void numberedSteps()
    {
        QFETCH(std::int32_t, color);
        QFETCH(QRgb, numeral);
        canvas::ToolState tools;
        tools.setPenColor(color);
        tools.selectPen(8);
        const QImage screen = whiteScreen(QSize(400, 120));
        present::Document doc(screen, tools);
        doc.setKit(Kit::Steps);
        auto click = [&](int x) {
            doc.press(QPointF(x, 60));
            doc.release();
        };
        const QRgb fill = forms::toQColor(color).rgb();
        auto marked = [&](int x) { return countPixels(plain(doc.shown()), fill, QRect(x - 30, 30, 60, 60)) > 400; };
        click(50), click(150), click(250);
        QCOMPARE(doc.nextNumber(), 4);
        QVERIFY(marked(50) && marked(150) && marked(250));
        QVERIFY(countPixels(plain(doc.shown()), numeral, QRect(220, 30, 60, 60)) > 20);
        QVERIFY(doc.undo());
        QCOMPARE(doc.nextNumber(), 3);
        QVERIFY(!marked(250));
        QVERIFY(doc.redo());
        QCOMPARE(doc.nextNumber(), 4);
        QVERIFY(marked(250));
        QVERIFY(doc.undo());
        click(350);
        QCOMPARE(doc.nextNumber(), 4); // the 3 again, at the new place
        QVERIFY(marked(350) && !marked(250));
        doc.clear();
        QCOMPARE(doc.nextNumber(), 1);
        QVERIFY(doc.undo());
        QCOMPARE(doc.nextNumber(), 4);
    }

    // The dragged rectangle in blocks of one colour each, at least 12 device
    // pixels across; nothing outside it changes; one step.
    void redaction_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QRectF>("drag");
        QTest::newRow("x1") << 1.0 << QRectF(30, 20, 90, 50);
        QTest::newRow("x1.5, dragged up and left") << 1.5 << QRectF(130, 90, -73, -41);
        QTest::newRow("x1, smaller than a block") << 1.0 << QRectF(60, 60, 7, 30);
    }
    void redaction()
    {
        QFETCH(qreal, scale);
        QFETCH(QRectF, drag);
        canvas::ToolState tools;
        const QImage screen = detailScreen(QSize(240, 150) * scale, scale);
        present::Document doc(screen, tools);
        doc.setKit(Kit::Redact);
        doc.press(drag.topLeft());
        doc.move(drag.center());
        doc.move(drag.bottomRight());
        doc.release();
        const QImage after = plain(doc.shown()), before = plain(screen);
        QRect changed;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (after.pixel(x, y) != before.pixel(x, y))
                    changed |= QRect(x, y, 1, 1);
        const QRect device =
            QRectF(drag.topLeft() * scale, drag.size() * scale).normalized().toAlignedRect().adjusted(-2, -2, 2, 2);
        QVERIFY2(device.contains(changed), qPrintable(QStringLiteral("changed beyond the drag")));
        QVERIFY(changed.width() * changed.height() > device.width() * device.height() / 2);
        const int least = std::min({present::RedactBlock, changed.width(), changed.height()});
        QVERIFY(shortestRun(after, changed, true) >= std::min(least, changed.width()));
        QVERIFY(shortestRun(after, changed, false) >= std::min(least, changed.height()));
        QVERIFY(doc.undo() && !doc.undo());
        QCOMPARE(plain(doc.shown()), before);
    }

    // Over a live screen, which keeps changing, the rectangle goes black:
    // opaque, exactly the rectangle, one step.
    void redactionOverALiveScreen()
    {
        canvas::ToolState tools;
        present::Document doc(QSize(240, 150), 1, tools);
        doc.setKit(Kit::Redact);
        doc.press({30, 20});
        doc.move({120, 70});
        doc.release();
        const QImage marks = doc.shown();
        QCOMPARE(marks.pixel(75, 45), qRgba(0, 0, 0, 255));
        QCOMPARE(qAlpha(marks.pixel(75, 90)), 0);
        QCOMPARE(qAlpha(marks.pixel(150, 45)), 0);
        QVERIFY(doc.undo());
        QCOMPARE(qAlpha(doc.shown().pixel(75, 45)), 0);
    }

    // The card lists every key of the table the keys are dispatched from, in
    // its order, and fits the screen it is shown on.
    void keyCard_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("800x600") << QSize(800, 600);
    }
    void keyCard()
    {
        QFETCH(QSize, screen);
        const std::vector<present::KeyCardRow> rows = present::keyCardRows();
        const std::vector<present::ModeKey> &keys = present::modeKeys();
        QCOMPARE(rows.size(), keys.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].what, keys[i].what);
            QVERIFY(!rows[i].key.isEmpty());
        }
        const present::KeyCard card{QRect(QPoint(), screen)};
        QVERIFY(QRect(QPoint(), screen).contains(card.rect()));
        QVERIFY(qAbs(card.rect().center().x() - screen.width() / 2) <= 1);
    }

    // Through the window: the kit's keys switch its tools; ? shows the card,
    // and the key or click that takes it away does nothing else; S dims all
    // but the pointer's surroundings.
    void kitThroughTheWindow()
    {
        ModeWindow w;
        present::Document &doc = w.mode.document();
        QSignalSpy leaving(&w.mode, &present::DrawingWindow::leaveRequested);
        QTest::keyClick(&w.mode, Qt::Key_N);
        QCOMPARE(doc.kit(), Kit::Steps);
        QTest::mouseClick(&w.mode, Qt::LeftButton, {}, QPoint(60, 60));
        QCOMPARE(doc.nextNumber(), 2);
        QTest::keyClick(&w.mode, Qt::Key_M);
        QCOMPARE(doc.kit(), Kit::Redact);
        QTest::keyClick(&w.mode, Qt::Key_F12); // the eraser puts the kit away
        QCOMPARE(doc.kit(), Kit::None);
        QTest::keyClick(&w.mode, Qt::Key_Question, Qt::ShiftModifier);
        QVERIFY(w.mode.keyCardShown());
        QTest::keyClick(&w.mode, Qt::Key_Escape);
        QVERIFY(!w.mode.keyCardShown());
        QCOMPARE(leaving.count(), 0);
        QTest::keyClick(&w.mode, Qt::Key_Question, Qt::ShiftModifier);
        const QImage before = plain(doc.shown());
        QTest::mouseClick(&w.mode, Qt::LeftButton, {}, QPoint(200, 200));
        QVERIFY(!w.mode.keyCardShown());
        QCOMPARE(plain(doc.shown()), before);

        QTest::mouseMove(&w.mode, QPoint(160, 120));
        QTest::keyClick(&w.mode, Qt::Key_S);
        QTest::keyClick(&w.mode, Qt::Key_BracketLeft);
        QVERIFY(w.mode.spotlight().on() && w.mode.spotlight().radius() < present::Spotlight::StartRadius);
        QTest::mouseMove(&w.mode, QPoint(200, 150));
        QImage looks = w.looks();
        QCOMPARE(looks.pixel(200, 150), qRgb(255, 255, 255));
        QCOMPARE(looks.pixel(5, 235), qRgb(102, 102, 102));
        QTest::keyClick(&w.mode, Qt::Key_S);
        QCOMPARE(w.looks().pixel(5, 235), qRgb(255, 255, 255));
        QCOMPARE(doc.history().canUndo(), true); // the step only
        QVERIFY(doc.undo() && !doc.undo());
    }

    // Help › the mode's keys: the same card, in a window of its own, which any
    // key closes.
    void keyCardFromTheMainWindow()
    {
        MainFixture f;
        action(*f.w, "CmdModeKeys")->trigger();
        auto *card = f.w->findChild<present::KeyCardWindow *>();
        QVERIFY(card && card->isVisible());
        QCOMPARE(card->windowTitle(), QStringLiteral("描画モードのキー"));
        QTest::keyClick(card, Qt::Key_A);
        QTRY_VERIFY(!f.w->findChild<present::KeyCardWindow *>());
    }
};

QTEST_MAIN(TestKit)
#include "tst_kit.moc"
