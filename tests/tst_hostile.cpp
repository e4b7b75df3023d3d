// Files built to break the picture path. Whatever the user picks, the program
// answers within a second, keeps its memory bounded, and loses nothing.
#include "MainFixture.h"
#include "PictureFixtures.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing;

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const QString Unreadable = QStringLiteral("画像を読み込めませんでした。\r\n");

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString make(const QString &kind)
    {
        const QByteArray jpeg = encode(quadrants(64, 64), "jpeg", 90);
        auto file = [&](const QString &name, const QByteArray &bytes) {
            const QString path = dir.filePath(name);
            writeFile(path, bytes);
            return path;
        };
        if (kind == QLatin1String("truncated jpeg"))
            return file(QStringLiteral("t.jpg"), jpeg.left(jpeg.size() / 3));
        if (kind == QLatin1String("broken huffman table"))
            return file(QStringLiteral("h.jpg"), jpegWithBrokenHuffman(jpeg));
        if (kind == QLatin1String("jpeg declaring 65500 x 65500"))
            return file(QStringLiteral("big.jpg"), jpegDeclaring(jpeg, 65500, 65500));
        if (kind == QLatin1String("bmp size overflowing 32 bits"))
            return file(QStringLiteral("o.bmp"), bmp(70000, 70000, 32, 0, {}, QByteArray(64, 0)));
        if (kind == QLatin1String("bmp negative width"))
            return file(QStringLiteral("n.bmp"), bmp(-5, 4, 24, 0, {}, QByteArray(64, 0)));
        if (kind == QLatin1String("bmp zero width"))
            return file(QStringLiteral("z.bmp"), bmp(0, 4, 24, 0, {}, QByteArray(64, 0)));
        if (kind == QLatin1String("palette of 2^31 entries"))
            return file(QStringLiteral("p.bmp"), hugePalette());
        if (kind == QLatin1String("empty file"))
            return file(QStringLiteral("e.jpg"), QByteArray());
        if (kind == QLatin1String("text named .jpg"))
            return file(QStringLiteral("readme.jpg"), "Just some words.\n");
        if (kind == QLatin1String("directory")) {
            QDir().mkpath(dir.filePath(QStringLiteral("d.jpg")));
            return dir.filePath(QStringLiteral("d.jpg"));
        }
        if (kind == QLatin1String("fifo")) {
            const QString path = dir.filePath(QStringLiteral("f.bmp"));
            ::mkfifo(QFile::encodeName(path).constData(), 0600);
            return path;
        }
        if (kind == QLatin1String("/dev/zero"))
            return QStringLiteral("/dev/zero");
        if (kind == QLatin1String("no read permission")) {
            const QString path = file(QStringLiteral("secret.bmp"), encode(quadrants(8, 8), "bmp"));
            QFile::setPermissions(path, QFileDevice::WriteOwner);
            return path;
        }
        // Read leniently by the decoder: these load, and must not harm anything.
        if (kind == QLatin1String("rle8 running past its rows"))
            return file(QStringLiteral("r.bmp"), rle8PastRows());
        if (kind == QLatin1String("palette index past the table"))
            return file(QStringLiteral("i.bmp"), paletteIndexPastTable());
        return {};
    }

