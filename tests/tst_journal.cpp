// The journal: written whole or not at all, one to a running program, found
// again after a program that was killed, set aside when damaged, and offered
// back by the main window at start.
#include "MainFixture.h"
#include "TestSupport.h"

#include "journal/Journal.h"
#include "present/DrawingWindow.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstdio>

using namespace testing;

namespace {

// Frame 0 is plain; later frames are noise, slow to encode, so that a kill
// lands inside a write. The first pixel says which frame a picture is.
QImage frame(int index, QSize size = QSize(1200, 900))
{
    QImage image(size, QImage::Format_RGB32);
    if (index == 0) {
        image.fill(qRgb(200, 30, 30));
    } else {
        QRandomGenerator random{quint32(index)};
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
            random.fillRange(line, size.width());
            for (int x = 0; x < size.width(); ++x)
                line[x] |= 0xFF000000u;
        }
    }
    image.setPixel(0, 0, qRgb(index & 0xFF, (index >> 8) & 0xFF, 7));
    return image;
}

QImage plain(const QImage &image)
{
    QImage copy = image.convertToFormat(QImage::Format_RGB32);
    copy.setDevicePixelRatio(1);
    return copy;
}

QStringList journalFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("journal-*")}, QDir::Files | QDir::System | QDir::Hidden);
}

// A journal that a run left behind: written, and its program gone.
QString leaveJournal(const QString &folder, const QImage &image)
{
    journal::Journal run(folder);
    if (!run.open())
        return {};
    run.write(image);
    run.flush();
    return run.path();
}

// Another program with a journal of its own: this test binary again, which
// writes frame 0 and says where, then keeps writing noise frames (or waits)
// until it is killed.
struct OtherRun
{
    QProcess process;
    QString path;

    OtherRun(const QString &folder, bool keepWriting)
    {
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--journal-run"), folder, keepWriting ? QStringLiteral("write") : QString()});
        // The child answers in milliseconds; the watchdog only ends a hang.
        const Watchdog dog(60, "the other run's start");
        while (!process.canReadLine() && process.state() != QProcess::NotRunning)
            process.waitForReadyRead(1000);
        path = QString::fromUtf8(process.readLine()).trimmed();
    }
    void kill()
    {
        process.kill();
        process.waitForFinished(30000);
    }
    ~OtherRun()
    {
        if (process.state() != QProcess::NotRunning)
            kill();
    }
};

