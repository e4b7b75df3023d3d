// The drawing mode's rules on its models, without a window (the eraser uncovers
// the frozen screen, zoomed input lands where the pointer is, marks, undo), and
// its window's wiring to them and to the main window.
#include "MainFixture.h"
#include "TestSupport.h"
#include "app/DrawingMode.h"
#include "app/LiveMode.h"

#include "present/DrawingWindow.h"
#include "present/Keys.h"

#include "canvas/ToolState.h"
#include "forms/StepAside.h"
#include "present/Document.h"
#include "present/Zoom.h"

#include "forms/ScriptedPlatform.h"

#include <QDialog>
#include <QInputMethodEvent>
#include <QMenu>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>

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

QImage whiteScreen(QSize size = QSize(200, 140))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// How many pixels of a column are more ink than screen: a line's width.
int inkAcross(const QImage &image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += qGray(image.pixel(x, y)) < 128;
    return n;
}

using Points = QList<QPoint>;

// Calls `seen` on each event of one type that reaches an object.
class EventCounter : public QObject
{
public:
    EventCounter(QObject &watched, QEvent::Type type, std::function<void()> seen)
        : m_type(type), m_seen(std::move(seen))
    {
        watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            m_seen();
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_seen;
};

// The mode's window alone over a white screen, on the scripted platform.
struct ModeWindow
{
    canvas::ToolState tools;
    forms::ScriptedPlatform platform;
    const QImage screen;
    present::DrawingWindow mode;
    bool exposed = false;
    explicit ModeWindow(QSize size = QSize(200, 140), bool shown = true)
        : screen(whiteScreen(size)), mode(screen, nullptr, tools, platform)
    {
        mode.resize(size);
        if (shown) {
            mode.show();
            exposed = QTest::qWaitForWindowExposed(&mode);
        }
    }
};

} // namespace

