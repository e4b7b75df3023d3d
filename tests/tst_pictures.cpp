#include "MainFixture.h"
#include "PictureFixtures.h"
#include "TestSupport.h"

#include "forms/QtPlatform.h"
#include "imaging/PictureFile.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/types.h>

using namespace testing;

namespace {

const QString NoPicture = QStringLiteral("画像が読み込まれていません");
const QString Unreadable = QStringLiteral("画像を読み込めませんでした。\r\n");

bool near(QRgb a, QRgb b, int tol = 12)
{
    return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
           std::abs(qBlue(a) - qBlue(b)) <= tol;
}

// Where the red top-left quadrant landed; edge pixels blended by smooth scaling
// count when they are mostly red.
QRect redArea(const QImage &s)
{
    QRect found;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (near(s.pixel(x, y), qRgb(200, 0, 0), 60))
                found |= QRect(x, y, 1, 1);
    return found;
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    QString picture(const QString &name, int w = 400, int h = 300)
    {
        const QString path = dir.filePath(name);
        quadrants(w, h).save(path);
        return path;
    }
    static void load(MainFixture &f, const QString &path)
    {
        f.platform.openAnswers.push_back(path);
        f.w->CmdPicLoad_Click();
    }

private slots:
    void loadCommandSetsUpTheSharedDialog()
    {
        MainFixture f;
        const QString path = picture(QStringLiteral("a.bmp"));
        load(f, path);
        QCOMPARE(f.platform.openDialogFilters.size(), 1);
        QCOMPARE(f.platform.openDialogFilters.at(0),
                 QStringLiteral("全ての対応ピクチャ形式 (*.bmp,*.dib,*.jpg)|*.bmp;*.dib;*.jpg|"
                                "ビットマップ (*.bmp.*.dib)|*.bmp;*.dib|"
                                "JPEGイメージ (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                "すべてのファイル (*.*)|*.*|"));
        QCOMPARE(f.platform.openDialogFlags.at(0), 0x201004);
        QCOMPARE(f.w->commonDialog().CancelError, false);
        QCOMPARE(f.w->commonDialog().FileName, path);
        QVERIFY(f.w->tools().pictureLoaded());
        QVERIFY(f.platform.msgBoxes.isEmpty());
        // Natural size at (0, 0), clipped by the surface, as the background picture.
        const QImage s = f.surface();
        QCOMPARE(s.pixel(0, 0), qRgb(200, 0, 0));
        QCOMPARE(s.pixel(199, 149), qRgb(200, 0, 0));
        QCOMPARE(s.pixel(200, 0), qRgb(0, 200, 0));
        QCOMPARE(s.pixel(0, 150), qRgb(0, 0, 200));
        QCOMPARE(s.pixel(420, 10), White);
        QCOMPARE(f.w->surface().Picture().size(), QSize(400, 300));
        f.w->surface().Refresh();
        QCOMPARE(f.surface().pixel(0, 0), qRgb(200, 0, 0));
    }

    // The Qt dialog shows the four file types, patterns and all, first one selected.
    void filterBecomesFourFileTypes()
    {
        MainFixture f;
        f.w->CmdPicLoad_Click();
        const QStringList types = forms::nameFiltersFromBarList(f.platform.openDialogFilters.at(0));
        QCOMPARE(types, (QStringList{QStringLiteral("全ての対応ピクチャ形式 (*.bmp,*.dib,*.jpg) (*.bmp *.dib *.jpg)"),
                                     QStringLiteral("ビットマップ (*.bmp.*.dib) (*.bmp *.dib)"),
                                     QStringLiteral("JPEGイメージ (*.jpg;*.jpeg) (*.jpg *.jpeg)"),
                                     QStringLiteral("すべてのファイル (*.*) (*.*)")}));
    }

    void cancelChangesNothing()
    {
        MainFixture f;
        const QString path = picture(QStringLiteral("b.bmp"));
        load(f, path);
        f.platform.openAnswers.push_back(std::nullopt);
        const QImage before = f.surface();
        f.w->CmdPicLoad_Click();
        QCOMPARE(f.surface(), before);
        QCOMPARE(f.w->commonDialog().FileName, path);
        QCOMPARE(f.w->commonDialog().CancelError, false);
        QVERIFY(f.w->tools().pictureLoaded());
        QVERIFY(f.platform.msgBoxes.isEmpty());
        // A later scale still uses the file loaded before.
        f.w->CmdPicRatio_Click(0);
        const QRect red = redArea(f.surface()); // 50 x 37.5
        QCOMPARE(red.width(), 50);
        QVERIFY(red.height() == 37 || red.height() == 38);
    }

    void scaleWithoutPicture_data()
    {
        QTest::addColumn<bool>("clearAfterLoad");
        QTest::newRow("before any load") << false;
        QTest::newRow("after a clear") << true;
    }
    void scaleWithoutPicture()
    {
        QFETCH(bool, clearAfterLoad);
        MainFixture f;
        if (clearAfterLoad) {
            load(f, picture(QStringLiteral("c.bmp")));
            f.w->CmdPicClear_Click();
        }
        const QImage before = f.surface();
        for (int i = 0; i < 5; ++i) {
            action(f.w, "CmdPicRatio", i)->trigger();
            QCOMPARE(f.platform.msgBoxes.size(), i + 1);
            QCOMPARE(f.platform.msgBoxes.last().prompt, NoPicture);
            QCOMPARE(f.platform.msgBoxes.last().style, 16);
            QCOMPARE(f.platform.msgBoxes.last().title, QStringLiteral("Sketrin"));
        }
        QVERIFY(f.platform.pointerHistory.isEmpty());
        QCOMPARE(f.surface(), before);
        QVERIFY(!f.w->tools().pictureLoaded());
    }

    void scaleDrawsAtItsSize_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QRect>("red"); // top-left quadrant as drawn
        QTest::newRow("1/4") << 0 << QRect(0, 0, 50, 38);
        QTest::newRow("1/2") << 1 << QRect(0, 0, 100, 75);
        QTest::newRow("1") << 2 << QRect(0, 0, 200, 150);
        QTest::newRow("2, clipped") << 3 << QRect(0, 0, 400, 237);
        QTest::newRow("4, clipped") << 4 << QRect(0, 0, 462, 237);
    }
    void scaleDrawsAtItsSize()
    {
        QFETCH(int, index);
        QFETCH(QRect, red);
        for (const char *ext : {"bmp", "jpg"}) {
            MainFixture f;
            load(f, picture(QStringLiteral("scale.") + QLatin1String(ext)));
            f.w->CmdPicRatio_Click(index);
            QCOMPARE(f.w->surface().Picture().isNull(), true);
            const QRect found = redArea(f.surface());
            QVERIFY2(
                std::abs(found.width() - red.width()) <= 1 && std::abs(found.height() - red.height()) <= 1,
                qPrintable(QStringLiteral("%1: %2x%3").arg(QLatin1String(ext)).arg(found.width()).arg(found.height())));
            QCOMPARE(found.topLeft(), QPoint(0, 0));
            QCOMPARE(f.platform.pointerHistory, (QList<int>{11, 0}));
            QVERIFY(f.w->tools().pictureLoaded());
        }
    }

    // The scale commands decode only the part that lands on the surface; what they
    // draw must be what drawing the whole picture would give.
    void partialDecodeDrawsLikeTheWhole_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("index");
        for (const QString &format : {QStringLiteral("jpeg"), QStringLiteral("bmp")})
            for (int index = 0; index < 5; ++index)
                QTest::addRow("%s index %d", qPrintable(format), index) << format << index;
    }
    void partialDecodeDrawsLikeTheWhole()
    {
        QFETCH(QString, format);
        QFETCH(int, index);
        QImage photo(1999, 1501, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb((x * 5) & 0xFF, (y * 3) & 0xFF, ((x + y) * 7) & 0xFF));
        const QString path = file(QStringLiteral("photo.") + format, encode(photo, format.toLatin1().constData(), 92));
        MainFixture f;
        load(f, path);
        f.w->CmdPicRatio_Click(index);
        const double P = QList<int>{25, 50, 100, 200, 400}.at(index);
        imaging::LoadOptions whole;
        whole.reduceBy = P == 25 ? 4 : P == 50 ? 2 : 1;
        const imaging::Picture full = imaging::LoadPicture(path, whole);
        QVERIFY(full.ok());
        canvas::Surface reference;
        reference.setArea(f.w->surface().area(), 1);
        reference.PaintPicture(full.image, 0, 0, 1999 * P / 100, 1501 * P / 100);
        const QImage expected = reference.visibleImage();
        const QImage got = f.surface();
        int worst = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QRgb a = got.pixel(x, y), b = expected.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        QVERIFY2(worst <= 2, qPrintable(QStringLiteral("differs by %1").arg(worst)));
    }

    // Each scale command reads the file again: a picture rewritten in place, even
    // to the same size within the same instant, is drawn as it is now.
    void rewrittenFileIsReadAnew_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bmp") << "same-size.bmp";
        QTest::newRow("jpeg at 1/4") << "same-size.jpg";
    }
    void rewrittenFileIsReadAnew()
    {
        QFETCH(QString, name);
        const bool jpeg = name.endsWith(QLatin1String(".jpg"));
        QImage red(64, 48, QImage::Format_RGB32), blue(64, 48, QImage::Format_RGB32);
        red.fill(qRgb(220, 0, 0));
        blue.fill(qRgb(0, 0, 220));
        const QString path = dir.filePath(name);
        const char *format = jpeg ? "jpeg" : "bmp";
        QVERIFY(writeFile(path, encode(red, format, 95)));
        MainFixture f;
        load(f, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite)); // same inode, same size
        const QByteArray other = encode(blue, format, 95);
        file.write(other);
        file.resize(other.size());
        file.close();
        f.w->CmdPicRatio_Click(jpeg ? 0 : 2);
        QVERIFY(near(f.surface().pixel(5, 5), qRgb(0, 0, 220), 12));
        // And once more unchanged: the same drawing again.
        const QImage once = f.surface();
        f.w->CmdPicRatio_Click(jpeg ? 0 : 2);
        QCOMPARE(f.surface(), once);
    }

    void scaleCommandsNeverCompound()
    {
        MainFixture f;
        load(f, picture(QStringLiteral("d.bmp"), 100, 80));
        f.w->CmdPicRatio_Click(1);
        f.w->CmdPicRatio_Click(3);
        QCOMPARE(redArea(f.surface()), QRect(0, 0, 100, 80));
    }

    void scaleDrawsOutputNotBackground()
    {
        MainFixture f;
        load(f, picture(QStringLiteral("e.bmp")));
        f.w->CmdPicRatio_Click(2);
        QVERIFY(f.w->surface().Picture().isNull());
        // With screen hold off the drawn picture lives on the screen only.
        f.w->surface().Refresh();
        QCOMPARE(countPixels(f.surface(), White), f.surface().width() * f.surface().height());
    }

    void fractionalSizeIsPassedUnrounded()
    {
        MainFixture f;
        load(f, picture(QStringLiteral("odd.bmp"), 101, 41));
        f.w->CmdPicRatio_Click(0); // 25.25 x 10.25
        const QImage s = f.surface();
        QVERIFY(s.pixel(24, 9) != White);
        QCOMPARE(s.pixel(26, 11), White);
    }

    void formats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QRgb>("color");
        QImage q = quadrants(16, 8);
        QTest::newRow("bmp 24-bit") << "p24.bmp" << encode(q, "bmp") << QPoint(1, 1) << qRgb(200, 0, 0);
        QTest::newRow("bmp 32-bit") << "p32.bmp" << encode(q.convertToFormat(QImage::Format_ARGB32), "bmp")
                                    << QPoint(12, 1) << qRgb(0, 200, 0);
        QTest::newRow("bmp 8-bit") << "p8.bmp" << encode(q.convertToFormat(QImage::Format_Indexed8), "bmp")
                                   << QPoint(1, 6) << qRgb(0, 0, 200);
        QTest::newRow("bmp 1-bit") << "p1.bmp"
                                   << encode(q.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither), "bmp")
                                   << QPoint(12, 6) << qRgb(255, 255, 255);
        QTest::newRow("bmp rle8") << "rle.bmp" << rle8Bmp() << QPoint(0, 0) << qRgb(255, 0, 0);
        QTest::newRow("bmp top-down") << "top.bmp" << topDownBmp() << QPoint(0, 0) << qRgb(255, 0, 0);
        QTest::newRow("dib named") << "p.dib" << encode(q, "bmp") << QPoint(1, 1) << qRgb(200, 0, 0);
        QTest::newRow("bmp named .jpg") << "really-bmp.jpg" << encode(q, "bmp") << QPoint(1, 1) << qRgb(200, 0, 0);
        QTest::newRow("jpeg baseline") << "p.jpg" << encode(quadrants(32, 16), "jpeg", 95) << QPoint(2, 2)
                                       << qRgb(200, 0, 0);
        QTest::newRow("jpeg progressive")
            << "prog.jpeg" << encode(quadrants(32, 16), "jpeg", 95, true) << QPoint(30, 2) << qRgb(0, 200, 0);
        QTest::newRow("jpeg greyscale") << "grey.jpg"
                                        << encode(quadrants(32, 16).convertToFormat(QImage::Format_Grayscale8), "jpeg",
                                                  95)
                                        << QPoint(2, 2)
                                        << quadrants(32, 16).convertToFormat(QImage::Format_Grayscale8).pixel(2, 2);
        QFile cmyk(QFINDTESTDATA("data/cmyk.jpg"));
        cmyk.open(QIODevice::ReadOnly);
        QTest::newRow("jpeg cmyk") << "cmyk.jpg" << cmyk.readAll() << QPoint(8, 8) << qRgb(200, 0, 0);
        QTest::newRow("png") << "p.png" << encode(q, "png") << QPoint(1, 6) << qRgb(0, 0, 200);
        QTest::newRow("gif") << "p.gif" << QByteArray() << QPoint(12, 6) << qRgb(240, 240, 0);
    }
    void formats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QPoint, probe);
        QFETCH(QRgb, color);
        QString path;
        if (bytes.isEmpty()) { // Qt cannot write GIF: build one from ImageMagick's own output
            if (!QFile::exists(QStringLiteral("/usr/bin/convert")))
                QSKIP("no convert");
            path = dir.filePath(name);
            const QString png = dir.filePath(QStringLiteral("for-gif.png"));
            quadrants(16, 8).save(png);
            QCOMPARE(QProcess::execute(QStringLiteral("convert"), {png, path}), 0);
        } else {
            path = file(name, bytes);
        }
        MainFixture f;
        load(f, path);
        QVERIFY2(f.platform.msgBoxes.isEmpty(), qPrintable(name));
        QVERIFY(f.w->tools().pictureLoaded());
        const QRgb got = f.surface().pixel(probe);
        QVERIFY2(
            near(got, color, 30),
            qPrintable(QStringLiteral("%1: got %2,%3,%4").arg(name).arg(qRed(got)).arg(qGreen(got)).arg(qBlue(got))));
    }

    void sixteenBitBitmapsUseTheFullRange_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QRgb>("second");
        // 5-5-5: red 16 of 31, blue 31 of 31.
        QTest::newRow("5-5-5") << sixteenBitBmp(0x7FFF, (16 << 10) | 31) << qRgb(132, 0, 255);
        // 5-6-5 bit fields: green 32 of 63.
        QTest::newRow("5-6-5 bit fields")
            << sixteenBitBmp(0xFFFF, 32 << 5, {0xF800, 0x07E0, 0x001F}) << qRgb(0, 130, 0);
        QTest::newRow("5-5-5 bit fields") << sixteenBitBmp(0x7FFF, 1, {0x7C00, 0x03E0, 0x001F}) << qRgb(0, 0, 8);
    }
    void sixteenBitBitmapsUseTheFullRange()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QRgb, second);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const imaging::Picture picture = imaging::decodePicture(buffer);
        QVERIFY(picture.ok());
        QCOMPARE(picture.image.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(picture.image.pixel(1, 0), second);
    }

    void orientationTagShowsUpright()
    {
        // Stored 40 x 20, tagged "rotate 90 clockwise": shown 20 x 40.
        const QString path =
            file(QStringLiteral("turned.jpg"), withOrientation(encode(quadrants(40, 20), "jpeg", 95), 6));
        const imaging::Picture p = imaging::LoadPicture(path);
        QVERIFY(p.ok());
        QCOMPARE(p.naturalSize, QSize(20, 40));
        QCOMPARE(p.image.size(), QSize(20, 40));
        // The stored top-left (red) is now at the top right.
        QVERIFY(near(p.image.pixel(18, 2), qRgb(200, 0, 0), 30));
        imaging::LoadOptions reduced;
        reduced.reduceBy = 4;
        const imaging::Picture quarter = imaging::LoadPicture(path, reduced);
        QCOMPARE(quarter.naturalSize, QSize(20, 40));
        QCOMPARE(quarter.image.size(), QSize(5, 10));
    }

    void reducedJpegDecode()
    {
        const QString path = file(QStringLiteral("big.jpg"), encode(quadrants(800, 600), "jpeg", 90));
        imaging::LoadOptions reduced;
        reduced.reduceBy = 4;
        const imaging::Picture p = imaging::LoadPicture(path, reduced);
        QCOMPARE(p.naturalSize, QSize(800, 600));
        QCOMPARE(p.image.size(), QSize(200, 150));
        QCOMPARE(p.covers, QRectF(0, 0, 800, 600));
    }

    // Files the load command cannot read: a message naming the file, and nothing
    // else changes.
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("corrupt jpeg") << "corrupt";
        QTest::newRow("truncated jpeg") << "truncated";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("text named .bmp") << "text";
        QTest::newRow("bmp claiming huge size") << "huge";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("directory") << "dir";
        QTest::newRow("missing") << "missing";
        QTest::newRow("device") << "device";
    }
    void unreadableFiles()
    {
        QFETCH(QString, kind);
        QString path;
        const QByteArray jpeg = encode(quadrants(64, 64), "jpeg", 90);
        if (kind == QLatin1String("corrupt")) {
            QByteArray bad = jpeg;
            for (int i = 200; i < bad.size() - 2; i += 7)
                bad[i] = char(0xFF);
            path = file(QStringLiteral("corrupt.jpg"), bad.left(20) + QByteArray(300, '\x13') + bad.mid(320));
        } else if (kind == QLatin1String("truncated")) {
            path = file(QStringLiteral("truncated.jpg"), jpeg.left(150));
        } else if (kind == QLatin1String("empty")) {
            path = file(QStringLiteral("empty.bmp"), QByteArray());
        } else if (kind == QLatin1String("text")) {
            path = file(QStringLiteral("notes.bmp"), "This is not a picture.\n");
        } else if (kind == QLatin1String("huge")) {
            path = file(QStringLiteral("huge.bmp"), bmp(100000, 100000, 24, 0, {}, QByteArray(64, 0)));
        } else if (kind == QLatin1String("fifo")) {
            path = dir.filePath(QStringLiteral("pipe.bmp"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("dir")) {
            path = dir.filePath(QStringLiteral("folder.bmp"));
            QDir().mkpath(path);
        } else if (kind == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
        } else {
            path = dir.filePath(QStringLiteral("gone.bmp"));
        }
        MainFixture f;
        const QString good = picture(QStringLiteral("good-%1.bmp").arg(kind), 60, 40);
        load(f, good);
        f.w->surface().setAutoRedraw(true);
        f.drag({100, 100}, {150, 120});
        const QImage before = f.surface();
        {
            Watchdog watchdog(30, "loading an unreadable file");
            load(f, path);
        }
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).prompt, Unreadable + path);
        QCOMPARE(f.platform.msgBoxes.at(0).style, 16);
        QCOMPARE(f.platform.msgBoxes.at(0).title, QStringLiteral("Sketrin"));
        QCOMPARE(f.surface(), before);
        QVERIFY(f.w->tools().pictureLoaded());
        QCOMPARE(f.w->surface().Picture().size(), QSize(60, 40));
        QCOMPARE(f.w->commonDialog().FileName, path);
        QCOMPARE(f.w->commonDialog().CancelError, false);
    }

    void rememberedFileGoneBeforeScale_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("deleted") << false;
        QTest::newRow("replaced by garbage") << true;
    }
    void rememberedFileGoneBeforeScale()
    {
        QFETCH(bool, replace);
        MainFixture f;
        const QString path = picture(QStringLiteral("vanishing.bmp"), 50, 50);
        load(f, path);
        QFile::remove(path);
        if (replace)
            writeFile(path, QByteArray(500, 'z'));
        const QImage before = f.surface();
        f.w->CmdPicRatio_Click(3);
        QCOMPARE(f.platform.msgBoxes.size(), 1);
        QCOMPARE(f.platform.msgBoxes.at(0).prompt, Unreadable + path);
        QCOMPARE(f.surface(), before);
        QCOMPARE(f.platform.screenMousePointer(), 0);
        QCOMPARE(f.platform.msgBoxes.at(0).pointerWhenShown, 0);
        QVERIFY(f.w->tools().pictureLoaded());
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