int journalRun(const QString &folder, bool keepWriting)
{
    journal::Journal run(folder);
    if (!run.open())
        return 1;
    run.write(frame(0));
    run.flush();
    std::printf("%s\n", qPrintable(run.path()));
    std::fflush(stdout);
    for (int i = 1;; ++i) {
        if (keepWriting) {
            run.write(frame(i));
            run.flush();
        } else {
            QThread::sleep(1);
        }
    }
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv("SKETRIN_NO_JOURNAL"); }

    void roundTrip_data()
    {
        QTest::addColumn<QImage>("image");
        QImage small = frame(0, QSize(64, 48));
        QImage scaled = frame(3, QSize(300, 200));
        scaled.setDevicePixelRatio(2);
        QImage odd = frame(5, QSize(1, 1));
        odd.setDevicePixelRatio(1.5);
        QTest::newRow("plain") << small;
        QTest::newRow("noise, at a scale of 2") << scaled;
        QTest::newRow("one pixel, at a scale of 1.5") << odd;
    }
    void roundTrip()
    {
        QFETCH(QImage, image);
        QTemporaryDir dir;
        const QString path = leaveJournal(dir.path(), image);
        QVERIFY(!path.isEmpty());
        QVERIFY(path.startsWith(dir.path()));
        journal::Journal next(dir.path());
        QVERIFY(next.open());
        auto found = next.leftOvers();
        QCOMPARE(int(found.size()), 1);
        QCOMPARE(found[0]->path(), path);
        const QImage read = found[0]->read();
        QCOMPARE(plain(read), plain(image));
        QCOMPARE(read.devicePixelRatio(), image.devicePixelRatio());
    }

    // A program killed while it writes leaves a whole journal behind: the one
    // before, or the one it was writing.
    void killedWhileWriting_data()
    {
        QTest::addColumn<int>("afterMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("after 40 ms") << 40;
        QTest::newRow("after 150 ms") << 150;
        QTest::newRow("after 400 ms") << 400;
    }
    void killedWhileWriting()
    {
        QFETCH(int, afterMs);
        QTemporaryDir dir;
        {
            OtherRun other(dir.path(), true);
            QVERIFY(QFileInfo::exists(other.path));
            QThread::msleep(afterMs);
            other.kill();
        }
        journal::Journal next(dir.path());
        QVERIFY(next.open());
        auto found = next.leftOvers();
        QCOMPARE(int(found.size()), 1);
        const QImage read = plain(found[0]->read());
        QVERIFY2(!read.isNull(), "the journal was damaged by the kill");
        const int index = qRed(read.pixel(0, 0)) + (qGreen(read.pixel(0, 0)) << 8);
        QCOMPARE(read, frame(index));
        // Deciding on it clears what the killed write left.
        found[0]->discard();
        found.clear();
        QCOMPARE(journalFiles(dir.path()), QStringList{QFileInfo(next.path()).fileName().replace(".png", ".lock")});
    }

    // Programs running at once each have their own, and never offer another's.
    void runsDoNotShare_data()
    {
        QTest::addColumn<bool>("otherProcess");
        QTest::newRow("in this process") << false;
        QTest::newRow("in another process") << true;
    }
    void runsDoNotShare()
    {
        QFETCH(bool, otherProcess);
        QTemporaryDir dir;
        std::unique_ptr<OtherRun> otherRun;
        auto sameProcess = std::make_unique<journal::Journal>(dir.path());
        QString otherPath;
        if (otherProcess) {
            otherRun = std::make_unique<OtherRun>(dir.path(), false);
            otherPath = otherRun->path;
        } else {
            QVERIFY(sameProcess->open());
            sameProcess->write(frame(0, QSize(10, 10)));
            sameProcess->flush();
            otherPath = sameProcess->path();
        }
        QVERIFY(QFileInfo::exists(otherPath));
        journal::Journal mine(dir.path());
        QVERIFY(mine.open());
        QVERIFY(mine.path() != otherPath);
        QVERIFY(mine.leftOvers().empty());
        // Once the other is gone, what it left is offered.
        if (otherProcess)
            otherRun->kill();
        else
            sameProcess.reset();
        auto found = mine.leftOvers();
        QCOMPARE(int(found.size()), 1);
        QCOMPARE(found[0]->path(), otherPath);
        // Held while this run decides: a third run does not see it.
        journal::Journal third(dir.path());
        QVERIFY(third.open());
        QVERIFY(third.leftOvers().empty());
    }

    // A lock that names no owner was cut short by a power cut; a fresh one may
    // belong to a program that is starting.
    void lockWithoutOwner_data()
    {
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("offered");
        QTest::newRow("from before, offered") << 3600 << true;
        QTest::newRow("fresh, left alone") << 0 << false;
    }
    void lockWithoutOwner()
    {
        QFETCH(int, ageSeconds);
        QFETCH(bool, offered);
        QTemporaryDir dir;
        const QString path = leaveJournal(dir.path(), frame(0, QSize(8, 8)));
        QFile lock(path.chopped(4) + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("\0\0", 2);
        lock.flush();
        lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime);
        lock.close();
        journal::Journal next(dir.path());
        QVERIFY(next.open());
        QCOMPARE(next.leftOvers().size(), size_t(offered));
    }

    void damagedIsSetAside_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("cut short") << "truncate";
        QTest::newRow("last byte lost") << "lastbyte";
        QTest::newRow("empty") << "empty";
        QTest::newRow("not a picture") << "text";
    }
    void damagedIsSetAside()
    {
        QFETCH(QString, damage);
        Watchdog watchdog(60, "reading a damaged journal");
        QTemporaryDir dir;
        const QString path = leaveJournal(dir.path(), frame(2, QSize(200, 150)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        if (damage == "truncate")
            file.resize(size / 2);
        else if (damage == "lastbyte")
            file.resize(size - 1);
        else if (damage == "empty")
            file.resize(0);
        else if (damage == "text")
            file.resize(0), file.write("not a picture at all, but long enough to read");
        file.close();
        journal::Journal next(dir.path());
        QVERIFY(next.open());
        auto found = next.leftOvers();
        QCOMPARE(int(found.size()), 1);
        QVERIFY(found[0]->read().isNull());
        QCOMPARE(found[0]->setAsidePath(), path + ".damaged");
        QVERIFY(!QFileInfo::exists(path));
        found.clear();
        QVERIFY(QFileInfo(path + ".damaged").exists());
        // Never offered again, and kept.
        journal::Journal later(dir.path());
        QVERIFY(later.open());
        QVERIFY(later.leftOvers().empty());
        QVERIFY(QFileInfo(path + ".damaged").exists());
    }

    void turnedOff_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("kept");
        QTest::newRow("1: off") << QByteArray("1") << false;
        QTest::newRow("0: on") << QByteArray("0") << true;
    }
    void turnedOff()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString left = leaveJournal(dir.path(), frame(0, QSize(8, 8)));
        qputenv("SKETRIN_NO_JOURNAL", value);
        const QString folder = dir.filePath(QStringLiteral("state/sketrin"));
        journal::Journal run(folder);
        QCOMPARE(run.open(), kept);
        QCOMPARE(QFileInfo(folder).isDir(), kept);
        journal::Journal beside(dir.path());
        QCOMPARE(beside.leftOvers().size(), size_t(kept));
        QVERIFY(QFileInfo::exists(left));
        if (kept)
            QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions()); // the user's alone
    }

    // The exit the user chose takes the journal and its lock away.
    void chosenExitRemovesIt()
    {
        QTemporaryDir dir;
        journal::Journal run(dir.path());
        QVERIFY(run.open());
        run.write(frame(1, QSize(300, 300)));
        run.remove();
        QVERIFY(journalFiles(dir.path()).isEmpty());
        run.write(frame(0, QSize(8, 8))); // nothing more is written
        QThread::msleep(50);
        QVERIFY(journalFiles(dir.path()).isEmpty());
    }

    // --- The main window ------------------------------------------------------------

    void startOffersTheLeftOver_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("yes: restored, one step to undo") << int(forms::vbYes) << false;
        QTest::newRow("no: discarded") << int(forms::vbNo) << false;
        QTest::newRow("damaged: not offered") << int(forms::vbYes) << true;
    }
    void startOffersTheLeftOver()
    {
        QFETCH(int, answer);
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        QImage picture = frame(4, QSize(120, 80));
        const QString left = leaveJournal(dir.path(), picture);
        if (damaged) {
            QFile file(left);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() / 3));
        }
        MainFixture f;
        f.platform.msgBoxAnswers.push_back(answer);
        f.w->startJournal(dir.path());
        QCOMPARE(f.platform.msgBoxes.size(), damaged ? 0 : 1);
        QCOMPARE(f.w->history().canUndo(), answer == forms::vbYes && !damaged);
        if (!damaged) {
            const auto &box = f.platform.msgBoxes[0];
            QCOMPARE(box.prompt, QStringLiteral("前回の描画が残っています。復元しますか?"));
            QCOMPARE(box.title, QStringLiteral("Sketrin"));
            QCOMPARE(box.style & 0x7, int(forms::vbYesNo));
            QVERIFY(!(box.style & forms::vbDefaultButton2)); // はい is the default
        }
        if (answer == forms::vbYes && !damaged) {
            QCOMPARE(plain(f.surface().copy(0, 0, 120, 80)), picture);
            QVERIFY(f.w->tools().pictureLoaded());
            f.w->CmdUndo_Click();
            QCOMPARE(countPixels(f.surface(), qRgb(255, 255, 255)), f.surface().width() * f.surface().height());
        } else {
            QCOMPARE(countPixels(f.surface(), qRgb(255, 255, 255)), f.surface().width() * f.surface().height());
        }
        // Asked once: a second start finds nothing to offer, whatever the answer.
        MainFixture again;
        again.w->startJournal(dir.path());
        QVERIFY(again.platform.msgBoxes.isEmpty());
        QCOMPARE(QFileInfo::exists(left + ".damaged"), damaged);
    }

    // What the window shows is written after a change, never halfway through a
    // stroke, and goes when the user closes the window.
    void keepsWhatIsShown()
    {
        QTemporaryDir dir;
        MainFixture f;
        f.w->startJournal(dir.path());
        f.drag({10, 20}, {100, 20});
        f.press(10, 60);
        f.move(100, 60); // the button stays down past the delay
        QTest::qWait(3000);
        QCOMPARE(written(dir.path()), QImage());
        f.release(100, 60);
        // Due while the pen was down, it is written once the pen is up, without
        // waiting for the delay again: no timer of the window runs meanwhile.
        QCoreApplication::processEvents();
        const QImage shown = plain(f.w->surface().visibleImage());
        {
            const Watchdog dog(20, "writing the journal once the pen is up");
            while (written(dir.path()) != shown)
                QThread::msleep(20);
        }
        QCOMPARE(written(dir.path()), shown);
        // Both strokes, the second whole.
        QVERIFY(countPixels(written(dir.path()), qRgb(0, 0, 0), QRect(0, 19, 200, 3)) > 80);
        QVERIFY(countPixels(written(dir.path()), qRgb(0, 0, 0), QRect(0, 59, 200, 3)) > 80);
        f.w->close();
        QVERIFY(journalFiles(dir.path()).isEmpty());
    }

    // In the drawing mode the page with its marks is kept, and a text being
    // typed goes on being typed.
    void keepsTheDrawingMode()
    {
        QTemporaryDir dir;
        MainFixture f;
        f.w->startJournal(dir.path());
        f.platform.captureAnswers.push_back(frame(0, QSize(320, 200)));
        f.w->enterDrawingMode();
        present::DrawingWindow *mode = f.w->drawingWindow();
        QVERIFY(mode && QTest::qWaitForWindowExposed(mode));
        QTest::mousePress(mode, Qt::LeftButton, {}, QPoint(40, 100));
        QTest::mouseMove(mode, QPoint(200, 100));
        QTest::mouseRelease(mode, Qt::LeftButton, {}, QPoint(200, 100));
        QTest::mouseMove(mode, QPoint(60, 150));
        QTest::keyClick(mode, Qt::Key_T);
        QTest::keyClicks(mode, QStringLiteral("ab"));
        QVERIFY(mode->document().typing());
        QTRY_COMPARE_WITH_TIMEOUT(written(dir.path()), plain(mode->document().showing()), 20000);
        QVERIFY(mode->document().typing());
        QVERIFY(countPixels(written(dir.path()), qRgb(0, 0, 0), QRect(40, 95, 160, 10)) > 100);
    }

private:
    static QImage written(const QString &folder)
    {
        const QStringList pictures = QDir(folder).entryList({QStringLiteral("journal-*.png")}, QDir::Files);
        return pictures.size() == 1 ? plain(QImage(QDir(folder).filePath(pictures[0]))) : QImage();
    }
};

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--journal-run") == 0) {
        QCoreApplication app(argc, argv);
        return journalRun(QString::fromLocal8Bit(argv[2]), argc >= 4 && qstrcmp(argv[3], "write") == 0);
    }
    QApplication app(argc, argv);
    TestJournal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
