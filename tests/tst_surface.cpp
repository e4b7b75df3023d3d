#include "TestSupport.h"
#include "canvas/Raster.h"
#include "canvas/Surface.h"
#include "forms/PictureBox.h"

#include <QPaintEvent>
#include <QSignalSpy>
#include <QtTest>

using forms::PictureBox;
using testing::Black;
using testing::boundsOf;
using testing::countPixels;
using testing::visible;
using testing::White;

namespace {

// Records the rectangles a widget is asked to paint.
class PaintRecorder : public QObject
{
public:
    QList<QRect> rects;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            rects << static_cast<QPaintEvent *>(event)->rect();
        return false;
    }
};

QImage persistent(canvas::Surface &box)
{
    return box.persistentLayer().copy(QRect(QPoint(0, 0), box.area()));
}

// A surface shown in a box, as the main window shows it.
struct View
{
    canvas::Surface surface;
    PictureBox box;
    explicit View(QSize size)
    {
        box.setSource(&surface);
        box.resize(size);
        box.show();
    }
};

} // namespace

class TestSurface : public QObject
{
    Q_OBJECT

private slots:
    void dotIsADiscOfTheLineWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("expectedPixels");
        QTest::newRow("width 1 is one pixel") << 1 << 1;
        QTest::newRow("width 2") << 2 << 4;
        QTest::newRow("width 5") << 5 << 21;
        QTest::newRow("width 9") << 9 << 69;
    }
    void dotIsADiscOfTheLineWidth()
    {
        QFETCH(int, width);
        QFETCH(int, expectedPixels);
        canvas::Surface box;
        box.setArea(QSize(60, 60), 1);
        box.setDrawWidth(width);
        box.PSet(30, 30, 0);
        const QImage image = visible(box);
        QCOMPARE(countPixels(image, Black), expectedPixels);
        const QRect bounds = boundsOf(image, Black);
        QCOMPARE(bounds.width(), width);
        QCOMPARE(bounds.height(), width);
        QVERIFY(bounds.contains(30, 30));
        QCOMPARE(image.pixel(30, 30), Black);
        if (width >= 5) // round, not square
            QCOMPARE(image.pixel(bounds.topLeft()), White);
        QCOMPARE(box.CurrentPosition(), QPointF(30, 30));
    }

    void oddWideDotIsSymmetric()
    {
        canvas::Surface box;
        box.setArea(QSize(41, 41), 1);
        box.setDrawWidth(9);
        box.PSet(20, 20, 0);
        const QImage image = visible(box);
        QCOMPARE(image, image.mirrored(true, true));
    }

    void lineIsContinuousAndEndsAtItsEndPoint_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("width 1") << 1;
        QTest::newRow("width 4") << 4;
        QTest::newRow("width 9") << 9;
    }
    void lineIsContinuousAndEndsAtItsEndPoint()
    {
        QFETCH(int, width);
        canvas::Surface box;
        box.setArea(QSize(120, 80), 1);
        box.setDrawWidth(width);
        box.PSet(10, 10, 0);
        box.Line(100, 60, 0);
        const QImage image = visible(box);
        for (int x = 10; x <= 100; ++x)
            QVERIFY2(countPixels(image, Black, QRect(x, 0, 1, 80)) >= width,
                     qPrintable(QStringLiteral("gap at column %1").arg(x)));
        QCOMPARE(image.pixel(10, 10), Black);
        QCOMPARE(image.pixel(100, 60), Black);
        QCOMPARE(box.CurrentPosition(), QPointF(100, 60));
    }

    void onePixelLines_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("pixels");
        QTest::newRow("shallow") << QPoint(10, 10) << QPoint(30, 20) << 21;
        QTest::newRow("steep, backwards") << QPoint(30, 40) << QPoint(20, 5) << 36;
        QTest::newRow("horizontal") << QPoint(5, 7) << QPoint(45, 7) << 41;
        QTest::newRow("45 degrees") << QPoint(5, 5) << QPoint(35, 35) << 31;
        QTest::newRow("far outside, clipped") << QPoint(-100000000, 20) << QPoint(100000000, 20) << 60;
    }
    void onePixelLines()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(int, pixels);
        canvas::Surface box;
        box.setArea(QSize(60, 50), 1);
        box.Line(from.x(), from.y(), to.x(), to.y(), 0);
        const QImage image = visible(box);
        QCOMPARE(countPixels(image, Black), pixels);
        // One pixel for every step along the longer axis: no gaps, no doubles.
        const QRect r = boundsOf(image, Black);
        const bool wide = r.width() >= r.height();
        for (int i = 0; i < (wide ? r.width() : r.height()); ++i)
            QCOMPARE(countPixels(image, Black, wide ? QRect(r.left() + i, 0, 1, 50) : QRect(0, r.top() + i, 60, 1)), 1);
    }

    void wideLinesKeepTheirWidthAtEverySlope_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("degrees");
        for (int w : {2, 5, 9})
            for (int d : {0, 20, 45, 70, 90})
                QTest::addRow("width %d at %d degrees", w, d) << w << d;
    }
    void wideLinesKeepTheirWidthAtEverySlope()
    {
        QFETCH(int, width);
        QFETCH(int, degrees);
        canvas::Surface box;
        box.setArea(QSize(200, 200), 1);
        box.setDrawWidth(width);
        const double a = qDegreesToRadians(double(degrees));
        const QPointF d(std::cos(a) * 150, std::sin(a) * 150);
        box.Line(float(100 - d.x() / 2), float(100 - d.y() / 2), float(100 + d.x() / 2), float(100 + d.y() / 2), 0);
        // The area of the band between the caps, over its length, is the width.
        const QImage image = visible(box);
        const double len = 60;
        const QPointF u(std::cos(a), std::sin(a));
        int inside = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const QPointF p = QPointF(x + 0.5, y + 0.5) - QPointF(100, 100);
                if (std::abs(p.x() * u.x() + p.y() * u.y()) < len / 2 && image.pixel(x, y) == Black)
                    ++inside;
            }
        QVERIFY2(std::abs(inside / len - width) <= 0.5,
                 qPrintable(QStringLiteral("%1 pixels across").arg(inside / len)));
    }

    void drawingOutsideIsClipped()
    {
        canvas::Surface box;
        box.setArea(QSize(50, 50), 1);
        box.setDrawWidth(3);
        box.PSet(-20, 25, 0);
        box.Line(80, 25, 0);
        box.Line(25, -40, 0);
        box.PSet(1000, 1000, 0);
        const QImage image = visible(box);
        QCOMPARE(image.pixel(0, 25), Black);
        QCOMPARE(image.pixel(49, 25), Black);
        QCOMPARE(box.CurrentPosition(), QPointF(1000, 1000));
    }

    void squareStamp_data()
    {
        QTest::addColumn<int>("half");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("side");
        QTest::newRow("small at width 1") << 3 << 1 << 7;
        QTest::newRow("large at width 1") << 11 << 1 << 23;
        QTest::newRow("small at width 9") << 3 << 9 << 15;
    }
    void squareStamp()
    {
        QFETCH(int, half);
        QFETCH(int, width);
        QFETCH(int, side);
        canvas::Surface box;
        box.setArea(QSize(80, 80), 1);
        box.setBackColor(0x00FF00);
        box.setDrawWidth(width);
        box.StampSquare(40, 40, half, 0);
        const QImage image = visible(box);
        const QRect bounds = boundsOf(image, Black);
        QCOMPARE(bounds.width(), side);
        QCOMPARE(bounds.height(), side);
        QCOMPARE(bounds.center(), QPoint(40, 40));
        if (width == 1)
            QCOMPARE(countPixels(image, Black), side * side);
        // Every pixel the columns of the stamp would paint is painted.
        for (int i = -half; i <= half; ++i)
            for (int j = -half; j <= half; ++j)
                QCOMPARE(image.pixel(40 + i, 40 + j), Black);
        QCOMPARE(box.CurrentPosition(), QPointF(40 + half, 40 + half));
    }

    // The stamp is painted as one shape; it must cover exactly the pixels that its
    // 2s + 1 round-capped columns would.
    void stampMatchesItsColumns_data()
    {
        QTest::addColumn<int>("half");
        QTest::addColumn<int>("width");
        for (int half : {3, 11})
            for (int width = 2; width <= 9; ++width)
                QTest::addRow("s=%d w=%d", half, width) << half << width;
    }
    void stampMatchesItsColumns()
    {
        QFETCH(int, half);
        QFETCH(int, width);
        QImage one(64, 64, QImage::Format_RGB32), columns(64, 64, QImage::Format_RGB32);
        one.fill(Qt::white);
        columns.fill(Qt::white);
        const QRect clip = one.rect();
        const QPointF c = canvas::raster::penCentre(30, 30, width);
        canvas::raster::fillColumns(one, c, half, width / 2.0, width % 2 == 1, Black, clip);
        for (int i = -half; i <= half; ++i)
            canvas::raster::fillCapsule(columns, c + QPointF(i, -half), c + QPointF(i, half), width / 2.0, Black, clip);
        QCOMPARE(one, columns);
    }

    // The layer model: what the screen shows after each kind of repaint.
    void layers()
    {
        canvas::Surface box;
        box.setArea(QSize(40, 40), 1);
        box.PSet(5, 5, 0); // screen only
        QCOMPARE(visible(box).pixel(5, 5), Black);
        QCOMPARE(persistent(box).pixel(5, 5), White);
        box.Refresh();
        QCOMPARE(visible(box).pixel(5, 5), White);

        box.setAutoRedraw(true);
        box.PSet(6, 6, 0);
        box.Refresh();
        QCOMPARE(visible(box).pixel(6, 6), Black);

        // Switching copies nothing between the layers.
        box.setAutoRedraw(false);
        box.PSet(7, 7, 0);
        box.setAutoRedraw(true);
        box.setAutoRedraw(false);
        box.setAutoRedraw(true);
        box.Refresh();
        QCOMPARE(visible(box).pixel(7, 7), White);
        QCOMPARE(visible(box).pixel(6, 6), Black);
    }

    void clsClearsTheLayerInUse()
    {
        canvas::Surface box;
        box.setArea(QSize(40, 40), 1);
        QImage picture(10, 10, QImage::Format_RGB32);
        picture.fill(Qt::red);
        box.setPicture(picture);
        box.setAutoRedraw(true);
        box.PSet(20, 20, 0);
        box.setAutoRedraw(false);
        box.PSet(21, 21, 0);
        box.Cls(); // screen back to the persistent image
        QCOMPARE(visible(box).pixel(21, 21), White);
        QCOMPARE(visible(box).pixel(20, 20), Black);
        QCOMPARE(box.CurrentPosition(), QPointF(0, 0));
        box.setAutoRedraw(true);
        box.Cls(); // persistent image back to colour and picture
        QCOMPARE(visible(box).pixel(20, 20), White);
        QCOMPARE(visible(box).pixel(5, 5), qRgb(255, 0, 0));
    }

    void backColorErasesDrawingButKeepsPicture()
    {
        canvas::Surface box;
        box.setArea(QSize(20, 20), 1);
        box.setAutoRedraw(true);
        QImage picture(4, 4, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        picture.setPixel(1, 1, qRgb(0, 0, 255));
        box.setPicture(picture);
        box.Line(0, 10, 19, 10, 0);
        box.setBackColor(0x0000FF); // red
        const QImage image = visible(box);
        QCOMPARE(image.pixel(5, 10), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0)); // transparent shows the colour
    }

    void persistentImageSurvivesShrinkAndGrow()
    {
        canvas::Surface box;
        box.setArea(QSize(100, 100), 1);
        box.setAutoRedraw(true);
        box.PSet(90, 90, 0);
        box.setArea(QSize(50, 50), 1);
        QCOMPARE(visible(box).size(), QSize(50, 50));
        box.setArea(QSize(200, 150), 1);
        QCOMPARE(visible(box).pixel(90, 90), Black);
        QCOMPARE(visible(box).pixel(199, 149), White);
    }

    void windowSystemRepaintRebuildsScreen()
    {
        View v(QSize(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(&v.box));
        v.surface.PSet(10, 10, 0);
        v.box.hide();
        v.box.show();
        QCOMPARE(visible(v.surface).pixel(10, 10), White);
        v.surface.PSet(10, 10, 0);
        v.box.resize(120, 100);
        QCOMPARE(visible(v.surface).pixel(10, 10), White);
        QCOMPARE(v.surface.area(), QSize(120, 100));
    }

    void drawingRepaintsOnlyWhatItTouched()
    {
        View v(QSize(400, 300));
        QVERIFY(QTest::qWaitForWindowExposed(&v.box));
        QCoreApplication::processEvents();
        PaintRecorder recorder;
        v.box.installEventFilter(&recorder);
        v.surface.setDrawWidth(5);
        const QRect dot = v.surface.PSet(100, 100, 0);
        const QRect line = v.surface.Line(110, 104, 0);
        QVERIFY(dot.contains(100, 100) && line.contains(110, 104));
        QTRY_VERIFY(!recorder.rects.isEmpty());
        for (const QRect &r : recorder.rects)
            QVERIFY2(r.width() <= 24 && r.height() <= 24,
                     qPrintable(QStringLiteral("repainted %1x%2").arg(r.width()).arg(r.height())));
    }

    void paintPictureStretchesAndClips()
    {
        canvas::Surface box;
        box.setArea(QSize(64, 48), 1);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(qRgb(0, 0, 255));
        box.PaintPicture(picture, 0, 0, 10, 7.5);
        QImage image = visible(box);
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(8, 5), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(12, 5), White);
        QCOMPARE(image.pixel(5, 9), White);
        // Four times the size: everything visible is covered.
        box.PaintPicture(picture, 0, 0, 160, 120);
        image = visible(box);
        QCOMPARE(countPixels(image, qRgb(0, 0, 255)), 64 * 48);
    }

    void mouseEventsCarryButtonsAndAreaPixels()
    {
        PictureBox box;
        box.setBorderStyle(1);
        box.resize(50, 50);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QSignalSpy down(&box, &PictureBox::MouseDown);
        QSignalSpy up(&box, &PictureBox::MouseUp);
        QSignalSpy click(&box, &PictureBox::Click);
        QTest::mousePress(&box, Qt::RightButton, Qt::ShiftModifier, QPoint(11, 21));
        QTest::mouseRelease(&box, Qt::RightButton, Qt::ShiftModifier, QPoint(11, 21));
        QCOMPARE(down.size(), 1);
        QCOMPARE(down.at(0).at(0).toInt(), 2);
        QCOMPARE(down.at(0).at(1).toInt(), 1);
        QCOMPARE(down.at(0).at(2).toFloat(), 10.0f);
        QCOMPARE(down.at(0).at(3).toFloat(), 20.0f);
        QCOMPARE(up.size(), 1);
        QCOMPARE(click.size(), 1);
    }
};

QTEST_MAIN(TestSurface)
#include "tst_surface.moc"
