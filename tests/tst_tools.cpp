#include "MainFixture.h"
#include "TestSupport.h"

#include "forms/ColorWord.h"

using namespace testing;

namespace {

// Which TBarB buttons show the pressed look, read from their pixels.
QList<int> pressedButtons(Main &w)
{
    QList<int> pressed;
    for (int i = 0; i < 14; ++i) {
        const QRgb bg = buttonBackground(toolButton(w, i));
        if (bg == PressedLook) {
            if (buttonFramed(toolButton(w, i)))
                pressed << i;
        } else if (bg != PlainLook || buttonFramed(toolButton(w, i))) {
            pressed << -100 - i; // neither plain nor pressed
        }
    }
    return pressed;
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void startUpSelectsThePenOfWidthOne()
    {
        MainFixture f;
        QCOMPARE(pressedButtons(*f.w), (QList<int>{0, 3}));
        QVERIFY(action(f.w, "PenSize", 0)->isChecked());
        QCOMPARE(f.checkedToolItems(), 1);
        QVERIFY(!picBox(f.w)->testAttribute(Qt::WA_SetCursor));
    }

    // Each row is a sequence of selections: p<n> pen width index n, e<n> eraser size
    // n, P the pen-mode button, E the eraser-mode button.
    void selections_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("eraser");
        QTest::addColumn<int>("drawWidth");
        QTest::addColumn<int>("checkedPen");    // -1 none
        QTest::addColumn<int>("checkedEraser"); // -1 none
        QTest::addColumn<QList<int>>("pressed");
        QTest::newRow("width 5") << QStringList{"p4"} << false << 5 << 4 << -1 << QList<int>{0, 7};
        QTest::newRow("width 5, small eraser, pen button")
            << QStringList{"p4", "e0", "P"} << false << 5 << 4 << -1 << QList<int>{0, 7};
        QTest::newRow("eraser button before any size") << QStringList{"E"} << true << 1 << -1 << 0 << QList<int>{1, 12};
        QTest::newRow("large eraser keeps the width")
            << QStringList{"p8", "e1"} << true << 9 << -1 << 1 << QList<int>{1, 13};
        QTest::newRow("large eraser, pen, eraser button")
            << QStringList{"e1", "p2", "E"} << true << 3 << -1 << 1 << QList<int>{1, 13};
        QTest::newRow("reselecting the width") << QStringList{"p6", "p6"} << false << 7 << 6 << -1 << QList<int>{0, 9};
        QTest::newRow("width 9") << QStringList{"p8"} << false << 9 << 8 << -1 << QList<int>{0, 11};
    }
    void selections()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, eraser);
        QFETCH(int, drawWidth);
        QFETCH(int, checkedPen);
        QFETCH(int, checkedEraser);
        QFETCH(QList<int>, pressed);
        MainFixture f;
        Main &w = *f.w;
        for (const QString &step : steps) {
            const int n = step.mid(1).toInt();
            if (step == QLatin1String("P"))
                w.TBarB_Click(0);
            else if (step == QLatin1String("E"))
                w.TBarB_Click(1);
            else if (step.startsWith(QLatin1Char('p')))
                action(w, "PenSize", n)->trigger();
            else
                action(w, "EraserSize", n)->trigger();
            QCOMPARE(f.checkedToolItems(), 1);
        }
        QCOMPARE(w.tools().eraserMode(), eraser);
        QCOMPARE(w.surface().DrawWidth(), drawWidth);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(action(w, "PenSize", i)->isChecked(), i == checkedPen);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(action(w, "EraserSize", i)->isChecked(), i == checkedEraser);
        QCOMPARE(pressedButtons(w), pressed);
        // The pointer over the surface follows the tool.
        if (eraser) {
            QCOMPARE(picBox(w)->MousePointer(), 99);
            const QCursor c = picBox(w)->cursor();
            QCOMPARE(c.shape(), Qt::BitmapCursor);
            QCOMPARE(c.hotSpot(), QPoint(16, 16));
            const QImage icon = c.pixmap().toImage();
            QCOMPARE(icon.size(), QSize(32, 32));
            const bool large = checkedEraser == 1;
            QCOMPARE(qAlpha(icon.pixel(0, 0)) == 0, !large);
            QCOMPARE(icon.pixel(8, 8) | 0xFF000000, large ? White : Black);
            QCOMPARE(icon.pixel(16, 16) | 0xFF000000, White);
        } else {
            QCOMPARE(picBox(w)->MousePointer(), 0);
            QCOMPARE(picBox(w)->cursor().shape(), Qt::ArrowCursor);
        }
    }

    void wideWidthMakesTheEraserWider()
    {
        MainFixture f;
        f.w->surface().setDrawWidth(60); // black under the stamp, so its white shows
        f.w->surface().Line(60, 100, 140, 100, 0);
        f.w->PenSize_Click(8);
        f.w->EraserSize_Click(0);
        f.press(100, 100);
        f.release(100, 100);
        QCOMPARE(boundsOf(f.surface(), White, QRect(70, 75, 60, 50)).size(), QSize(15, 15));
    }

    void colourDialog()
    {
        MainFixture f;
        Main &w = *f.w;
        f.platform.colorAnswers.push_back(forms::colorWord(255, 0, 0));
        action(w, "CmdPenColor")->trigger();
        QCOMPARE(QString::number(w.tools().penColor()), QStringLiteral("255"));
        QCOMPARE(colView(w)->grab().toImage().pixel(5, 5), qRgb(255, 0, 0));
        // The dialog never starts at the pen colour.
        QCOMPARE(f.platform.colorDialogInitials, (QList<std::int32_t>{0}));

        // Cancel: the dialog's Color is still the last accepted one.
        w.ColView_Click();
        QCOMPARE(QString::number(w.tools().penColor()), QStringLiteral("255"));
        QCOMPARE(colView(w)->grab().toImage().pixel(5, 5), qRgb(255, 0, 0));
        QCOMPARE(f.platform.colorDialogInitials.size(), 2);

        f.press(30, 30);
        f.release(30, 30);
        QCOMPARE(f.surface().pixel(30, 30), qRgb(255, 0, 0));
    }

    void colourKeepsTheEraser()
    {
        MainFixture f;
        f.w->EraserSize_Click(1);
        f.platform.colorAnswers.push_back(forms::colorWord(0, 0, 255));
        f.w->CmdPenColor_Click();
        QVERIFY(f.w->tools().eraserMode());
        QCOMPARE(QString::number(f.w->tools().penColor()), QStringLiteral("16711680"));
        QCOMPARE(colView(f.w)->grab().toImage().pixel(5, 5), qRgb(0, 0, 255));
        QCOMPARE(pressedButtons(*f.w), (QList<int>{1, 13}));
    }

    void cancelBeforeAnyColourKeepsBlack()
    {
        MainFixture f;
        f.w->CmdPenColor_Click();
        QCOMPARE(QString::number(f.w->tools().penColor()), QStringLiteral("0"));
        QCOMPARE(colView(f.w)->grab().toImage().pixel(5, 5), Black);
    }

    void swatchClickAndCtrlC()
    {
        MainFixture f;
        f.platform.colorAnswers.push_back(forms::colorWord(0, 128, 0));
        QTest::mouseClick(colView(f.w), Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(QString::number(f.w->tools().penColor()), QString::number(forms::colorWord(0, 128, 0)));
        f.platform.colorAnswers.push_back(forms::colorWord(0, 0, 128));
        QTest::keyClick(picBox(f.w), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QString::number(f.w->tools().penColor()), QString::number(forms::colorWord(0, 0, 128)));
    }

    void looksRepaintAfterTheWindowSystemRepaints()
    {
        MainFixture f;
        forms::PictureBox *b = toolButton(f.w, 3);
        b->hide();
        b->show();
        QCOMPARE(buttonBackground(b), PressedLook);
        QVERIFY(buttonFramed(b));
    }
};

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