private slots:
    void files_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("refused");
        for (const char *k :
             {"truncated jpeg", "broken huffman table", "jpeg declaring 65500 x 65500", "bmp size overflowing 32 bits",
              "bmp negative width", "bmp zero width", "palette of 2^31 entries", "empty file", "text named .jpg",
              "directory", "fifo", "/dev/zero", "no read permission"})
            QTest::newRow(k) << QString::fromUtf8(k) << true;
        QTest::newRow("rle8 running past its rows") << QStringLiteral("rle8 running past its rows") << false;
        QTest::newRow("palette index past the table") << QStringLiteral("palette index past the table") << false;
    }
    void files()
    {
        QFETCH(QString, kind);
        QFETCH(bool, refused);
        if (kind == QLatin1String("no read permission") && ::geteuid() == 0)
            QSKIP("root reads every file");
        const QString path = make(kind);

        MainFixture f;
        // Some state worth losing: a picture, a kept stroke, a tool.
        const QString good = dir.filePath(QStringLiteral("good.bmp"));
        quadrants(80, 60).save(good);
        f.platform.openAnswers.push_back(good);
        f.w->CmdPicLoad_Click();
        f.w->CmdPicRemain_Click(1);
        f.w->PenSize_Click(4);
        f.drag({100, 100}, {160, 130});
        f.w->EraserSize_Click(1);
        const QImage surface = f.surface();
        const QImage kept = f.persistent();

        const long before = peakKiB();
        f.platform.openAnswers.push_back(path);
        {
            Watchdog watchdog(60, "loading a hostile file");
            f.w->CmdPicLoad_Click();
        }
        QVERIFY2(peakKiB() - before < 64 * 1024, qPrintable(QStringLiteral("%1 KiB more").arg(peakKiB() - before)));

        if (refused) {
            QCOMPARE(f.platform.msgBoxes.size(), 1);
            QCOMPARE(f.platform.msgBoxes.at(0).prompt, Unreadable + path);
            QCOMPARE(f.surface(), surface);
            QCOMPARE(f.persistent(), kept);
            QCOMPARE(f.w->surface().Picture().size(), QSize(80, 60));
        } else {
            QVERIFY(f.platform.msgBoxes.isEmpty());
            QCOMPARE(f.w->surface().Picture().size(), QSize(4, 2));
        }
        QVERIFY(f.w->tools().pictureLoaded());
        QVERIFY(f.w->tools().eraserMode());
        QCOMPARE(f.w->tools().eraserSizeIndex(), 1);
        QCOMPARE(f.w->surface().DrawWidth(), 5);

        // And then every scale command and filter on whatever is remembered now.
        for (int i = 0; i < 5; ++i)
            f.w->CmdPicRatio_Click(i);
        f.w->CmdPicFilter_Click(0);
        f.w->CmdPicFilter_Click(1);
        QCOMPARE(f.platform.screenMousePointer(), 0);
    }

    void fileReplacedByGarbageBeforeEachScale()
    {
        MainFixture f;
        const QString path = dir.filePath(QStringLiteral("swap.jpg"));
        writeFile(path, encode(quadrants(50, 50), "jpeg"));
        f.platform.openAnswers.push_back(path);
        f.w->CmdPicLoad_Click();
        const QImage before = f.surface();
        const QByteArray jpeg = encode(quadrants(64, 64), "jpeg");
        const QList<QByteArray> garbage = {jpeg.left(100), jpegWithBrokenHuffman(jpeg),
                                           jpegDeclaring(jpeg, 65500, 65500), QByteArray(10, 'x')};
        for (int i = 0; i < garbage.size(); ++i) {
            writeFile(path, garbage.at(i));
            f.w->CmdPicRatio_Click(i);
            QVERIFY2(f.surface() == before, qPrintable(QStringLiteral("garbage %1").arg(i)));
        }
        QCOMPARE(f.platform.msgBoxes.size(), garbage.size());
        QCOMPARE(f.platform.screenMousePointer(), 0);
    }

    // Found by the fuzzer: 111 bytes of top-down BMP that the decoder turns into a
    // 4 x 16,252,673 picture. It loads, and the scale commands and filters that
    // follow stay quick because the picture is decoded once.
    void tinyFileHugePicture()
    {
        const QString source = QFINDTESTDATA("../fuzz/regressions/bmp-4x16M-top-down.bmp");
        QVERIFY(!source.isEmpty());
        MainFixture f;
        f.w->CmdPicRemain_Click(1);
        Watchdog watchdog(60, "the commands on a tiny file of a huge picture");
        f.platform.openAnswers.push_back(source);
        f.w->CmdPicLoad_Click();
        for (int i = 0; i < 5; ++i)
            f.w->CmdPicRatio_Click(i);
        f.w->CmdPicFilter_Click(0);
        f.w->CmdPicFilter_Click(1);
        f.w->CmdPicClear_Click();
        QVERIFY(peakKiB() < 1024 * 1024);
        QCOMPARE(f.platform.screenMousePointer(), 0);
    }

    // A surface too large for its layers: screen hold says so instead of failing.
    void screenHoldRefusedWhenTheLayersCannotBeMade()
    {
        MainFixture f;
        const qint64 budget = canvas::Surface::layerBudgetBytes();
        canvas::Surface::setLayerBudgetBytes(100 * 1000);
        f.w->resize(900, 700); // far past the budget
        QTest::qWait(20);
        f.w->Form_Resize();
        f.w->CmdPicRemain_Click(1);
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
        QVERIFY(!f.w->surface().AutoRedraw());
        QVERIFY(action(f.w, "CmdPicRemain", 0)->isChecked());
        QVERIFY(!action(f.w, "CmdPicRemain", 1)->isChecked());
        f.drag({10, 10}, {50, 50}); // draws nothing, breaks nothing
        f.w->CmdPicClear_Click();
        canvas::Surface::setLayerBudgetBytes(budget);
        f.w->CmdPicRemain_Click(1);
        QVERIFY(f.w->surface().AutoRedraw());
    }

    void largestWindowKeepsWorking()
    {
        MainFixture f;
        f.w->showMaximized();
        QTest::qWait(50);
        f.w->CmdPicRemain_Click(1);
        QVERIFY(f.platform.msgBoxes.isEmpty());
        const int w = picBox(f.w)->ScaleWidth(), h = picBox(f.w)->ScaleHeight();
        f.drag({w - 30, h - 30}, {w - 5, h - 5});
        f.w->surface().Refresh();
        QCOMPARE(f.surface().pixel(w - 5, h - 5), Black);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
