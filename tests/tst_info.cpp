#include "MainFixture.h"

#include "forms/QtPlatform.h"
#include "info/Addresses.h"
#include "info/Help.h"
#include "info/VerInfo.h"
#include "info/ZELVO.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

using namespace testing;

namespace {

// Scripted dialogs, but the real HTTP request.
class NetPlatform : public forms::ScriptedPlatform
{
public:
    forms::QtPlatform real;
    void httpGet(const QUrl &url) override
    {
        ScriptedPlatform::httpGet(url);
        real.httpGet(url);
    }
};

bool isDone(ZELVO &z)
{
    return !z.Submit->isVisibleTo(&z) && z.Reset->isEnabled() && z.Reset->isDefault() &&
           z.Reset->text() == QStringLiteral("閉じる(&C)") && !z.Vote->isEnabled();
}

} // namespace

// What a button showed when it was last painted.
struct PaintedButton : QObject
{
    QPushButton *button;
    QString text;
    bool enabled = true;
    explicit PaintedButton(QPushButton *b) : button(b) { b->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            text = button->text();
            enabled = button->isEnabled();
        }
        return false;
    }
};

class TestInfo : public QObject
{
    Q_OBJECT

private slots:
    void addresses()
    {
        const QString home = info::HomePageAddress();
        QCOMPARE(home.size(), 22);
        QVERIFY(home.startsWith(QStringLiteral("http://")) && home.endsWith(QLatin1Char('/')));
        QVERIFY(QUrl(home).host().endsWith(QStringLiteral(".test")));
        const QString vote = info::BuildVoteBaseAddress();
        QCOMPARE(vote.size(), 37);
        QVERIFY(QUrl(vote).isValid());
        QCOMPARE(QUrl(vote).host(), QUrl(home).host());
        QCOMPARE(info::CopyrightLine().size(), 45);
        QVERIFY(!info::CopyrightLine().contains(QLatin1Char('\n')));
    }

