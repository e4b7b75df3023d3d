#include "forms/PictureBox.h"

#include <QtTest>

using forms::PictureBox;

class TestPictureBox : public QObject
{
    Q_OBJECT
private slots:
    void smoke()
    {
        PictureBox box;
        box.resize(50, 40);
        box.PSet(3, 4, 0);
        QCOMPARE(box.ScreenImage().pixel(3, 4), qRgb(0, 0, 0));
    }
};

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"
