#include "MainFixture.h"
#include "TestSupport.h"

#include "app/CommandLine.h"
#include "forms/App.h"
#include "forms/LineControl.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>

using namespace testing;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void stateAfterStartUp()
    {
        MainFixture f;
        Main &w = *f.w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Sketrin Ver2.0"));
        QCOMPARE(QString::number(w.tools().penColor()), QStringLiteral("0"));
        QCOMPARE(colView(w)->BackColor(), 0);
        QCOMPARE(colView(w)->grab().toImage().pixel(5, 5), Black);
        QCOMPARE(w.tools().pictureLoaded(), false);
        QCOMPARE(w.tools().toolbarShown(), true);
        QCOMPARE(w.tools().eraserMode(), false);
        QCOMPARE(w.tools().penSizeIndex(), 0);
        QCOMPARE(w.tools().eraserSizeIndex(), 0);
        QVERIFY(!w.tools().drawing().has_value());
        QCOMPARE(w.surface().DrawWidth(), 1);
        QCOMPARE(w.surface().AutoRedraw(), false);
        QCOMPARE(w.centralWidget()->size(), QSize(474, 292));
        QCOMPARE(picBox(w)->geometry(), QRect(5, 49, 464, 239));
        QCOMPARE(countPixels(f.surface(), White), f.surface().width() * f.surface().height());
    }

    void layout_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<bool>("toolbarShown");
        QTest::addColumn<QRect>("surface");
        QTest::newRow("declared, toolbar shown") << QSize(474, 292) << true << QRect(5, 49, 464, 239);
        QTest::newRow("declared, toolbar hidden") << QSize(474, 292) << false << QRect(5, 5, 464, 282);
        QTest::newRow("8 wide gives 2") << QSize(8, 292) << true << QRect(5, 49, 2, 239);
        QTest::newRow("10 wide gives 0") << QSize(10, 292) << true << QRect(5, 49, 0, 239);
        QTest::newRow("30 high gives 23") << QSize(474, 30) << true << QRect(5, 49, 464, 23);
        QTest::newRow("30 high, hidden") << QSize(474, 30) << false << QRect(5, 5, 464, 20);
        QTest::newRow("large") << QSize(1200, 800) << true << QRect(5, 49, 1190, 747);
    }
    void layout()
    {
        QFETCH(QSize, client);
        QFETCH(bool, toolbarShown);
        QFETCH(QRect, surface);
        MainFixture f(false);
        if (!toolbarShown)
            f.w->CmdToolBarVisible_Click();
        f.w->centralWidget()->resize(client);
        f.w->Form_Resize();
        QCOMPARE(picBox(f.w)->geometry(), surface);
    }

    void toolbarControlsAtTheirDeclaredPlaces()
    {
        MainFixture f(false);
        Main &w = *f.w;
        QCOMPARE(toolButton(w, 0)->geometry(), QRect(40, 0, 17, 17));
        QCOMPARE(toolButton(w, 2)->geometry(), QRect(152, 0, 17, 17));
        QCOMPARE(toolButton(w, 11)->geometry(), QRect(204, 24, 17, 17));
        QCOMPARE(toolButton(w, 13)->geometry(), QRect(248, 24, 17, 17));
        QCOMPARE(commandButton(w, 2)->geometry(), QRect(172, 0, 17, 17));
        QCOMPARE(commandButton(w, 9)->geometry(), QRect(372, 0, 17, 17));
        QCOMPARE(colView(w)->geometry(), QRect(412, 4, 13, 13));
        const QList<QLabel *> labels = w.findChildren<QLabel *>();
        const auto size =
            std::find_if(labels.begin(), labels.end(), [](QLabel *l) { return l->text() == QStringLiteral("サイズ"); });
        QVERIFY(size != labels.end());
        QCOMPARE((*size)->geometry(), QRect(8, 28, 34, 12));
        QCOMPARE(w.findChild<forms::LineControl *>(QStringLiteral("Sepa5"))->penStyle(), Qt::DotLine);
        QCOMPARE(w.findChild<forms::LineControl *>(QStringLiteral("TopLine1"))->to(), QPoint(268, 44));
    }

    void menuTree()
    {
        MainFixture f(false);
        // caption path, shortcut, checkable+checked ("x" ticked, "o" unticked, "" none)
        QStringList rows;
        std::function<void(QMenu *, QString)> walk = [&](QMenu *menu, QString indent) {
            for (QAction *a : menu->actions()) {
                if (a->isSeparator()) {
                    rows << indent + QStringLiteral("-");
                    continue;
                }
                QString row = indent + a->text();
                if (!a->shortcut().isEmpty())
                    row += QStringLiteral(" [") + a->shortcut().toString() + QStringLiteral("]");
                if (a->isCheckable())
                    row += a->isChecked() ? QStringLiteral(" x") : QStringLiteral(" o");
                rows << row;
                if (a->menu())
                    walk(a->menu(), indent + QStringLiteral("  "));
            }
        };
        for (QAction *top : f.w->menuBar()->actions()) {
            rows << top->text();
            walk(top->menu(), QStringLiteral("  "));
        }
        const QStringList expected = {
            QStringLiteral("ファイル(F)"),
            QStringLiteral("  画像読み込み(&L)... [Ctrl+O]"),
            QStringLiteral("  貼り付け(&V) [Ctrl+V]"),
            QStringLiteral("  画面取り込み(&G) [Ctrl+Shift+G]"),
            QStringLiteral("  画面に描く(&D) [Ctrl+Shift+D]"),
            QStringLiteral("  画面に描く (ライブ)(&L) [Ctrl+Shift+L]"),
            QStringLiteral("  名前を付けて保存(&S)... [Ctrl+S]"),
            QStringLiteral("  画面をコピー(&C) [Ctrl+Shift+C]"),
            QStringLiteral("  -"),
            QStringLiteral("  終了(&X)"),
            QStringLiteral("描画(&D)"),
            QStringLiteral("  画面クリア(&D) [Del]"),
            QStringLiteral("  画面保持(&R)"),
            QStringLiteral("    OFF(&F) x"),
            QStringLiteral("    ON(&N) o"),
            QStringLiteral("    -"),
            QStringLiteral("    機能説明(&H)..."),
            QStringLiteral("  -"),
            QStringLiteral("  ペンの色(&C)... [Ctrl+C]"),
            QStringLiteral("  ペンの太さ/消しゴム(&P)"),
            QStringLiteral("    太さ 1 [F1] x"),
            QStringLiteral("    太さ 2 [F2] o"),
            QStringLiteral("    太さ 3 [F3] o"),
            QStringLiteral("    太さ 4 [F4] o"),
            QStringLiteral("    太さ 5 [F5] o"),
            QStringLiteral("    太さ 6 [F6] o"),
            QStringLiteral("    太さ 7 [F7] o"),
            QStringLiteral("    太さ 8 [F8] o"),
            QStringLiteral("    太さ 9 [F9] o"),
            QStringLiteral("    -"),
            QStringLiteral("    消しゴム 小 [F11] o"),
            QStringLiteral("    消しゴム 大 [F12] o"),
            QStringLiteral("  -"),
            QStringLiteral("  元に戻す(&U) [Ctrl+Z]"),
            QStringLiteral("  やり直し(&Y) [Ctrl+Y]"),
            QStringLiteral("ツール(&T)"),
            QStringLiteral("  ツールバーの非表示(&T)"),
            QStringLiteral("  -"),
            QStringLiteral("  比率調整(&R)"),
            QStringLiteral("    1/4倍(&W)"),
            QStringLiteral("    1/2倍(&Q)"),
            QStringLiteral("    等倍(&1)"),
            QStringLiteral("    2倍(&2)"),
            QStringLiteral("    4倍(&4)"),
            QStringLiteral("  フィルター(&F)"),
            QStringLiteral("    モノクロ(&M)"),
            QStringLiteral("    セピア(&S)"),
            QStringLiteral("ヘルプ(&H)"),
            QStringLiteral("  ヘルプを開く(&H)..."),
            QStringLiteral("  描画モードのキー(&K)"),
            QStringLiteral("  -"),
            QStringLiteral("  ホームページを開く(&W)..."),
            QStringLiteral("  ソフトを評価 [ZELVO] (&V)..."),
            QStringLiteral("  -"),
            QStringLiteral("  バージョン情報(&A)..."),
        };
        QCOMPARE(rows, expected);
    }

    void shortcutsFireFromTheSurface_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("eraser");
        QTest::newRow("F5") << int(Qt::Key_F5) << 5 << false;
        QTest::newRow("F9") << int(Qt::Key_F9) << 9 << false;
        QTest::newRow("F11") << int(Qt::Key_F11) << 1 << true;
        QTest::newRow("F10 does nothing") << int(Qt::Key_F10) << 1 << false;
    }
    void shortcutsFireFromTheSurface()
    {
        QFETCH(int, key);
        QFETCH(int, width);
        QFETCH(bool, eraser);
        MainFixture f;
        f.w->activateWindow();
        picBox(f.w)->setFocus();
        QTest::keyClick(picBox(f.w), Qt::Key(key));
        QCOMPARE(f.w->surface().DrawWidth(), width);
        QCOMPARE(f.w->tools().eraserMode(), eraser);
    }

    void shortcutsFireWhileAMenuIsOpen_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("submenu"); // the pen submenu open over its menu
        QTest::newRow("F5, menu") << int(Qt::Key_F5) << false;
        QTest::newRow("F12, submenu") << int(Qt::Key_F12) << true;
        QTest::newRow("Del, menu") << int(Qt::Key_Delete) << false;
        QTest::newRow("Ctrl+O, submenu") << (Qt::CTRL | Qt::Key_O).toCombined() << true;
        QTest::newRow("Ctrl+C, menu") << (Qt::CTRL | Qt::Key_C).toCombined() << false;
    }
    void shortcutsFireWhileAMenuIsOpen()
    {
        QFETCH(int, key);
        QFETCH(bool, submenu);
        MainFixture f;
        f.w->activateWindow();
        f.press(20, 20);
        f.release(20, 20);
        QMenu *draw = f.w->menuBar()->actions().at(1)->menu();
        draw->popup(f.w->mapToGlobal(QPoint(40, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(draw));
        QMenu *open = draw;
        if (submenu) {
            open = qobject_cast<QMenu *>(action(f.w, "PenSize", 0)->parent());
            QVERIFY(open);
            open->popup(draw->geometry().topRight());
            QVERIFY(QTest::qWaitForWindowExposed(open));
        }
        QTRY_COMPARE(QApplication::activePopupWidget(), open);
        QTest::keyClick(open, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        switch (key) {
        case Qt::Key_F5:
            QCOMPARE(f.w->surface().DrawWidth(), 5);
            break;
        case Qt::Key_F12:
            QCOMPARE(f.w->tools().checkedEraserSize(), std::optional<int>(1));
            break;
        case Qt::Key_Delete:
            QCOMPARE(f.surface().pixel(20, 20), White);
            break;
        case int(Qt::ControlModifier) | int(Qt::Key_O):
            QCOMPARE(f.platform.openDialogFilters.size(), 1);
            break;
        default:
            QCOMPARE(f.platform.colorDialogInitials.size(), 1);
        }
        for (QMenu *menu : {open, draw})
            menu->close();
    }

    void qtTranslationsFollowTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Japanese") << "ja_JP" << QStringLiteral("キャンセル");
        QTest::newRow("English") << "en_US" << QStringLiteral("Cancel");
    }
    void qtTranslationsFollowTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, cancel);
        std::unique_ptr<QTranslator> translator(forms::installQtTranslations(QLocale(locale)));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), cancel);
    }

    void penDotAndStroke_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }
    void penDotAndStroke()
    {
        QFETCH(int, button);
        const auto b = Qt::MouseButton(button);
        MainFixture f;
        f.press(50, 50, b);
        QCOMPARE(f.w->tools().drawing(), std::optional<bool>(true));
        QCOMPARE(countPixels(f.surface(), Black), 1);
        f.move(90, 70);
        f.release(90, 70, b);
        QCOMPARE(f.w->tools().drawing(), std::optional<bool>(false));
        const QImage img = f.surface();
        for (int x = 50; x <= 90; ++x)
            QVERIFY(countPixels(img, Black, QRect(x, 0, 1, img.height())) >= 1);
        // After the release, moves draw nothing.
        const int before = countPixels(img, Black);
        f.move(10, 10);
        f.move(30, 100);
        QCOMPARE(countPixels(f.surface(), Black), before);
    }

    void moveWithoutPressDrawsNothing()
    {
        MainFixture f;
        f.move(10, 10);
        f.move(100, 100);
        QCOMPARE(countPixels(f.surface(), Black), 0);
        QVERIFY(!f.w->tools().drawing().has_value());
    }

    void wideDotIsADisc()
    {
        MainFixture f;
        f.w->surface().setDrawWidth(9);
        f.press(60, 60);
        f.release(60, 60);
        QCOMPARE(boundsOf(f.surface(), Black), QRect(56, 56, 9, 9));
        QCOMPARE(countPixels(f.surface(), Black), 69);
    }

    void strokeLeavingTheSurfaceIsClipped()
    {
        MainFixture f;
        const int w = picBox(f.w)->ScaleWidth();
        f.press(w - 20, 30);
        f.move(w + 50, 30);
        f.move(w - 20, 60);
        f.release(w + 80, 60);
        const QImage img = f.surface();
        QCOMPARE(img.pixel(w - 1, 30), Black);
        QVERIFY(countPixels(img, Black, QRect(w - 20, 31, 20, 29)) > 0);
        QCOMPARE(f.w->tools().drawing(), std::optional<bool>(false));
    }

    void eraserSquares_data() { eraserSizeRows(); }
    void eraserSquares()
    {
        QFETCH(int, size);
        QFETCH(int, side);
        MainFixture f;
        // Black everywhere, so the stamp shows as white.
        f.w->surface().setDrawWidth(40);
        for (int y = 0; y < 120; y += 20)
            f.w->surface().Line(0, y, 200, y, 0);
        f.w->surface().setDrawWidth(1);
        f.w->EraserSize_Click(size);
        f.press(60, 50);
        f.release(60, 50);
        const QRect erased = boundsOf(f.surface(), White, QRect(0, 0, 150, 100));
        QCOMPARE(erased.size(), QSize(side, side));
        QCOMPARE(erased.center(), QPoint(60, 50));
        QCOMPARE(countPixels(f.surface(), White, QRect(0, 0, 150, 100)), side * side);
        const int s = size ? 11 : 3;
        QCOMPARE(f.w->surface().CurrentPosition(), QPointF(60 + s, 50 + s));
    }

    void holdKeepsStrokesAcrossRepaint()
    {
        MainFixture f;
        f.drag({20, 20}, {80, 20});
        f.w->surface().Refresh();
        QCOMPARE(countPixels(f.surface(), Black), 0);
        f.w->surface().setAutoRedraw(true);
        f.drag({20, 40}, {80, 40});
        f.w->surface().Refresh();
        QCOMPARE(countPixels(f.surface(), Black), 61);
    }

    void exitClosesEveryWindow()
    {
        MainFixture f;
        QWidget other;
        other.show();
        f.w->CmdExit_Click();
        QVERIFY(!f.w->isVisible());
        QVERIFY(!other.isVisible());
    }

    // The command line, read without a window.
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
        QTest::newRow("--live") << QStringList{"--live"} << false << QString() << false;
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
        QCOMPARE(line.live, arguments.contains(QStringLiteral("--live")));
        QCOMPARE(line.file, file);
        QCOMPARE(!line.error.isEmpty(), error);
        QVERIFY(CommandLine::usage().contains(QStringLiteral("--draw")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