    void helpCommandLine_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "/opt/sketrin";
        QTest::newRow("blanks") << "/home/a user/My Tools/Sketrin";
        QTest::newRow("shell characters") << "/tmp/x; rm -rf $HOME & `id`";
    }
    void helpCommandLine()
    {
        QFETCH(QString, folder);
        const info::HelpCommand c = info::helpCommand(folder);
        QCOMPARE(c.commandLine, QStringLiteral("xdg-open ") + folder + QStringLiteral("/readme.txt"));
        QCOMPARE(c.program, QStringLiteral("xdg-open"));
        QCOMPARE(c.arguments, QStringList{folder + QStringLiteral("/readme.txt")});
    }

    void helpCommandStartsTheEditor()
    {
        MainFixture f(false);
        action(f.w, "CmdHelpRef")->trigger();
        QCOMPARE(f.platform.programs.size(), 1);
        QCOMPARE(f.platform.programs.at(0).arguments,
                 QStringList{QCoreApplication::applicationDirPath() + QStringLiteral("/readme.txt")});
        QVERIFY(f.platform.msgBoxes.isEmpty());
    }

    void helpWithoutAnEditorSaysWhich()
    {
        MainFixture f(false);
        f.platform.programStarts = false;
        f.w->CmdHelpRef_Click();
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QVERIFY(f.platform.msgBoxes.at(0).prompt.endsWith(QCoreApplication::applicationDirPath() +
                                                          QStringLiteral("/readme.txt")));
        QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
        QCOMPARE(f.platform.msgBoxes.at(0).title, QStringLiteral("Sketrin"));
    }

    void homePageOpensEachTime()
    {
        MainFixture f(false);
        action(f.w, "CmdOpenHP")->trigger();
        action(f.w, "CmdOpenHP")->trigger();
        QCOMPARE(f.platform.openedUrls, (QList<QUrl>{QUrl(info::HomePageAddress()), QUrl(info::HomePageAddress())}));
    }

    void versionWindow()
    {
        forms::ScriptedPlatform platform;
        VerInfo v(platform);
        QCOMPARE(v.windowTitle(), QStringLiteral("Sketrin Ver2.0"));
        QCOMPARE(v.size(), QSize(498, 234));
        QCOMPARE(v.minimumSize(), v.maximumSize());
        QCOMPARE(v.Versions->text(), QStringLiteral("Version: 2.0"));
        QVERIFY(v.Versions->alignment() & Qt::AlignRight);
        QCOMPARE(VerInfo::NoteText(),
                 QStringLiteral("簡易プレゼンテーション向け説明ソフト 「Sketrin」\r\n\r\n\r\n"
                                "Sketrinをご使用いただきありがとうございます。\r\n\r\n"
                                "感想・不具合・改善提案等ありましたら、下記URLより掲示板へお願いします。"));
        QCOMPARE(v.Note->text().split(QLatin1Char('\n')).size(), 6);
        QCOMPARE(v.Note->geometry(), QRect(48, 72, 432, 100));
        QCOMPARE(v.CloseWin->text(), QStringLiteral("&OK"));
        QCOMPARE(v.CloseWin->geometry(), QRect(400, 196, 85, 25));
        QVERIFY(v.CloseWin->isDefault());
        QCOMPARE(v.URL->text(), info::HomePageAddress());
        QCOMPARE(v.URL->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(v.URL->font().underline());
        QCOMPARE(v.URL->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(v.Copyright->text(), info::CopyrightLine());
        QCOMPARE(v.Image1->geometry(), QRect(0, 4, 500, 50));
        QCOMPARE(v.Image1->pixmap().size(), QSize(500, 50));
        QCOMPARE(v.BackGround->geometry(), QRect(0, 0, 500, 246));
        QCOMPARE(v.SoftIcon->pixmap().size(), QSize(32, 32));
        // The banner is drawn over the background, the button over everything.
        QVERIFY(v.children().indexOf(v.Image1) > v.children().indexOf(v.BackGround));
        QVERIFY(v.children().indexOf(v.CloseWin) > v.children().indexOf(v.Note));

        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QTest::mouseClick(v.URL, Qt::LeftButton, {}, QPoint(10, 8));
        QCOMPARE(platform.openedUrls, QList<QUrl>{QUrl(info::HomePageAddress())});
        QVERIFY(v.isVisible());
    }

    void linkDoubleClickOpensThePageOnce()
    {
        forms::ScriptedPlatform platform;
        VerInfo v(platform);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        doubleClick(v.URL, QPoint(10, 8));
        QCOMPARE(platform.openedUrls.size(), 1);
        click(v.URL, QPoint(10, 8));
        QCOMPARE(platform.openedUrls.size(), 2);
    }

    // The real message box, looked at while it waits for an answer.
    void messageBoxKeepsItsLines_data()
    {
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("whole");
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("four long lines")
            << QStringLiteral("Sketrinより前面に他のアプリケーションを重ねると、それまでに書いた部分は消えますが") +
                   crlf + QStringLiteral("この機能は、それをメモリに保持しておき消えないようにする機能です。") + crlf +
                   QStringLiteral(
                       "しかし多くのマシンパワーを必要とし、さらにバッファは限られているので、領域が大きすぎると") +
                   crlf + QStringLiteral("使用できません。")
            << true;
        QTest::newRow("wider than the screen") << QStringLiteral("wide words ").repeated(120) << false;
    }
    void messageBoxKeepsItsLines()
    {
        QFETCH(QString, prompt);
        QFETCH(bool, whole);
        forms::QtPlatform platform;
        int widest = 0;
        int labelWidth = 0;
        int boxWidth = 0;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            auto *label = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")) : nullptr;
            if (label) {
                for (const QString &line : label->text().split(QLatin1Char('\n')))
                    widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
                labelWidth = label->contentsRect().width();
                boxWidth = box->frameGeometry().width();
            }
            if (box)
                QTest::keyClick(box, Qt::Key_Return);
        });
        platform.MsgBox(prompt, forms::vbInformation, QStringLiteral("box"));
        QVERIFY(widest > 500); // wider than QMessageBox wraps on its own
        QCOMPARE(labelWidth >= widest, whole);
        QVERIFY(boxWidth <= QGuiApplication::primaryScreen()->availableGeometry().width());
    }

    void openDialogShowsTheRememberedFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("remembered.bmp"));
        QImage(4, 4, QImage::Format_RGB32).save(file);
        forms::QtPlatform platform;
        QString named;
        QString folder;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            named = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
            folder = dialog->directory().absolutePath();
            dialog->reject();
        });
        QVERIFY(!platform.showOpenDialog(QStringLiteral("ビットマップ|*.bmp|"), file, 0));
        QCOMPARE(named, QStringLiteral("remembered.bmp"));
        QCOMPARE(folder, QFileInfo(file).absolutePath());
    }

    void versionWindowCloses_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void versionWindowCloses()
    {
        QFETCH(int, key);
        forms::ScriptedPlatform platform;
        VerInfo v(platform);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QTest::keyClick(&v, Qt::Key(key));
        QVERIFY(!v.isVisible());
    }

    void ratingWindowAtLoad()
    {
        forms::ScriptedPlatform platform;
        ZELVO z(platform);
        QCOMPARE(z.windowTitle(), QStringLiteral("[ZELVO] Velmora Software Vote System"));
        QCOMPARE(z.size(), QSize(355, 224));
        QCOMPARE(z.Vote->count(), 5);
        QCOMPARE(ZELVO::VoteItems(),
                 (QStringList{"1-だめだこりゃ", "2-物足りない", "3-妥当・普通", "4-結構ナイス", "5-パーフェクト"}));
        QCOMPARE(z.Vote->currentText(), QStringLiteral("3-妥当・普通"));
        QVERIFY(!z.Vote->isEditable());
        QCOMPARE(z.Submit->text(), QStringLiteral("送信(&S)"));
        QVERIFY(z.Submit->isDefault());
        QCOMPARE(z.Reset->text(), QStringLiteral("キャンセル(&C)"));
        QCOMPARE(z.Submit->geometry(), QRect(244, 160, 89, 21));
        QCOMPARE(z.Reset->geometry(), QRect(244, 188, 89, 21));
        QCOMPARE(z.Vote->geometry(), QRect(68, 188, 161, 20));
        QCOMPARE(z.VoteMe->text(), QStringLiteral("このソフトを評価してください"));
        QVERIFY(z.VoteMe->font().bold() && z.VoteMe->font().underline());
        QCOMPARE(z.SelectOne->text(), QStringLiteral("5段階評価  （最低1～最高5）"));
        QCOMPARE(z.Thanks[2]->text(), QStringLiteral("※評価データ以外が送信されることはありません。"));
        QCOMPARE(z.VoteBaseAddress, info::BuildVoteBaseAddress());
        QCOMPARE(z.ZELVOIcon->pixmap().size(), QSize(32, 32));
        QVERIFY(z.windowIcon().pixmap(32, 32).toImage() != f_mainIcon());
        QCOMPARE(z.Vote->nextInFocusChain(), z.Submit);
    }

    void cancelledConfirmationChangesNothing()
    {
        forms::ScriptedPlatform platform;
        ZELVO z(platform);
        z.Vote->setCurrentIndex(4);
        platform.msgBoxAnswers.push_back(forms::vbCancel);
        z.Submit_Click();
        QCOMPARE(platform.msgBoxes.size(), 1);
        QCOMPARE(platform.msgBoxes.at(0).prompt, QStringLiteral("送信してもよろしいですか？"));
        QCOMPARE(platform.msgBoxes.at(0).style, 289);
        QCOMPARE(platform.msgBoxes.at(0).title, QStringLiteral("確認"));
        QVERIFY(platform.httpGets.isEmpty());
        QCOMPARE(z.Vote->currentIndex(), 4);
        QVERIFY(z.Vote->isEnabled() && z.Submit->isEnabled() && z.Reset->isEnabled());
        QCOMPARE(z.Submit->text(), QStringLiteral("送信(&S)"));
    }

    void send_data()
    {
        QTest::addColumn<int>("choice"); // -1: untouched
        QTest::addColumn<int>("rating");
        QTest::newRow("untouched sends 3") << -1 << 3;
        QTest::newRow("1-だめだこりゃ sends 1") << 0 << 1;
        QTest::newRow("4-結構ナイス sends 4") << 3 << 4;
        QTest::newRow("5-パーフェクト sends 5") << 4 << 5;
    }
    void send()
    {
        QFETCH(int, choice);
        QFETCH(int, rating);
        forms::ScriptedPlatform platform;
        ZELVO z(platform);
        z.show();
        QVERIFY(QTest::qWaitForWindowExposed(&z));
        if (choice >= 0)
            z.Vote->setCurrentIndex(choice);
        // The Sending state is on screen for the whole pause.
        PaintedButton painted(z.Submit);
        platform.onSleep = [&] {
            QCOMPARE(painted.text, QStringLiteral("お待ちください"));
            QVERIFY(!painted.enabled);
            QVERIFY(!z.Vote->isEnabled() && !z.Submit->isEnabled() && !z.Reset->isEnabled());
        };
        QTest::mouseClick(z.Submit, Qt::LeftButton);
        QCOMPARE(platform.httpGets,
                 QList<QUrl>{QUrl(info::BuildVoteBaseAddress() + QStringLiteral("?mode=vote&no=0&namber=") +
                                  QString::number(rating))});
        QCOMPARE(platform.httpGets.at(0).toString(),
                 QStringLiteral("http://velmorasw.test/zelvo/votes.cgi?mode=vote&no=0&namber=") +
                     QString::number(rating));
        QCOMPARE(platform.sleeps, QList<int>{2000});
        QCOMPARE(platform.msgBoxes.size(), 2);
        QCOMPARE(platform.msgBoxes.at(1).prompt, QStringLiteral("ご協力ありがとうございました！"));
        QCOMPARE(platform.msgBoxes.at(1).style, 64);
        QCOMPARE(platform.msgBoxes.at(1).title, QStringLiteral("完了"));
        QVERIFY(isDone(z));
        QCOMPARE(z.Submit->text(), QStringLiteral("お待ちください"));
        QTest::keyClick(&z, Qt::Key_Return);
        QVERIFY(!z.isVisible());
    }

    void noteShowsWhole()
    {
        forms::ScriptedPlatform platform;
        ZELVO z(platform);
        QLabel *note = z.Thanks[2];
        QVERIFY(note->heightForWidth(note->width()) <= note->height());
        QVERIFY(note->geometry().right() < 355);
    }

    void ratingWindowClosesWithEsc()
    {
        forms::ScriptedPlatform platform;
        ZELVO z(platform);
        z.show();
        QVERIFY(QTest::qWaitForWindowExposed(&z));
        QTest::keyClick(&z, Qt::Key_Escape);
        QVERIFY(!z.isVisible());
        QVERIFY(platform.msgBoxes.isEmpty());
    }

    void menuOpensFreshWindows()
    {
        MainFixture f;
        QStringList seen;
        auto closeActive = [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal) {
                seen << modal->windowTitle();
                if (auto *z = qobject_cast<ZELVO *>(modal))
                    seen << z->Vote->currentText();
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        };
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(50, closeActive);
            action(f.w, "CmdSoftwareVote")->trigger();
        }
        QTimer::singleShot(50, closeActive);
        action(f.w, "CmdShowVersionInfo")->trigger();
        QCOMPARE(seen, (QStringList{"[ZELVO] Velmora Software Vote System", "3-妥当・普通",
                                    "[ZELVO] Velmora Software Vote System", "3-妥当・普通", "Sketrin Ver2.0"}));
    }

    // The real request, against a server on this machine.
    void requestArrives()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *s = server.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [&received, s] {
                received += s->readAll();
                if (received.contains("\r\n\r\n"))
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            });
        });
        NetPlatform platform;
        const QString base = QStringLiteral("http://127.0.0.1:%1/zelvo/votes.cgi").arg(server.serverPort());
        ZELVO z(platform, nullptr, base);
        z.Vote->setCurrentIndex(0);
        z.Submit_Click();
        QVERIFY(isDone(z));
        QTRY_VERIFY_WITH_TIMEOUT(received.contains("\r\n\r\n"), 30000);
        QVERIFY2(received.startsWith("GET /zelvo/votes.cgi?mode=vote&no=0&namber=1 HTTP/1.1\r\n"),
                 received.constData());
    }

    void unansweredOrRefusedRequestsAreSilent_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("refused") << false;
        QTest::newRow("never answers") << true;
    }
    void unansweredOrRefusedRequestsAreSilent()
    {
        QFETCH(bool, listening);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        if (!listening)
            server.close();
        NetPlatform platform;
        {
            ZELVO z(platform, nullptr, QStringLiteral("http://127.0.0.1:%1/v.cgi").arg(port));
            z.Submit_Click();
            QVERIFY(isDone(z));
            QTest::qWait(300);
            QCOMPARE(platform.msgBoxes.size(), 2); // confirmation and thanks only
        }
        if (listening)
            QTRY_VERIFY(server.hasPendingConnections() || server.isListening());
    }

private:
    static QImage f_mainIcon();
};

QImage TestInfo::f_mainIcon()
{
    return QIcon(QStringLiteral(":/resources/app32.xpm")).pixmap(32, 32).toImage();
}

QTEST_MAIN(TestInfo)
#include "tst_info.moc"
