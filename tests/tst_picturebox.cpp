// The picture box's frame after a repaint of part of the box: a repaint draws
// only the part of the frame it reaches, and that part must be the whole frame's.
// Run once per QT_SCALE_FACTOR (1, 1.5, 2), like tst_hidpi.
#include "forms/PictureBox.h"

#include <QBackingStore>
#include <QPainter>
#include <QTest>

using forms::PictureBox;

class TestPictureBox : public QObject
{
    Q_OBJECT

    static constexpr int W = 120, H = 80;

    // The box's pixels as its window keeps them: on the raster platforms the
    // backing store paints into an image, at the screen's device pixels.
    static QImage shown(PictureBox &box)
    {
        const auto *image = dynamic_cast<const QImage *>(box.backingStore()->paintDevice());
        return image ? image->convertToFormat(QImage::Format_RGB32) : QImage();
    }

    // A white box in a one-pixel grey frame, as a painter draws that frame whole.
    static QImage framed(qreal scale)
    {
        QImage image(QSize(W, H) * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setPen(QColor(128, 128, 128));
        p.drawRect(QRect(0, 0, W - 1, H - 1));
        return image;
    }

private slots:
    void partialRepaintKeepsTheFrame_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addRow("inside") << QRect(30, 20, 10, 10);
        QTest::addRow("top side") << QRect(30, 0, 10, 5);
        QTest::addRow("bottom side") << QRect(30, H - 4, 10, 4);
        QTest::addRow("left side") << QRect(0, 30, 3, 10);
        QTest::addRow("right side") << QRect(W - 2, 30, 2, 10);
        QTest::addRow("top left corner") << QRect(0, 0, 6, 6);
        QTest::addRow("bottom right corner") << QRect(W - 6, H - 6, 6, 6);
        QTest::addRow("one frame pixel") << QRect(50, H - 1, 1, 1);
        QTest::addRow("across the box") << QRect(-5, 35, W + 10, 6);
        QTest::addRow("whole box") << QRect(0, 0, W, H);
    }

    void partialRepaintKeepsTheFrame()
    {
        QFETCH(QRect, area);
        PictureBox box;
        box.setBorderStyle(1);
        box.resize(W, H);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setBackColor(0xFF0000);
        box.repaint();
        // Without a drawing the box fills the whole repainted area, frame pixels
        // included, before it draws the frame: one left out would stay white.
        box.setBackColor(0xFFFFFF);
        box.repaint();
        box.repaint(area);
        const QImage expected = framed(box.devicePixelRatioF()).convertToFormat(QImage::Format_RGB32);
        QImage got = shown(box);
        QVERIFY(!got.isNull());
        got.setDevicePixelRatio(expected.devicePixelRatio());
        QCOMPARE(got, expected);
    }
};

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"
