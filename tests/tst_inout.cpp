// Pictures in and out: opening a file given on the command line or dropped,
// pasting, saving and copying what the surface shows.
#include "MainFixture.h"
#include "TestSupport.h"

#include "forms/ScratchFolder.h"
#include "imaging/PictureSave.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeData>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing;

class TestInOut : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString red;

    static QUrl url(const QString &path) { return QUrl::fromLocalFile(path); }

private slots:
    void initTestCase()
    {
        red = dir.filePath(QStringLiteral("red.bmp"));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(255, 0, 0));
        QVERIFY(image.save(red));
    }

    void openingAFile_data()
    {
        QTest::addColumn<QString>("name"); // under the temporary folder; empty: the red picture
        QTest::addColumn<bool>("loads");
        QTest::newRow("a picture") << QString() << true;
        QTest::newRow("missing") << "missing.bmp" << false;
        QTest::newRow("a folder") << "." << false;
        QTest::newRow("a named pipe") << "pipe" << false;
        QTest::newRow("not a picture") << "notes.txt" << false;
    }
    void openingAFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, loads);
        const QString path = name.isEmpty() ? red : dir.filePath(name);
        if (name == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 || QFile::exists(path), true);
        if (name == QLatin1String("notes.txt")) {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("hello");
        }
        MainFixture f;
        f.w->LoadPictureFile(path);
        QCOMPARE(f.w->tools().pictureLoaded(), loads);
        QCOMPARE(f.surface().pixel(5, 5), loads ? qRgb(255, 0, 0) : White);
        QCOMPARE(f.platform.msgBoxes.size(), loads ? 0 : 1);
        if (!loads)
            QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
        QCOMPARE(f.w->commonDialog().FileName, path); // the scale commands read it
    }

    void drops_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("loads");
        QTest::newRow("one picture") << QList<QUrl>{url(red)} << QString() << true;
        QTest::newRow("two files") << QList<QUrl>{url(red), url(red)} << QString() << false;
        QTest::newRow("a folder") << QList<QUrl>{url(dir.path())} << QString() << false;
        QTest::newRow("text") << QList<QUrl>{} << QStringLiteral("hello") << false;
    }
    void drops()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(bool, loads);
        MainFixture f;
        QMimeData data;
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (!text.isEmpty())
            data.setText(text);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(f.w.get(), &enter);
        QCOMPARE(enter.isAccepted(), loads);
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(f.w.get(), &drop);
        QCOMPARE(f.w->tools().pictureLoaded(), loads);
        QVERIFY(f.platform.msgBoxes.isEmpty());
    }

    void paste_data()
    {
        QTest::addColumn<QString>("holds");
        QTest::addColumn<int>("message"); // style of the message, 0 for none
        QTest::newRow("a picture") << "image" << 0;
        QTest::newRow("a picture file") << "file" << 0;
        QTest::newRow("nothing") << "nothing" << 64;
        QTest::newRow("a file that is no picture") << "text file" << 16;
    }
    void paste()
    {
        QFETCH(QString, holds);
        QFETCH(int, message);
        MainFixture f;
        QImage green(60, 40, QImage::Format_RGB32);
        green.fill(qRgb(0, 200, 0));
        if (holds == QLatin1String("image"))
            f.platform.clipboardContent = {green, {}};
        else if (holds == QLatin1String("file"))
            f.platform.clipboardContent = {{}, {url(red)}};
        else if (holds == QLatin1String("text file"))
            f.platform.clipboardContent = {{}, {url(QFINDTESTDATA("tst_inout.cpp"))}};
        f.w->CmdPicPaste_Click();
        QCOMPARE(f.w->tools().pictureLoaded(), message == 0);
        if (message) {
            QCOMPARE(f.platform.msgBoxes.size(), 1);
            QCOMPARE(f.platform.msgBoxes.at(0).style, message);
            QCOMPARE(f.platform.msgBoxes.at(0).title, QStringLiteral("Sketrin"));
            if (message == 64)
                QCOMPARE(f.platform.msgBoxes.at(0).prompt, QStringLiteral("クリップボードに画像がありません"));
            return;
        }
        QVERIFY(f.platform.msgBoxes.isEmpty());
        // Loaded like a file, so that the scale commands work on it.
        QCOMPARE(f.surface().pixel(5, 5), holds == QLatin1String("image") ? qRgb(0, 200, 0) : qRgb(255, 0, 0));
        const QString file = f.w->commonDialog().FileName;
        f.w->CmdPicRatio_Click(3);
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(f.surface().pixel(50, 40), holds == QLatin1String("image") ? qRgb(0, 200, 0) : qRgb(255, 0, 0));
        if (holds == QLatin1String("image")) {
            f.w.reset(); // the pasted files go with the program
            QVERIFY(!QFileInfo::exists(file));
        }
    }

    void screenCapture_data()
    {
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("midDrag");
        QTest::newRow("taken") << true << false;
        QTest::newRow("not taken") << false << false;
        // The button comes up while the window is away: the stroke ends first.
        QTest::newRow("started mid-drag") << false << true;
    }
    void screenCapture()
    {
        QFETCH(bool, taken);
        QFETCH(bool, midDrag);
        MainFixture f;
        f.drag({300, 20}, {320, 40});
        if (midDrag)
            f.press(100, 100);
        const QImage before = f.surface();
        const QRect place = f.w->geometry();
        QImage screen(200, 100, QImage::Format_RGB32);
        screen.fill(qRgb(20, 40, 60));
        if (taken)
            f.platform.captureAnswers.push_back(screen);
        f.w->CmdScreenCapture_Click();
        QCOMPARE(f.platform.captures, 1);
        QVERIFY(f.platform.pointerHistory.contains(forms::vbHourglass));
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.w->geometry(), place);
        if (!taken) {
            QCOMPARE(f.platform.msgBoxes.size(), 1);
            QCOMPARE(f.platform.msgBoxes.at(0).prompt, QStringLiteral("画面を取り込めませんでした。"));
            QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
            QCOMPARE(f.platform.msgBoxes.at(0).title, QStringLiteral("Sketrin"));
            QCOMPARE(f.surface(), before);
            QVERIFY(!f.w->tools().pictureLoaded());
            f.move(200, 150); // hovering afterwards draws nothing
            QCOMPARE(f.surface(), before);
            return;
        }
        // Loaded as a pasted picture: at its natural size, and read again by the
        // scale commands.
        QVERIFY(f.w->tools().pictureLoaded());
        QCOMPARE(f.surface().pixel(199, 99), qRgb(20, 40, 60));
        QCOMPARE(f.surface().pixel(200, 100), White);
        f.w->CmdPicRatio_Click(3);
        QCOMPARE(f.surface().pixel(399, 199), qRgb(20, 40, 60));
    }

    // Pictures without a file of their own (pasted, captured, handed back by the
    // drawing mode) count against the history's budget with everything else a
    // step keeps, and their files go as soon as no step needs them.
    void picturesWithoutAFileStayWithinTheBudget_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("paste") << "paste";
        QTest::newRow("capture") << "capture";
        QTest::newRow("drawing mode") << "mode";
    }
    void picturesWithoutAFileStayWithinTheBudget()
    {
        QFETCH(QString, how);
        QTemporaryDir temp;
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        auto files = [&] {
            int n = 0;
            for (const QString &folder : QDir(temp.path()).entryList({QStringLiteral("sketrin-*")}, QDir::Dirs))
                n += QDir(temp.filePath(folder)).entryList(QDir::Files).size();
            return n;
        };
        {
            MainFixture f;
            const qint64 budget = qint64(8) << 20;
            f.w->history().setBudget(budget);
            for (int i = 0; i < 12; ++i) {
                QImage picture(800, 600, QImage::Format_RGB32); // 1.8 MiB
                picture.fill(qRgb(i * 20, 100, 200));
                if (how == QLatin1String("paste")) {
                    f.platform.clipboardContent = {picture, {}};
                    f.w->CmdPicPaste_Click();
                } else {
                    f.platform.captureAnswers.push_back(picture);
                    if (how == QLatin1String("capture")) {
                        f.w->CmdScreenCapture_Click();
                    } else {
                        f.w->CmdDrawOnScreen_Click();
                        f.w->CmdDrawOnScreen_Click();
                    }
                }
                QCOMPARE(f.surface().pixel(5, 5), picture.pixel(5, 5));
            }
            QVERIFY(f.platform.msgBoxes.isEmpty());
            QVERIFY(f.w->history().bytes() <= budget);
            int undos = 0;
            while (f.w->history().canUndo() && undos < 20) {
                f.w->CmdUndo_Click();
                ++undos;
            }
            QVERIFY2(undos >= 1 && undos <= 2, qPrintable(QString::number(undos)));
            QVERIFY2(files() <= undos + 2, qPrintable(QString::number(files())));
        }
        QCOMPARE(files(), 0);
        qputenv("TMPDIR", oldTemp);
    }

    // The folders of pictures without a file that a run which died left behind
    // are removed by the next; a live run's, another name's and a file stay.
    void leftoversOfDeadRuns()
    {
        QTemporaryDir temp;
        const pid_t child = fork();
        if (child == 0)
            _exit(0);
        QVERIFY(child > 0);
        waitpid(child, nullptr, 0);
        const QString dead = QStringLiteral("sketrin-%1-AbC123").arg(child);
        const QString alive = QStringLiteral("sketrin-%1-AbC123").arg(QCoreApplication::applicationPid());
        const QStringList stay = {alive, QStringLiteral("sketrin-notapid-AbC123"), QStringLiteral("other-1-AbC123")};
        for (const QString &name : QStringList{dead} + stay) {
            QVERIFY(QDir(temp.path()).mkpath(name + QStringLiteral("/inner")));
            QFile file(temp.filePath(name + QStringLiteral("/paste-1.png")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile(temp.filePath(QStringLiteral("sketrin-1-AbC123"))).open(QIODevice::WriteOnly)); // a file
        QCOMPARE(forms::ScratchFolder::removeLeftovers(temp.path()), 1);
        QVERIFY(!QFileInfo::exists(temp.filePath(dead)));
        for (const QString &name : stay)
            QVERIFY(QFileInfo(temp.filePath(name + QStringLiteral("/paste-1.png"))).isFile());
    }

    void saveWritesWholeOrNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("nullImage");
        QTest::addColumn<QByteArray>("format"); // written; empty when the save fails
        QTest::newRow("png") << "a.png" << false << QByteArray("png");
        QTest::newRow("no ending: no type to write") << "plain" << false << QByteArray();
        QTest::newRow("jpeg") << "a.JPG" << false << QByteArray("jpeg");
        QTest::newRow("bmp") << "a.bmp" << false << QByteArray("bmp");
        QTest::newRow("a folder that vanished") << "gone/a.png" << false << QByteArray();
        QTest::newRow("failed write keeps the old file") << "old.png" << true << QByteArray();
    }
    void saveWritesWholeOrNothing()
    {
        QFETCH(QString, name);
        QFETCH(bool, nullImage);
        QFETCH(QByteArray, format);
        const QString path = dir.filePath(name);
        QFile::remove(path);
        if (name == QLatin1String("old.png")) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(qRgb(0, 0, 255));
        const QString error = imaging::savePicture(nullImage ? QImage() : image, path);
        QCOMPARE(error.isEmpty(), !format.isEmpty());
        if (format.isEmpty()) {
            if (name == QLatin1String("old.png")) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), QByteArray("old contents"));
            }
            QVERIFY(name == QLatin1String("old.png") || !QFileInfo::exists(path));
            QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.png.*"), QStringLiteral("old.*")}),
                     name == QLatin1String("old.png") ? QStringList{QStringLiteral("old.png")} : QStringList{});
            return;
        }
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        const QRgb p = reader.read().pixel(5, 5);
        QVERIFY(qBlue(p) >= 250 && qRed(p) <= 4 && qGreen(p) <= 4); // JPEG is near
    }

    // The type follows the name; a name whose type cannot be written becomes a
    // PNG named so, and a file of that name is replaced only if the user agrees.
    void saveFollowsTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("replace"); // the answer when asked, 0 when not asked
        QTest::newRow(".jpe") << "a.jpe"
                              << "a.jpe" << QByteArray("jpeg") << 0;
        QTest::newRow(".tif") << "a.tif"
                              << "a.tif" << QByteArray("tiff") << 0;
        QTest::newRow(".gif cannot be written") << "a.gif"
                                                << "a.gif.png" << QByteArray("png") << 0;
        QTest::newRow(".txt") << "notes.txt"
                              << "notes.txt.png" << QByteArray("png") << 0;
        QTest::newRow("replacing agreed") << "b.gif"
                                          << "b.gif.png" << QByteArray("png") << int(forms::vbOK);
        QTest::newRow("replacing refused") << "c.gif"
                                           << "c.gif.png" << QByteArray() << int(forms::vbCancel);
    }
    void saveFollowsTheName()
    {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(QByteArray, format);
        QFETCH(int, replace);
        const QString target = dir.filePath(written);
        QFile::remove(dir.filePath(name));
        QFile::remove(target);
        if (replace) {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        MainFixture f;
        f.platform.msgBoxAnswers.push_back(replace ? replace : int(forms::vbOK));
        f.platform.saveAnswers.push_back(dir.filePath(name));
        f.w->CmdPicSave_Click();
        QCOMPARE(f.platform.msgBoxes.size(), replace ? 1 : 0);
        if (written != name)
            QVERIFY(!QFileInfo::exists(dir.filePath(name)));
        QImageReader reader(target);
        QCOMPARE(reader.format(), format.isEmpty() ? QByteArray() : format);
        if (format.isEmpty()) {
            QFile old(target);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old contents"));
        }
    }

    // A picture too large to take in: the message names what the user did, not
    // a file that was never written.
    void oversizedPictureWithoutFile_data()
    {
        QTest::addColumn<bool>("capture");
        QTest::addColumn<QString>("named");
        QTest::newRow("paste") << false << QStringLiteral("クリップボードの画像");
        QTest::newRow("capture") << true << QStringLiteral("取り込んだ画面");
    }
    void oversizedPictureWithoutFile()
    {
        QFETCH(bool, capture);
        QFETCH(QString, named);
        MainFixture f;
        const QImage huge(9000, 8000, QImage::Format_RGB32); // 275 MB, never touched
        QVERIFY(!huge.isNull());
        if (capture) {
            f.platform.captureAnswers.push_back(huge);
            f.w->CmdScreenCapture_Click();
        } else {
            f.platform.clipboardContent = {huge, {}};
            f.w->CmdPicPaste_Click();
        }
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).prompt, QStringLiteral("画像を読み込めませんでした。\r\n") + named);
        QVERIFY(!f.w->tools().pictureLoaded());
    }

    void saveAndCopyCommands()
    {
        MainFixture f;
        f.w->LoadPictureFile(red);
        f.drag({100, 100}, {200, 150});
        const QString path = dir.filePath(QStringLiteral("saved.png"));
        f.platform.saveAnswers.push_back(path);
        f.w->CmdPicSave_Click();
        QCOMPARE(f.platform.saveDialogFilters.size(), 1);
        QVERIFY(f.platform.saveDialogFilters.at(0).startsWith(QStringLiteral("PNG")));
        const QImage saved(path);
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), f.surface());
        f.w->CmdPicSave_Click(); // cancelled: nothing
        QCOMPARE(f.platform.msgBoxes.size(), 0);
        f.platform.saveAnswers.push_back(dir.filePath(QStringLiteral("gone/x.png")));
        f.w->CmdPicSave_Click();
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
        QVERIFY(f.platform.msgBoxes.at(0).prompt.contains(QStringLiteral("gone")));
        f.w->CmdScreenCopy_Click();
        QCOMPARE(f.platform.copiedImages.size(), 1);
        QCOMPARE(f.platform.copiedImages.at(0).convertToFormat(QImage::Format_RGB32), f.surface());
    }
};

QTEST_MAIN(TestInOut)
#include "tst_inout.moc"
