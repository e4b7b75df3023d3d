#include "MainFixture.h"
#include "TestSupport.h"

#include "forms/LineControl.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace testing;

namespace {

enum class L { Plain, Hover, Pressed, Other };

L lookOf(forms::PictureBox *b)
{
    const QRgb bg = buttonBackground(b);
    const bool framed = buttonFramed(b);
    if (bg == PlainLook && !framed)
        return L::Plain;
    if (bg == HoverLook && framed)
        return L::Hover;
    if (bg == PressedLook && framed)
        return L::Pressed;
    return L::Other;
}

// A point on the window's own background, in the toolbar's gap left of TBar 0.
const QPoint Background(100, 18);

} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT

    static void moveOnto(QWidget *w, QPoint at = QPoint(8, 8)) { QTest::mouseMove(w, at); }
    static void moveToBackground(MainFixture &f) { QTest::mouseMove(f.w->centralWidget(), Background); }

private slots:
    void pictures()
    {
        MainFixture f(false);
        QSet<QByteArray> seen;
        const QList<toolbar::ToolButton *> all = toolButtons(f.w, false) + toolButtons(f.w, true);
        for (forms::PictureBox *b : all) {
            const QImage p = b->Picture().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(p.size(), QSize(16, 16));
            QVERIFY2(p.hasAlphaChannel(), qPrintable(b->objectName()));
            const QByteArray bytes(reinterpret_cast<const char *>(p.constBits()), int(p.sizeInBytes()));
            QVERIFY2(!seen.contains(bytes), qPrintable(b->objectName() + QStringLiteral(" repeats a picture")));
            seen.insert(bytes);
        }
        QVERIFY(!f.w->windowIcon().pixmap(16, 16).isNull());
        QVERIFY(!f.w->windowIcon().pixmap(32, 32).isNull());
    }

    void startUpLooksAndTooltips()
    {
        MainFixture f;
        for (int i = 0; i < 14; ++i)
            QCOMPARE(lookOf(toolButton(f.w, i)), (i == 0 || i == 3) ? L::Pressed : L::Plain);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(lookOf(commandButton(f.w, i)), L::Plain);
        const QStringList tbar = {"画像読み込み...",    "画面クリア",        "ペンの色...",      "画像 1/4倍読み込み",
                                  "画像 1/2倍読み込み", "画像 等倍読み込み", "画像 2倍読み込み", "画像 4倍読み込み",
                                  "モノクロ加工",       "セピア加工"};
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(commandButton(f.w, i)->toolTip(), tbar.at(i));
            QCOMPARE(commandButton(f.w, i)->accessibleName(), tbar.at(i));
        }
        QStringList tbarb = {"ペンモード", "消しゴムモード", "画面保持 ON/OFF"};
        for (int n = 1; n <= 9; ++n)
            tbarb << QStringLiteral("ペン 太さ%1").arg(n);
        tbarb << "消しゴム 小"
              << "消しゴム 大";
        for (int i = 0; i < 14; ++i) {
            QCOMPARE(toolButton(f.w, i)->toolTip(), tbarb.at(i));
            QCOMPARE(toolButton(f.w, i)->accessibleName(), tbarb.at(i));
        }
        QCOMPARE(colView(f.w)->toolTip(), QStringLiteral("ペンの色"));
    }

    void hoverThenLeaveAcrossTheBackground()
    {
        MainFixture f;
        moveOnto(commandButton(f.w, 4));
        QCOMPARE(lookOf(commandButton(f.w, 4)), L::Hover);
        moveToBackground(f);
        QCOMPARE(lookOf(commandButton(f.w, 4)), L::Plain);
    }

    void leavingStraightOntoTheSurfaceKeepsTheHover()
    {
        MainFixture f;
        moveOnto(toolButton(f.w, 5));
        QCOMPARE(lookOf(toolButton(f.w, 5)), L::Hover);
        QTest::mouseMove(picBox(f.w), QPoint(40, 5));
        QCOMPARE(lookOf(toolButton(f.w, 5)), L::Hover);
        QTest::mouseMove(colView(f.w), QPoint(5, 5));
        QCOMPARE(lookOf(toolButton(f.w, 5)), L::Hover);
        moveToBackground(f);
        QCOMPARE(lookOf(toolButton(f.w, 5)), L::Plain);
    }

    void groupLabelsKeepTheHover()
    {
        MainFixture f;
        for (QLabel *label : f.w->findChildren<QLabel *>()) {
            moveOnto(commandButton(f.w, 0));
            QCOMPARE(lookOf(commandButton(f.w, 0)), L::Hover);
            moveOnto(label, QPoint(2, 4));
            QVERIFY2(lookOf(commandButton(f.w, 0)) == L::Hover, qPrintable(label->text()));
        }
        moveToBackground(f);
        QCOMPARE(lookOf(commandButton(f.w, 0)), L::Plain);
    }

    void heldCommandButton_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
    }
    void heldCommandButton()
    {
        QFETCH(int, button);
        const auto b = Qt::MouseButton(button);
        MainFixture f;
        forms::PictureBox *clear = commandButton(f.w, 1);
        moveOnto(clear);
        QTest::mousePress(clear, b, {}, QPoint(8, 8));
        QCOMPARE(lookOf(clear), L::Pressed);
        QTest::mouseMove(clear, QPoint(9, 9));
        QCOMPARE(lookOf(clear), L::Hover);
        f.w->surface().setAutoRedraw(true);
        f.w->surface().PSet(10, 10, 0);
        QTest::mouseRelease(clear, b, {}, QPoint(9, 9));
        QCOMPARE(lookOf(clear), L::Plain);
        // The click ran the clear command.
        QCOMPARE(f.surface().pixel(10, 10), White);
    }

    void commandButtonsRunTheirCommands()
    {
        MainFixture f;
        // Without a picture: the scale and filter buttons give their messages.
        for (int i = 3; i <= 9; ++i)
            QTest::mouseClick(commandButton(f.w, i), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(f.platform.msgBoxes.size(), 7);
        QCOMPARE(f.platform.msgBoxes.at(0).prompt, QStringLiteral("画像が読み込まれていません"));
        QCOMPARE(f.platform.msgBoxes.at(6).prompt, QStringLiteral("画像が読み込まれていません。"));
        QTest::mouseClick(commandButton(f.w, 0), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(f.platform.openDialogFilters.size(), 1);
        f.platform.colorAnswers.push_back(255);
        QTest::mouseClick(commandButton(f.w, 2), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(QString::number(f.w->tools().penColor()), QStringLiteral("255"));
    }

    void screenHoldToggle()
    {
        MainFixture f;
        forms::PictureBox *hold = toolButton(f.w, 2);
        QTest::mouseClick(hold, Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(f.w->surface().AutoRedraw());
        QVERIFY(action(f.w, "CmdPicRemain", 1)->isChecked());
        QCOMPARE(lookOf(hold), L::Pressed);
        QTest::mouseClick(hold, Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(!f.w->surface().AutoRedraw());
        QVERIFY(action(f.w, "CmdPicRemain", 0)->isChecked());
        QCOMPARE(lookOf(hold), L::Plain);
    }

    // As the window system delivers it: press, release, the second press as a
    // double-click, release.
    void doubleClickIsOneClick_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("held");
        QTest::newRow("screen-hold button") << "TBarB2" << 1 << true;
        QTest::newRow("command button") << "TBar1" << 1 << false;
        QTest::newRow("drawing surface: two presses") << "PicBox" << 2 << false;
    }
    void doubleClickIsOneClick()
    {
        QFETCH(QString, box);
        QFETCH(int, clicks);
        QFETCH(bool, held);
        MainFixture f;
        auto *b = f.w->findChild<forms::PictureBox *>(box);
        QSignalSpy downs(b, &forms::PictureBox::MouseDown);
        QSignalSpy clicked(b, &forms::PictureBox::Click);
        doubleClick(b, QPoint(8, 8));
        QCOMPARE(downs.size(), clicks);
        QCOMPARE(clicked.size(), clicks);
        QCOMPARE(f.w->surface().AutoRedraw(), held);
        // The next single click is a click again.
        click(b, QPoint(8, 8));
        QCOMPARE(clicked.size(), clicks + 1);
    }

    void checkedWidthButtonIsPressedAgainAfterTheReset()
    {
        MainFixture f;
        moveOnto(toolButton(f.w, 3));
        QCOMPARE(lookOf(toolButton(f.w, 3)), L::Hover);
        moveOnto(toolButton(f.w, 0));
        moveToBackground(f);
        QCOMPARE(lookOf(toolButton(f.w, 3)), L::Pressed);
        // The current tool's button is not touched: it keeps its hover.
        QCOMPARE(lookOf(toolButton(f.w, 0)), L::Hover);
    }

    void largeEraserButtonKeepsItsHover()
    {
        MainFixture f;
        QTest::mouseClick(toolButton(f.w, 13), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(lookOf(toolButton(f.w, 1)), L::Pressed);
        QCOMPARE(lookOf(toolButton(f.w, 13)), L::Pressed);
        for (int i = 3; i <= 11; ++i)
            QCOMPARE(lookOf(toolButton(f.w, i)), L::Plain);
        moveOnto(toolButton(f.w, 13));
        moveToBackground(f);
        QCOMPARE(lookOf(toolButton(f.w, 13)), L::Hover);
        QCOMPARE(lookOf(toolButton(f.w, 0)), L::Plain);
    }

    void firstEraserClickSelectsTheSmallEraser()
    {
        MainFixture f;
        QTest::mouseClick(toolButton(f.w, 1), Qt::RightButton, {}, QPoint(8, 8));
        QVERIFY(f.w->tools().eraserMode());
        QVERIFY(action(f.w, "EraserSize", 0)->isChecked());
        QCOMPARE(lookOf(toolButton(f.w, 12)), L::Pressed);
    }

    void hideAndShow()
    {
        MainFixture f;
        Main &w = *f.w;
        w.CmdPicRemain_Click(1);
        QList<QImage> looks;
        for (auto *b : toolButtons(w, true))
            looks << b->grab().toImage();
        QCOMPARE(picBox(w)->geometry(), QRect(5, 49, 464, 239));

        action(w, "CmdToolBarVisible")->trigger();
        QVERIFY(!w.tools().toolbarShown());
        QCOMPARE(action(w, "CmdToolBarVisible")->text(), QStringLiteral("ツールバーの表示(&T)"));
        QCOMPARE(picBox(w)->geometry(), QRect(5, 5, 464, 282));
        QCOMPARE(w.centralWidget()->size(), QSize(474, 292));
        for (auto *b : toolButtons(w, false) + toolButtons(w, true))
            QVERIFY(!b->isVisible());
        for (auto *l : w.findChildren<QLabel *>())
            QVERIFY(!l->isVisible());
        for (auto *l : w.findChildren<forms::LineControl *>())
            QVERIFY(!l->isVisible());
        QVERIFY(!colView(w)->isVisible());
        QVERIFY(picBox(w)->isVisible());

        action(w, "CmdToolBarVisible")->trigger();
        QVERIFY(w.tools().toolbarShown());
        QCOMPARE(action(w, "CmdToolBarVisible")->text(), QStringLiteral("ツールバーの非表示(&T)"));
        QCOMPARE(picBox(w)->geometry(), QRect(5, 49, 464, 239));
        QVERIFY(colView(w)->isVisible());
        for (int i = 0; i < 14; ++i)
            QCOMPARE(toolButton(w, i)->grab().toImage(), looks.at(i));
    }

    void selectionsWhileHiddenShowLater()
    {
        MainFixture f;
        Main &w = *f.w;
        w.CmdToolBarVisible_Click();
        action(w, "PenSize", 6)->trigger();
        action(w, "CmdPicRemain", 1)->trigger();
        w.CmdToolBarVisible_Click();
        QCOMPARE(lookOf(toolButton(w, 0)), L::Pressed);
        QCOMPARE(lookOf(toolButton(w, 9)), L::Pressed);
        QCOMPARE(lookOf(toolButton(w, 2)), L::Pressed);
        QCOMPARE(lookOf(toolButton(w, 3)), L::Plain);
    }

    void toolbarScreenshot()
    {
        // Kept for a person to look at: the toolbar right after start-up.
        MainFixture f;
        const QImage shot = f.w->centralWidget()->grab(QRect(0, 0, 474, 48)).toImage();
        const QString dir = QDir::current().filePath(QStringLiteral("artifacts"));
        QDir().mkpath(dir);
        QVERIFY(shot.scaled(shot.size() * 3).save(dir + QStringLiteral("/toolbar-offscreen.png")));
        QCOMPARE(shot.pixel(40 + 16, 8), qRgb(82, 150, 247)); // TBarB 0's right frame edge
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