class TestPresent : public QObject
{
    Q_OBJECT

private slots:
    // Exactly the monitor's device pixels, also where a fractional scale gives
    // no whole number of logical pixels.
    void showsTheScreenAsItWas_data()
    {
        QTest::addColumn<QSize>("device");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("x1") << QSize(300, 180) << 1.0;
        QTest::newRow("x1.5") << QSize(300, 180) << 1.5;
        QTest::newRow("x2") << QSize(300, 180) << 2.0;
        QTest::newRow("1024x768 at x1.5") << QSize(1024, 768) << 1.5;
        QTest::newRow("1366x768 at x1.25") << QSize(1366, 768) << 1.25;
    }
    void showsTheScreenAsItWas()
    {
        QFETCH(QSize, device);
        QFETCH(qreal, scale);
        canvas::ToolState tools;
        const QImage screen = screenPattern(device, scale);
        present::Document doc(screen, tools);
        QCOMPARE(plain(doc.shown()), plain(screen));
        QCOMPARE(doc.shown().devicePixelRatio(), scale);
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
        present::Document doc(screen, tools);
        // The eraser stamps where the pointer passes: a drag of small steps.
        auto drag = [&] {
            doc.press(QPointF(20, 40), present::Shape::Free, present::Input::Mouse, 1, zoom);
            for (int x = 22; x <= 180; x += 2)
                doc.move(QPointF(x, 40));
            doc.release();
        };
        drag();
        QVERIFY(countPixels(plain(doc.shown()), qRgb(255, 0, 0)) > 500);
        tools.selectEraser(1);
        drag();
        QCOMPARE(plain(doc.shown()), plain(screen));
        QVERIFY(doc.undo()); // the erasing
        doc.clear();
        QCOMPARE(plain(doc.shown()), plain(screen));
        QVERIFY(doc.undo()); // the clear
        QVERIFY(countPixels(plain(doc.shown()), qRgb(255, 0, 0)) > 500);
        QVERIFY(doc.undo() && !doc.undo()); // the stroke, then nothing
        QCOMPARE(plain(doc.shown()), plain(screen));
        QVERIFY(doc.redo());
        QVERIFY(countPixels(plain(doc.shown()), qRgb(255, 0, 0)) > 500);
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
        present::Document doc(screenPattern(QSize(800, 600), 1), tools);
        zoom.stepAt(anchor, steps);
        doc.press(zoom.toPicture(pointer), present::Shape::Free, present::Input::Mouse, 1, zoom.factor());
        doc.release();
        // The darkest pixel of the dot is the one under the pointer, or next to it.
        const QPointF landed = zoom.toPicture(pointer);
        const QImage shown = plain(doc.shown());
        QPoint darkest;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (qGray(shown.pixel(x, y)) < qGray(shown.pixel(darkest)))
                    darkest = QPoint(x, y);
        QVERIFY2((QPointF(darkest) + QPointF(0.5, 0.5) - landed).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(darkest.x()).arg(darkest.y())));
    }

    // Each shape follows the pointer while the button is down and is placed where
    // it comes up; nothing stays where it was on the way. One step each.
    void shapes_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("pen");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<Points>("inked");
        QTest::addColumn<Points>("clear");
        const QPoint a(40, 30), b(100, 70);
        using S = present::Shape;
        QTest::newRow("line") << int(S::Line) << 5 << b << Points{a, b, {70, 50}} << Points{{125, 95}, {150, 120}};
        QTest::newRow("rectangle") << int(S::Rectangle) << 5 << b << Points{a, {100, 30}, b, {40, 70}, {70, 30}}
                                   << Points{{70, 50}, {125, 30}, {150, 120}};
        QTest::newRow("ellipse") << int(S::Ellipse) << 5 << b << Points{{40, 50}, {100, 50}, {70, 30}, {70, 70}}
                                 << Points{a, b, {70, 50}, {150, 120}};
        // Arrows from (40, 60) to the right: the head's sides reach back and out.
        QTest::newRow("arrow") << int(S::Arrow) << 5 << QPoint(150, 60)
                               << Points{{40, 60}, {150, 60}, {132, 69}, {132, 51}} << Points{{132, 80}, {150, 120}};
        QTest::newRow("line has no head")
            << int(S::Line) << 5 << QPoint(150, 60) << Points{{40, 60}, {150, 60}} << Points{{132, 69}, {132, 51}};
        QTest::newRow("wide pen, long head")
            << int(S::Arrow) << 9 << QPoint(150, 60) << Points{{110, 79}, {110, 41}} << Points{};
        QTest::newRow("thin pen, short head")
            << int(S::Arrow) << 1 << QPoint(150, 60) << Points{{150, 60}} << Points{{110, 79}, {110, 41}};
    }
    void shapes()
    {
        QFETCH(int, shape);
        QFETCH(int, pen);
        QFETCH(QPoint, to);
        QFETCH(Points, inked);
        QFETCH(Points, clear);
        canvas::ToolState tools;
        tools.selectPen(pen - 1);
        tools.setPenColor(0x0000FF); // red
        const QImage screen = whiteScreen();
        present::Document doc(screen, tools);
        const QPoint from = to.y() == 60 ? QPoint(40, 60) : QPoint(40, 30);
        doc.press(from, present::Shape(shape));
        doc.move(QPointF(150, 120)); // on the way
        doc.move(QPointF(70, 40));
        doc.move(to);
        doc.release();
        const QImage shown = plain(doc.shown());
        for (const QPoint &p : inked)
            QVERIFY2(shown.pixel(p) == qRgb(255, 0, 0), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        for (const QPoint &p : clear)
            QVERIFY2(shown.pixel(p) == White, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(doc.undo() && !doc.undo());
        QCOMPARE(plain(doc.shown()), screen);
    }

    // A shape dragged through many moves ends pixel for pixel as the same shape
    // drawn in one: the pieces it keeps from move to move, those it draws
    // again where a moved piece overlapped them, and the areas shown again
    // together leave nothing behind and miss nothing.
    void draggedShapeEndsAsDrawnOnce_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("pen");
        QTest::addColumn<QPointF>("step");
        using S = present::Shape;
        QTest::newRow("rectangle growing") << int(S::Rectangle) << 1 << QPointF(3, 2);
        QTest::newRow("rectangle shrinking, wide pen") << int(S::Rectangle) << 9 << QPointF(-4, -3);
        QTest::newRow("rectangle along one side") << int(S::Rectangle) << 3 << QPointF(5, 0);
        QTest::newRow("line") << int(S::Line) << 5 << QPointF(2, 3);
        QTest::newRow("arrow") << int(S::Arrow) << 5 << QPointF(-3, 1);
    }
    void draggedShapeEndsAsDrawnOnce()
    {
        QFETCH(int, shape);
        QFETCH(int, pen);
        QFETCH(QPointF, step);
        canvas::ToolState tools;
        tools.selectPen(pen - 1);
        const QImage screen = whiteScreen();
        const QPointF from(30, 25), to(120, 90);
        auto draw = [&](int moves) {
            present::Document doc(screen, tools);
            doc.press(from, present::Shape(shape));
            for (int i = moves; i > 0; --i) // a wobble, so that sides come and go
                doc.move(to - step * i + QPointF(0, i % 3));
            doc.move(to);
            doc.release();
            return plain(doc.shown());
        };
        QCOMPARE(draw(40), draw(0));
    }

    // Samples far apart make a round line through every one of them: between two
    // samples it bows out, where a straight segment would cut the corner.
    void fastDragIsRound()
    {
        canvas::ToolState tools;
        tools.selectPen(2);
        present::Document doc(whiteScreen(), tools);
        const QPointF c(100, 70);
        auto on = [&](qreal degrees, qreal r) {
            return (c + r * QPointF(std::cos(qDegreesToRadians(degrees)), std::sin(qDegreesToRadians(degrees))))
                .toPoint();
        };
        doc.press(on(0, 60));
        for (int d = 45; d <= 360; d += 45)
            doc.move(on(d, 60));
        doc.release();
        const QImage shown = plain(doc.shown());
        for (int d : {90, 135, 180, 225, 270}) {
            QCOMPARE(shown.pixel(on(d, 60)), Black);          // the sample
            QCOMPARE(shown.pixel(on(d + 22.5, 59.5)), Black); // the curve, near the circle
            QCOMPARE(shown.pixel(on(d + 22.5, 55.4)), White); // the straight segment's middle
        }
    }

    // The highlighter is the same wherever its stroke crosses itself, and dark
    // writing under it stays as dark as it was.
    void highlighterCrossingItself()
    {
        canvas::ToolState tools;
        QImage screen = whiteScreen();
        for (int y = 0; y < screen.height(); ++y)
            screen.setPixel(30, y, Black); // writing
        present::Document doc(screen, tools);
        doc.setHighlighter(true);
        doc.press(QPointF(20, 60));
        for (const QPointF &p :
             {QPointF(60, 60), QPointF(120, 60), QPointF(95, 25), QPointF(70, 20), QPointF(70, 60), QPointF(70, 110)})
            doc.move(p);
        doc.release();
        const QImage shown = plain(doc.shown());
        const QRgb once = shown.pixel(45, 60);
        QVERIFY(once != White && qBlue(once) < 200 && qRed(once) == 255); // yellow, half strength
        QCOMPARE(shown.pixel(70, 60), once);                              // crossed
        QCOMPARE(shown.pixel(70, 100), once);
        QCOMPARE(shown.pixel(30, 60), Black);
        // A colour key chooses the highlighter's colour too.
        doc.chooseColor(forms::colorWord(255, 0, 0));
        doc.press(QPointF(20, 130));
        doc.release();
        const QRgb red = plain(doc.shown()).pixel(20, 130);
        QVERIFY(qRed(red) == 255 && qGreen(red) < 200 && qGreen(red) == qBlue(red));
    }

    // The highlighter shows on any page: multiplied on a light one, screened on
    // a dark one (the black board, a dark theme), and each stroke is a step.
    void highlighterOnAnyPage_data()
    {
        QTest::addColumn<QRgb>("page");
        QTest::newRow("white") << White;
        QTest::newRow("black") << Black;
        QTest::newRow("dark theme grey") << qRgb(43, 43, 43);
        QTest::newRow("mid grey") << qRgb(128, 128, 128);
    }
    void highlighterOnAnyPage()
    {
        QFETCH(QRgb, page);
        canvas::ToolState tools;
        QImage screen(QSize(160, 100), QImage::Format_RGB32);
        screen.fill(page);
        present::Document doc(screen, tools);
        doc.setHighlighter(true);
        doc.press(QPointF(20, 50));
        doc.move(QPointF(140, 50));
        doc.release();
        const QRgb marked = plain(doc.shown()).pixel(80, 50);
        const int change =
            qAbs(qRed(marked) - qRed(page)) + qAbs(qGreen(marked) - qGreen(page)) + qAbs(qBlue(marked) - qBlue(page));
        QVERIFY2(change >= 60, qPrintable(QString::number(change)));
        QVERIFY(qRed(marked) > qBlue(marked) && qGreen(marked) > qBlue(marked)); // yellow
        QVERIFY(doc.undo());
        QCOMPARE(plain(doc.shown()), plain(screen));
    }

    // A tool chosen while a mark is drawn applies from the next mark on.
    void toolChangeDuringAMark_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("highlighter") << int(Qt::Key_H);
        QTest::newRow("widest pen") << int(Qt::Key_F9);
        QTest::newRow("eraser") << int(Qt::Key_F12);
    }
    void toolChangeDuringAMark()
    {
        QFETCH(int, key);
        ModeWindow w;
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        w.tools.selectPen(2);
        QTest::mousePress(&mode, Qt::LeftButton, {}, QPoint(20, 60));
        QTest::mouseMove(&mode, QPoint(60, 60));
        QTest::keyClick(&mode, Qt::Key(key));
        QTest::mouseMove(&mode, QPoint(180, 60));
        QTest::mouseRelease(&mode, Qt::LeftButton, {}, QPoint(180, 60));
        const QImage shown = plain(mode.document().shown());
        QCOMPARE(inkAcross(shown, 40), 3);
        QCOMPARE(inkAcross(shown, 160), 3);
        QCOMPARE(shown.pixel(160, 60), Black);
    }

    // A key held down does not repeat a command that switches something.
    void heldKeysDoNotRepeat_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("white board") << int(Qt::Key_W);
        QTest::newRow("highlighter") << int(Qt::Key_H);
        QTest::newRow("text") << int(Qt::Key_T);
    }
    void heldKeysDoNotRepeat()
    {
        QFETCH(int, key);
        ModeWindow w;
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        QCursor::setPos(mode.mapToGlobal(QPoint(20, 20)));
        const QString text = QString(QChar(key)).toLower();
        auto send = [&](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
            QApplication::sendEvent(&mode, &event);
        };
        send(QEvent::KeyPress, false);
        for (int i = 0; i < 25; ++i) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        // As the X server sends repeats, when Qt does not see the pair together:
        // a release and a press at the same moment, neither marked.
        for (quint64 t = 1000; t < 1400; t += 40) {
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text, false);
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text, false);
            up.setTimestamp(t);
            down.setTimestamp(t);
            QApplication::sendEvent(&mode, &up);
            QApplication::sendEvent(&mode, &down);
        }
        // An input method would take the held key's repeats as typing (「っっっ」):
        // it comes on only once the key that began the text is up.
        QVERIFY(!mode.inputMethodQuery(Qt::ImEnabled).toBool());
        send(QEvent::KeyRelease, false);
        if (key == Qt::Key_T)
            QTRY_VERIFY(mode.inputMethodQuery(Qt::ImEnabled).toBool());
        auto &doc = mode.document();
        QCOMPARE(doc.page(), key == Qt::Key_W ? present::Document::Page::White : present::Document::Page::Screen);
        QCOMPARE(doc.highlighter(), key == Qt::Key_H);
        QCOMPARE(doc.typing(), key == Qt::Key_T);
        QCOMPARE(doc.text(), QString());
        // Keys typed in a text still repeat.
        if (key == Qt::Key_T) {
            QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), false);
            QKeyEvent again(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
            QApplication::sendEvent(&mode, &a);
            QApplication::sendEvent(&mode, &again);
            QCOMPARE(doc.text(), QStringLiteral("aa"));
        }
    }

    // No ink follows a pointer whose button went up where the mode did not hear
    // of it: over a dialog the mode opened, or anywhere else.
    void noInkWithoutAButton_data()
    {
        QTest::addColumn<int>("key"); // opens a dialog mid-drag; 0: none
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("save dialog") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("colour dialog") << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("release elsewhere") << 0 << Qt::KeyboardModifiers();
    }
    void noInkWithoutAButton()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        ModeWindow w;
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        QTest::mousePress(&mode, Qt::LeftButton, {}, QPoint(20, 60));
        QTest::mouseMove(&mode, QPoint(60, 60));
        if (key)
            QTest::keyClick(&mode, Qt::Key(key), modifiers);
        QMouseEvent moved(QEvent::MouseMove, QPointF(150, 100), mode.mapToGlobal(QPointF(150, 100)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&mode, &moved);
        const QImage shown = plain(mode.document().shown());
        QCOMPARE(shown.pixel(40, 60), Black);
        QCOMPARE(countPixels(shown, White, QRect(70, 50, 130, 90)), 130 * 90);
        QVERIFY(!mode.document().drawing());
        QTest::mouseRelease(&mode, Qt::LeftButton, {}, QPoint(150, 100)); // late, and harmless
    }

    // What the input method is composing when the text ends stays in it: a
    // click, a pen touching down, or the picture taken to save, copy or leave.
    void compositionIsKept_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("click") << QStringLiteral("click");
        QTest::newRow("pen") << QStringLiteral("pen");
        QTest::newRow("leave, save or copy") << QStringLiteral("picture");
        // Acting before the input method, which would keep the key while it composes.
        QTest::newRow("the leaving key") << QStringLiteral("key");
    }
    void compositionIsKept()
    {
        QFETCH(QString, ending);
        ModeWindow w(QSize(400, 200));
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        QCursor::setPos(mode.mapToGlobal(QPoint(20, 20)));
        QTest::keyClick(&mode, Qt::Key_T);
        QInputMethodEvent composing(QStringLiteral("日本"), {});
        QApplication::sendEvent(&mode, &composing);
        if (ending == QLatin1String("click")) {
            QTest::mouseClick(&mode, Qt::LeftButton, {}, QPoint(300, 150));
        } else if (ending == QLatin1String("pen")) {
            const QPointingDevice stylus(QStringLiteral("stylus"), 7, QInputDevice::DeviceType::Stylus,
                                         QPointingDevice::PointerType::Pen, QInputDevice::Capability::Position, 1, 3);
            QTabletEvent touch(QEvent::TabletPress, &stylus, QPointF(300, 150), mode.mapToGlobal(QPointF(300, 150)), 1,
                               0, 0, 0, 0, 0, Qt::NoModifier, Qt::LeftButton, Qt::LeftButton);
            QApplication::sendEvent(&mode, &touch);
        } else if (ending == QLatin1String("key")) {
            QSignalSpy leaving(&mode, &present::DrawingWindow::leaveRequested);
            QTest::keyClick(&mode, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(leaving.count(), 1);
        } else {
            mode.picture();
        }
        QVERIFY(!mode.document().typing());
        QCOMPARE(mode.document().text(), QStringLiteral("日本"));
        // A commit the input method sends late is not typed a second time.
        QInputMethodEvent late;
        late.setCommitString(QStringLiteral("日本"));
        QApplication::sendEvent(&mode, &late);
        QCOMPARE(mode.document().text(), QStringLiteral("日本"));
    }

    // The mode's keys with Ctrl or Alt, taken before an input method that is
    // composing (it would keep them): the composition goes in once, then the key
    // acts. Undo and redo stay the input method's while it composes.
    void keysBeforeTheInputMethod_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("composing");
        QTest::addColumn<QString>("acts"); // "": the key is not taken
        const Qt::KeyboardModifiers ctrl(Qt::ControlModifier), ctrlShift(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("save") << int(Qt::Key_S) << ctrl << true << "save";
        QTest::newRow("copy") << int(Qt::Key_C) << ctrlShift << true << "copy";
        QTest::newRow("colour, the text goes on") << int(Qt::Key_C) << ctrl << true << "colour";
        QTest::newRow("Alt+F4") << int(Qt::Key_F4) << Qt::KeyboardModifiers(Qt::AltModifier) << true << "leave";
        QTest::newRow("undo") << int(Qt::Key_Z) << ctrl << true << "";
        QTest::newRow("redo") << int(Qt::Key_Y) << ctrl << true << "";
        QTest::newRow("the program's key") << int(Qt::Key_D) << ctrlShift << true << "";
        QTest::newRow("nothing composed") << int(Qt::Key_S) << ctrl << false << "";
        QTest::newRow("a letter") << int(Qt::Key_A) << ctrl << true << "";
    }
    void keysBeforeTheInputMethod()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, composing);
        QFETCH(QString, acts);
        ModeWindow w(QSize(400, 200));
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        QCursor::setPos(mode.mapToGlobal(QPoint(20, 20)));
        QTest::keyClick(&mode, Qt::Key_T);
        QTest::keyClick(&mode, Qt::Key_A);
        QInputMethodEvent preedit(composing ? QStringLiteral("日本") : QString(), {});
        QApplication::sendEvent(&mode, &preedit);
        QSignalSpy saves(&mode, &present::DrawingWindow::saveRequested);
        QSignalSpy colours(&mode, &present::DrawingWindow::colorRequested);
        QSignalSpy leaves(&mode, &present::DrawingWindow::leaveRequested);
        QCOMPARE(mode.takeKeyFirst(key, modifiers), !acts.isEmpty());
        QCoreApplication::processEvents();
        auto &doc = mode.document();
        if (acts.isEmpty()) {
            QVERIFY(doc.typing());
            QCOMPARE(doc.text() + doc.preedit(), composing ? QStringLiteral("a日本") : QStringLiteral("a"));
            return;
        }
        QCOMPARE(doc.text(), QStringLiteral("a日本"));
        QCOMPARE(doc.preedit(), QString());
        QCOMPARE(doc.typing(), acts == QLatin1String("colour"));
        QCOMPARE(saves.count(), int(acts == QLatin1String("save")));
        QCOMPARE(colours.count(), int(acts == QLatin1String("colour")));
        QCOMPARE(leaves.count(), int(acts == QLatin1String("leave")));
        QCOMPARE(w.platform.copiedImages.size(), int(acts == QLatin1String("copy")));
    }

    // The input method may replace text before the caret and place the caret
    // inside what it composes.
    void inputMethodReplacesAndPlacesTheCaret_data()
    {
        QTest::addColumn<QString>("commit");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("text");
        QTest::newRow("appends") << "d" << 0 << 0 << "abcd";
        QTest::newRow("replaces the last two") << "X" << -2 << 2 << "aX";
        QTest::newRow("replaces one before the last") << "X" << -2 << 1 << "aXc";
        QTest::newRow("deletes the last") << "" << -1 << 1 << "ab";
        QTest::newRow("range past the start") << "X" << -9 << 2 << "Xc";
        QTest::newRow("range past the end") << "X" << -1 << 9 << "abX";
    }
    void inputMethodReplacesAndPlacesTheCaret()
    {
        QFETCH(QString, commit);
        QFETCH(int, from);
        QFETCH(int, length);
        QFETCH(QString, text);
        canvas::ToolState tools;
        present::Document doc(whiteScreen(QSize(400, 200)), tools);
        doc.startText(QPointF(20, 20));
        doc.typeText(QStringLiteral("abc"));
        doc.typeText(commit, QStringLiteral("にほん"), from, length, 0);
        QCOMPARE(doc.text(), text);
        const qreal atStart = doc.textCursor().x();
        doc.typeText({}, QStringLiteral("にほん"));
        QVERIFY(doc.textCursor().x() > atStart + 10); // at the end of what is composed
    }

    // A fine-stepped wheel or a touchpad adds its small turns up to whole steps.
    void wheelTurnsAddUp_data()
    {
        QTest::addColumn<QList<QPoint>>("angles");
        QTest::addColumn<QList<QPoint>>("pixels");
        QTest::addColumn<int>("steps");
        const QPoint n(0, 0);
        QTest::newRow("a notch") << QList<QPoint>{{0, 120}} << QList<QPoint>{n} << 1;
        QTest::newRow("eight eighths of a notch") << QList<QPoint>(8, QPoint(0, 15)) << QList<QPoint>(8, n) << 1;
        QTest::newRow("seven eighths") << QList<QPoint>(7, QPoint(0, 15)) << QList<QPoint>(7, n) << 0;
        QTest::newRow("down, finely") << QList<QPoint>(16, QPoint(0, -15)) << QList<QPoint>(16, n) << -2;
        QTest::newRow("touchpad pixels") << QList<QPoint>(4, QPoint(0, 3)) << QList<QPoint>(4, QPoint(0, 10)) << 1;
        QTest::newRow("turned back halfway") << QList<QPoint>{{0, 60}, {0, -60}, {0, 60}} << QList<QPoint>(3, n) << 0;
    }
    void wheelTurnsAddUp()
    {
        QFETCH(QList<QPoint>, angles);
        QFETCH(QList<QPoint>, pixels);
        QFETCH(int, steps);
        present::WheelSteps wheel;
        int total = 0;
        for (int i = 0; i < angles.size(); ++i)
            total += wheel.add(angles.at(i), pixels.at(i));
        QCOMPARE(total, steps);
    }

    // Pointer samples that come together draw a shape once, and the shape ends
    // exactly where the last sample was, as if each had been drawn.
    void samplesInABurstDrawTheShapeOnce()
    {
        ModeWindow w;
        QVERIFY(w.exposed);
        auto &mode = w.mode;
        w.tools.selectPen(3);
        QTest::mousePress(&mode, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
        for (const QPoint &p : {QPoint(60, 30), QPoint(150, 120), QPoint(90, 70)}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(p), mode.mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton,
                             Qt::ControlModifier);
            QApplication::sendEvent(&mode, &move);
        }
        QTest::mouseRelease(&mode, Qt::LeftButton, Qt::ControlModifier, QPoint(90, 70));
        present::Document alone(w.screen, w.tools);
        alone.press(QPointF(20, 20), present::Shape::Rectangle);
        alone.move(QPointF(90, 70));
        alone.release();
        QCOMPARE(plain(mode.picture()), plain(alone.shown()));
    }

    // The mode's one key table: every key in it reaches its command in the
    // window, with Shift too where it says so, and no key means two things.
    void keyTable()
    {
        QSet<QPair<int, int>> seen;
        for (const present::ModeKey &k : present::modeKeys()) {
            QVERIFY(!k.what.isEmpty());
            QCOMPARE(present::findModeKey(k.key, k.modifiers), &k);
            QVERIFY(!seen.contains({k.key, int(k.modifiers)}));
            seen.insert({k.key, int(k.modifiers)});
            const present::ModeKey *shifted = present::findModeKey(k.key, k.modifiers | Qt::ShiftModifier);
            if (k.shiftToo)
                QCOMPARE(shifted, &k);
            QVERIFY(!present::findModeKey(k.key, k.modifiers | Qt::AltModifier | Qt::ControlModifier) ||
                    k.key == Qt::Key_F4);
        }
        QVERIFY(!present::findModeKey(Qt::Key_X, {}));
        // S alone is the spotlight, Ctrl+S saves.
        QCOMPARE(present::findModeKey(Qt::Key_S, {})->command, present::Command::Spotlight);
        QCOMPARE(present::findModeKey(Qt::Key_S, Qt::ControlModifier)->command, present::Command::Save);
    }

    // A mark's width is what the screen shows: narrower on a zoomed picture but
    // never under a pixel there, a third of it at the lightest pressure, in the
    // page's device pixels.
    void markWidths_data()
    {
        QTest::addColumn<int>("pen");
        QTest::addColumn<bool>("highlighter");
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<qreal>("pressure");
        QTest::addColumn<qreal>("width"); // device pixels
        QTest::newRow("pen 5") << 5 << false << 1.0 << 1.0 << 1.0 << 5.0;
        QTest::newRow("pen 5 at x1.5") << 5 << false << 1.0 << 1.5 << 1.0 << 7.5;
        QTest::newRow("pen 8 zoomed x2") << 8 << false << 2.0 << 1.0 << 1.0 << 4.0;
        QTest::newRow("pen 1 zoomed x4") << 1 << false << 4.0 << 1.0 << 1.0 << 1.0;
        QTest::newRow("pen 9, lightest") << 9 << false << 1.0 << 1.0 << 0.0 << 3.0;
        QTest::newRow("highlighter 1") << 1 << true << 1.0 << 1.0 << 1.0 << 16.0;
    }
    void markWidths()
    {
        QFETCH(int, pen);
        QFETCH(bool, highlighter);
        QFETCH(qreal, zoom);
        QFETCH(qreal, scale);
        QFETCH(qreal, pressure);
        QFETCH(qreal, width);
        present::MarkTool tool;
        tool.pen = pen;
        tool.highlighter = highlighter;
        tool.viewScale = zoom;
        tool.deviceScale = scale;
        QCOMPARE(2 * tool.radius(pressure), width);
    }

    // The boards hide the screen and its marks; the same key shows them again.
    void boardsKeepTheScreensMarks()
    {
        canvas::ToolState tools;
        tools.setPenColor(0x0000FF);
        const QImage screen = screenPattern(QSize(120, 80), 1);
        present::Document doc(screen, tools);
        using P = present::Document::Page;
        doc.press(QPointF(10, 10), present::Shape::Line);
        doc.move(QPointF(100, 10));
        doc.release();
        const QImage marked = plain(doc.shown());
        for (auto [key, colour] : {std::pair{P::White, White}, std::pair{P::Black, Black}}) {
            doc.toggleBoard(key);
            QCOMPARE(countPixels(plain(doc.shown()), colour), 120 * 80);
            doc.press(QPointF(10, 50));
            doc.release();
            QVERIFY(plain(doc.shown()).pixel(10, 50) != colour); // a board keeps its own marks
            doc.toggleBoard(key);
            QCOMPARE(plain(doc.shown()), marked);
        }
        doc.toggleBoard(P::White);
        doc.toggleBoard(P::Black); // from one board to the other
        QCOMPARE(doc.page(), P::Black);
        QVERIFY(plain(doc.shown()).pixel(10, 50) != Black);
        doc.toggleBoard(P::Black);
        QVERIFY(doc.undo() && !doc.undo()); // the screen's own step
        QCOMPARE(plain(doc.shown()), plain(screen));
    }

    // A tablet: pressure sets the width from a third of the pen to all of it, the
    // first sample's pressure is not trusted, the eraser end uncovers the screen,
    // and a hovering pen draws nothing.
    void tablet_data()
    {
        QTest::addColumn<bool>("eraserEnd");
        QTest::addColumn<bool>("touching");
        QTest::addColumn<qreal>("first");    // the tip's first pressure
        QTest::addColumn<qreal>("pressure"); // then
        QTest::addColumn<int>("width");      // the line's at its start; -1: the screen as it was
        QTest::newRow("full pressure") << false << true << 1.0 << 1.0 << 9;
        QTest::newRow("light pressure") << false << true << 0.0 << 0.0 << 3;
        QTest::newRow("half pressure") << false << true << 0.5 << 0.5 << 6;
        QTest::newRow("spike on touching") << false << true << 1.0 << 0.0 << 3;
        QTest::newRow("hovering") << false << false << 0.5 << 0.5 << -1;
        QTest::newRow("eraser end") << true << true << 1.0 << 1.0 << -1;
    }
    void tablet()
    {
        QFETCH(bool, eraserEnd);
        QFETCH(bool, touching);
        QFETCH(qreal, first);
        QFETCH(qreal, pressure);
        QFETCH(int, width);
        ModeWindow w(QSize(200, 140), false);
        auto &[tools, platform, screen, mode, exposed] = w;
        tools.selectPen(8);
        if (eraserEnd) { // something to erase, drawn with the mouse at full width
            QTest::mousePress(&mode, Qt::LeftButton, {}, QPoint(20, 60));
            QTest::mouseMove(&mode, QPoint(180, 60));
            QTest::mouseRelease(&mode, Qt::LeftButton, {}, QPoint(180, 60));
            QCOMPARE(inkAcross(plain(mode.document().shown()), 100), 9);
        }
        const QPointingDevice stylus(QStringLiteral("stylus"), 7, QInputDevice::DeviceType::Stylus,
                                     eraserEnd ? QPointingDevice::PointerType::Eraser
                                               : QPointingDevice::PointerType::Pen,
                                     QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
        auto send = [&](QEvent::Type type, QPointF at, qreal p) {
            const bool down = touching && type != QEvent::TabletRelease;
            QTabletEvent event(type, &stylus, at, mode.mapToGlobal(at), p, 0, 0, 0, 0, 0, Qt::NoModifier,
                               type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton,
                               down ? Qt::LeftButton : Qt::NoButton);
            QApplication::sendEvent(&mode, &event);
        };
        if (touching)
            send(QEvent::TabletPress, QPointF(20, 60), first);
        for (int x = 22; x <= 180; x += 2)
            send(QEvent::TabletMove, QPointF(x, 60), pressure);
        if (touching)
            send(QEvent::TabletRelease, QPointF(180, 60), 0);
        const QImage shown = plain(mode.document().shown());
        if (width < 0) {
            QCOMPARE(shown, screen);
        } else {
            QVERIFY(qAbs(inkAcross(shown, 24) - width) <= 1);
            QVERIFY(qAbs(inkAcross(shown, 100) - width) <= 1);
        }
    }

    // Tab held down reaches the window (it moves no focus) and makes an ellipse;
    // a click while text is typed ends the text and draws nothing.
    void tabAndClickInTheWindow()
    {
        ModeWindow w;
        QVERIFY(w.exposed);
        auto &[tools, platform, screen, mode, exposed] = w;
        tools.selectPen(4);
        QTest::keyPress(&mode, Qt::Key_Tab);
        QTest::mousePress(&mode, Qt::LeftButton, {}, QPoint(40, 30));
        QTest::mouseMove(&mode, QPoint(100, 70));
        QTest::mouseRelease(&mode, Qt::LeftButton, {}, QPoint(100, 70));
        QTest::keyRelease(&mode, Qt::Key_Tab);
        QImage shown = plain(mode.document().shown());
        QCOMPARE(shown.pixel(70, 30), Black); // the top of the box the drag spans
        QCOMPARE(shown.pixel(40, 30), White); // its corner
        QCursor::setPos(mode.mapToGlobal(QPoint(150, 100)));
        QTest::keyClick(&mode, Qt::Key_T);
        QTest::keyClick(&mode, Qt::Key_A);
        QTest::mouseClick(&mode, Qt::LeftButton, {}, QPoint(20, 120));
        QVERIFY(!mode.document().typing());
        QCOMPARE(mode.document().text(), QStringLiteral("a"));
        shown = plain(mode.document().shown());
        QCOMPARE(shown.pixel(20, 120), White);
        QVERIFY(mode.document().undo());                            // the text
        QVERIFY(mode.document().undo() && !mode.document().undo()); // the ellipse
    }

    // Text started near the right or the bottom edge moves back onto the screen.
    void textStaysOnTheScreen_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::newRow("right edge") << QPointF(395, 40);
        QTest::newRow("bottom right corner") << QPointF(398, 198);
    }
    void textStaysOnTheScreen()
    {
        QFETCH(QPointF, at);
        canvas::ToolState tools;
        tools.selectPen(8);
        auto inked = [&](QPointF where) {
            present::Document doc(whiteScreen(QSize(400, 200)), tools);
            doc.startText(where);
            doc.typeText(QStringLiteral("WWW\nW"));
            return countPixels(plain(doc.shown()), Black);
        };
        const int whole = inked(QPointF(20, 40));
        QVERIFY(whole > 100);
        QVERIFY(qAbs(inked(at) - whole) <= whole / 50); // the same glyphs, give or take their edges
    }

    // Text through the input method: what is being composed shows, the commit
    // goes in, keys type too, Enter starts a line, Esc ends it as one step.
    void textThroughTheInputMethod()
    {
        ModeWindow w(QSize(400, 200));
        QVERIFY(w.exposed);
        auto &[tools, platform, screen, mode, exposed] = w;
        tools.setPenColor(0x0000FF);
        QCursor::setPos(mode.mapToGlobal(QPoint(20, 20)));
        QTest::keyClick(&mode, Qt::Key_T);
        QVERIFY(mode.document().typing());
        QTRY_VERIFY(mode.inputMethodQuery(Qt::ImEnabled).toBool()); // once T is up
        auto ime = [&](const QString &commit, const QString &preedit) {
            QInputMethodEvent event(preedit, {});
            event.setCommitString(commit);
            QApplication::sendEvent(&mode, &event);
        };
        ime({}, QStringLiteral("にほん"));
        QVERIFY(countPixels(plain(mode.document().surface().visibleImage()), White) < 400 * 200);
        QVERIFY(mode.document().text().isEmpty());
        ime(QStringLiteral("日本"), {});
        QTest::keyClick(&mode, Qt::Key_Return);
        QTest::keyClicks(&mode, QStringLiteral("abcr")); // r is a letter here, not red
        QTest::keyClick(&mode, Qt::Key_Backspace);
        const QRect cursor = mode.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY(cursor.left() > 20 && cursor.top() > 20);
        QVERIFY(countPixels(plain(mode.document().surface().visibleImage()), qRgb(255, 0, 0), cursor) > 0);
        // What is saved, copied or handed back ends the text: the caret is not in it.
        const QImage taken = plain(mode.document().shown());
        QVERIFY(!mode.document().typing());
        QCOMPARE(countPixels(taken, White, cursor), cursor.width() * cursor.height());
        QCOMPARE(mode.document().text(), QStringLiteral("日本\nabc"));
        QCOMPARE(tools.penColor(), 0x0000FF);
        const QImage shown = taken;
        QVERIFY(countPixels(shown, qRgb(255, 0, 0)) > 20);
        QVERIFY(countPixels(shown, White, QRect(0, 0, 400, 15)) == 400 * 15); // below the pointer only
        QVERIFY(mode.document().undo() && !mode.document().undo());
        QCOMPARE(plain(mode.document().shown()), screen);
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
        QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, true); // as on X11
        action(w, "CmdDrawOnScreen")->trigger();
        present::DrawingWindow *mode = w.drawingWindow();
        QVERIFY(mode);
        QVERIFY(!w.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(mode));
        // Every pointer sample reaches the mode, none merged with the next.
        QVERIFY(!QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents));
        QTest::keyClick(mode, Qt::Key_F5);
        QVERIFY(action(w, "PenSize", 4)->isChecked());
        // A colour key sets the one pen colour, which the main window's swatch shows.
        QTest::keyClick(mode, Qt::Key_O);
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 140, 0));
        QCOMPARE(colView(w)->BackColor(), forms::colorWord(255, 140, 0));
        QTest::keyClick(mode, Qt::Key_R);
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 0, 0));
        QTest::keyClick(mode, Qt::Key_X); // not a colour key: nothing changes
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 0, 0));
        // The colour dialog starts at the pen's colour; cancelled, it keeps the
        // key's colour, not the dialog's last.
        f.platform.colorAnswers.push_back(std::nullopt);
        QTest::keyClick(mode, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(f.platform.colorDialogInitials.last(), forms::colorWord(255, 0, 0));
        QCOMPARE(w.tools().penColor(), forms::colorWord(255, 0, 0));

        QTest::keyClick(mode, Qt::Key_Delete);
        QTest::keyClick(mode, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.history().steps(), steps);
        QTest::mouseClick(mode, Qt::LeftButton, {}, QPoint(100, 100));
        // Closed by the window manager (Alt+F4), it leaves as Esc does: the
        // program, its main window away, must not end with it.
        QVERIFY(!mode->close());
        QTRY_VERIFY(!w.drawingWindow());
        QVERIFY(w.isVisible());
        QVERIFY(QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents)); // given back
        QCOMPARE(w.history().steps(), steps + 1);
        QVERIFY(w.tools().pictureLoaded());
        QCOMPARE(f.surface().pixel(100, 100), qRgb(255, 0, 0));
        QCOMPARE(f.surface().pixel(10, 10), screen.pixel(10, 10));
        w.CmdUndo_Click();
        QCOMPARE(countPixels(f.surface(), Black, QRect(20, 15, 41, 10)), 41); // the stroke from before
    }

    // The live mode's ink, laid over the screen it was drawn over, is what the
    // frozen mode draws over that screen; nothing else is in it. The
    // highlighter, with nothing to multiply, is a veil of its colour.
    void liveInk_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<bool>("highlighter");
        QTest::addColumn<bool>("erase");
        QTest::newRow("pen") << 1.0 << false << false;
        QTest::newRow("pen at x1.5") << 1.5 << false << false;
        QTest::newRow("pen, then the eraser over it") << 1.0 << false << true;
        QTest::newRow("highlighter") << 1.0 << true << false;
    }
    void liveInk()
    {
        QFETCH(qreal, scale);
        QFETCH(bool, highlighter);
        QFETCH(bool, erase);
        canvas::ToolState tools;
        tools.selectPen(4);
        const QImage screen = screenPattern(QSize(240, 160), scale);
        present::Document frozen(screen, tools), live(screen.size(), scale, tools);
        for (present::Document *doc : {&frozen, &live}) {
            doc->setHighlighter(highlighter);
            for (int pass = 0; pass < (erase ? 2 : 1); ++pass) {
                if (pass == 1)
                    tools.selectEraser(1);
                doc->press({20, 30});
                doc->move({120, 90});
                doc->move({150, 40});
                doc->release();
                tools.selectPen(4);
            }
        }
        const QImage marks = live.shown();
        QCOMPARE(qAlpha(marks.pixel(220, 150)), 0);
        const QImage handed = plain(present::layOver(screen, marks));
        const QImage drawn = plain(frozen.shown());
        const QPoint on = (QPointF(20, 30) * scale).toPoint(); // where the stroke begins
        if (highlighter) {
            // Half the colour, half the screen.
            const QRgb under = screen.pixel(on), got = handed.pixel(on);
            QVERIFY(std::abs(qRed(got) - (qRed(under) + 255) / 2) <= 3);
            QVERIFY(std::abs(qBlue(got) - qBlue(under) / 2) <= 3);
            return;
        }
        if (!erase)
            QCOMPARE(handed.pixel(on), qRgb(0, 0, 0));
        int worst = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const QRgb a = handed.pixel(x, y), b = drawn.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        QVERIFY2(worst <= 1, qPrintable(QString::number(worst)));
    }

    // The live mode from the main window: the key switches between drawing and
    // letting the pointer through, and Esc hands back the screen as it is then,
    // with the ink, as one step.
    void liveModeFromTheMainWindow()
    {
        MainFixture f;
        Main &w = *f.w;
        const int steps = w.history().steps();
        action(w, "CmdDrawLive")->trigger();
        present::DrawingWindow *mode = w.drawingMode().live().window();
        QVERIFY(mode && mode->live());
        QVERIFY(w.isVisible()); // nothing steps aside: the screen stays live
        QVERIFY(QTest::qWaitForWindowExposed(mode));
        QTest::mousePress(mode, Qt::LeftButton, {}, QPoint(30, 40));
        QTest::mouseMove(mode, QPoint(90, 40));
        QTest::mouseRelease(mode, Qt::LeftButton, {}, QPoint(90, 40));
        for (bool passing : {true, false}) {
            action(w, "CmdDrawLive")->trigger();
            QCOMPARE(mode->passingThrough(), passing);
            QCOMPARE(mode->testAttribute(Qt::WA_TransparentForMouseEvents), passing);
            QVERIFY(mode->isVisible()); // the ink stays
        }
        const QImage screen = screenPattern(QSize(320, 200), 1);
        f.platform.captureAnswers.push_back(screen);
        QTest::keyClick(mode, Qt::Key_Escape);
        QTRY_VERIFY(!w.drawingMode().live().window());
        QCOMPARE(w.history().steps(), steps + 1);
        QCOMPARE(f.surface().pixel(60, 40), qRgb(0, 0, 0));
        QCOMPARE(f.surface().pixel(60, 100), screen.pixel(60, 100));
    }

    // The main window around the mode: it steps aside only when it shows on the
    // monitor taken, and leaving gives the keys back where they were pressed
    // without bringing it over the program that had them.
    void mainWindowAroundTheMode_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("aside");
        QTest::addColumn<bool>("activeAfter"); // shown again activated, raised
        QTest::newRow("the key pressed in it") << "active" << true << true;
        QTest::newRow("the key pressed in another program") << "behind" << true << false;
        QTest::newRow("minimised") << "minimised" << false << false;
        QTest::newRow("on another monitor") << "elsewhere" << false << false;
    }
    void mainWindowAroundTheMode()
    {
        QFETCH(QString, before);
        QFETCH(bool, aside);
        QFETCH(bool, activeAfter);
        MainFixture f;
        Main &w = *f.w;
        QWidget other; // the presenter's program
        other.setWindowTitle(QStringLiteral("slides"));
        if (before == QLatin1String("active")) {
            w.activateWindow();
        } else if (before == QLatin1String("minimised")) {
            w.showMinimized();
        } else {
            if (before == QLatin1String("elsewhere"))
                w.move(w.screen()->geometry().topRight() + QPoint(200, 0));
            other.show();
            QVERIFY(QTest::qWaitForWindowExposed(&other));
            other.activateWindow();
        }
        if (before != QLatin1String("minimised"))
            QTRY_COMPARE(w.isActiveWindow(), before == QLatin1String("active"));
        f.platform.captureAnswers.push_back(screenPattern(QSize(320, 200), 1));
        w.CmdDrawOnScreen_Click();
        QVERIFY(w.drawingWindow());
        QCOMPARE(!w.isVisible(), aside);
        // Whether the window system is to activate it (the offscreen platform
        // activates every window it shows, X11 window managers do as asked).
        std::optional<bool> activated;
        EventCounter shows(*w.windowHandle(), QEvent::Show,
                           [&] { activated = !w.windowHandle()->property("_q_showWithoutActivating").toBool(); });
        QCOMPARE(w.isMinimized(), before == QLatin1String("minimised"));
        QTest::keyClick(w.drawingWindow(), Qt::Key_Escape);
        QTRY_VERIFY(!w.drawingWindow());
        QVERIFY(w.isVisible());
        QCOMPARE(w.isMinimized(), before == QLatin1String("minimised"));
        QCOMPARE(activated.has_value(), aside);
        QCOMPARE(activated.value_or(activeAfter), activeAfter);
        if (activeAfter)
            QTRY_VERIFY(w.isActiveWindow());
        QVERIFY(w.tools().pictureLoaded());
    }

    // Every key that ends the mode: Alt+F4 too, which no window manager sees
    // while the mode holds the keyboard.
    void keysThatLeave_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Ctrl+Shift+D") << int(Qt::Key_D) << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("Alt+F4") << int(Qt::Key_F4) << int(Qt::AltModifier);
    }
    void keysThatLeave()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        MainFixture f;
        f.platform.captureAnswers.push_back(screenPattern(QSize(320, 200), 1));
        f.w->CmdDrawOnScreen_Click();
        QVERIFY(f.w->drawingWindow());
        QTest::keyClick(f.w->drawingWindow(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(!f.w->drawingWindow());
        QVERIFY(f.w->isVisible());
    }

    // A maximised window steps aside and comes back maximised, never shown
    // unmaximised meanwhile, and keeps the size to return to, also where the
    // window manager resized it before it said it was maximised.
    void maximisedWindowStepsAside_data()
    {
        QTest::addColumn<bool>("resizedFirst");
        QTest::newRow("state, then size") << false;
        QTest::newRow("size, then state (xfwm4)") << true;
    }
    void maximisedWindowStepsAside()
    {
        QFETCH(bool, resizedFirst);
        QWidget window;
        forms::StepAside::watch(window);
        const QRect normal(QPoint(60, 50), QSize(300, 200));
        window.setGeometry(normal);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.geometry(), normal);
        if (resizedFirst)
            window.setGeometry(window.screen()->availableGeometry());
        window.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(window.geometry() != normal);
        int unmaximised = 0;
        EventCounter states(window, QEvent::WindowStateChange, [&] { unmaximised += !window.isMaximized(); });
        {
            forms::StepAside aside(window);
            aside.leave();
            QVERIFY(aside.away() && !window.isVisible());
        }
        QCOMPARE(unmaximised, 0);
        QVERIFY(window.isVisible() && window.isMaximized());
        QCOMPARE(window.normalGeometry(), normal);
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

    // An open menu is closed before the screen is taken: it is not frozen in.
    void menusCloseBeforeTheScreenIsTaken()
    {
        MainFixture f;
        QMenu *file = f.w->menuBar()->actions().at(0)->menu();
        file->popup(f.w->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(QApplication::activePopupWidget());
        bool popupWhenTaken = true;
        f.platform.onCapture = [&] { popupWhenTaken = QApplication::activePopupWidget() != nullptr; };
        f.platform.captureAnswers.push_back(screenPattern(QSize(320, 200), 1));
        f.w->enterDrawingMode();
        QVERIFY(f.w->drawingWindow());
        QVERIFY(!popupWhenTaken);
        f.w->leaveDrawingMode();
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
};

QTEST_MAIN(TestPresent)
#include "tst_present.moc"
