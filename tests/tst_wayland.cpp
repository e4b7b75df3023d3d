// The program's own Wayland pieces that need no compositor: reading a copied
// frame, a connection where there is no compositor, sway's word on where the
// user is, and the overlay's keys, buffers and reasons for not opening.
#include "forms/UserScreen.h"
#include "wayland/Connection.h"
#include "wayland/DamageLedger.h"
#include "wayland/LayerOverlay.h"
#include "wayland/ScreenCopy.h"
#include "wayland/SeatInput.h"

#include <QSignalSpy>
#include <QTest>
#include <wayland-client-protocol.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstring>
#include <vector>

class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    // Two rows of two pixels, red green / blue white, as the compositor lays
    // them out in each format; rows padded to `stride`.
    void frame_data()
    {
        QTest::addColumn<uint>("format");
        QTest::addColumn<QByteArray>("words"); // one 32-bit word a pixel, as written in memory
        QTest::addColumn<int>("stride");
        QTest::addColumn<bool>("yInvert");
        QTest::addColumn<bool>("read");
        auto words = [](std::initializer_list<quint32> w, int pad) {
            QByteArray bytes;
            int i = 0;
            for (quint32 v : w) {
                bytes.append(reinterpret_cast<const char *>(&v), 4);
                if (++i % 2 == 0)
                    bytes.append(QByteArray(pad, '\x55'));
            }
            return bytes;
        };
        const auto rgb = {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu};
        const auto bgr = {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu};
        QTest::newRow("XRGB") << uint(WL_SHM_FORMAT_XRGB8888) << words(rgb, 0) << 8 << false << true;
        // Alpha means nothing on a screen: a compositor that leaves it 0 still shows.
        QTest::newRow("ARGB without alpha")
            << uint(WL_SHM_FORMAT_ARGB8888) << words({0x00ff0000u, 0x0000ff00u, 0x000000ffu, 0x00ffffffu}, 0) << 8
            << false << true;
        QTest::newRow("XBGR") << uint(WL_SHM_FORMAT_XBGR8888) << words(bgr, 0) << 8 << false << true;
        QTest::newRow("ABGR") << uint(WL_SHM_FORMAT_ABGR8888) << words(bgr, 0) << 8 << false << true;
        QTest::newRow("padded rows") << uint(WL_SHM_FORMAT_XRGB8888) << words(rgb, 8) << 16 << false << true;
        QTest::newRow("bottom row first")
            << uint(WL_SHM_FORMAT_XRGB8888) << words({0xff0000ffu, 0xffffffffu, 0xffff0000u, 0xff00ff00u}, 0) << 8
            << true << true;
        QTest::newRow("a format it does not know")
            << uint(WL_SHM_FORMAT_RGB565) << words(rgb, 0) << 8 << false << false;
        QTest::newRow("rows longer than the buffer")
            << uint(WL_SHM_FORMAT_XRGB8888) << words(rgb, 0) << 12 << false << false;
    }
    void frame()
    {
        QFETCH(uint, format);
        QFETCH(QByteArray, words);
        QFETCH(int, stride);
        QFETCH(bool, yInvert);
        QFETCH(bool, read);
        std::vector<uchar> shared(words.begin(), words.end());
        const QImage image = wayland::frameImage(shared.data(), shared.size(), format, 2, 2, stride, yInvert);
        QCOMPARE(!image.isNull(), read);
        if (!read)
            return;
        // The picture is its own: the shared memory may go.
        std::memset(shared.data(), 0, shared.size());
        QCOMPARE(image.size(), QSize(2, 2));
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(image.pixel(0, 1), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(1, 1), qRgb(255, 255, 255));
    }

    void noCompositor()
    {
        qputenv("WAYLAND_DISPLAY", "sketrin-no-such-compositor");
        QVERIFY(!wayland::Connection::open(1000));
    }

    void swayFocus_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("focused");
        QTest::newRow("the second") << QByteArray(R"([{"name":"HEADLESS-1","active":true,"focused":false},
                                                      {"name":"HEADLESS-2","active":true,"focused":true}])")
                                    << "HEADLESS-2";
        QTest::newRow("none focused") << QByteArray(R"([{"name":"DP-1","focused":false}])") << "";
        QTest::newRow("not JSON") << QByteArray("i3-ipc\x01") << "";
        QTest::newRow("not a list") << QByteArray(R"({"name":"DP-1","focused":true})") << "";
    }
    void swayFocus()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, focused);
        QCOMPARE(forms::focusedSwayOutput(json), focused);
    }

    void keysym_data()
    {
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<int>("key");
        const std::pair<const char *, std::pair<uint, int>> rows[] = {
            {"a", {XKB_KEY_a, Qt::Key_A}},
            {"z", {XKB_KEY_z, Qt::Key_Z}},
            {"A with Shift", {XKB_KEY_A, Qt::Key_A}},
            {"Z with Shift", {XKB_KEY_Z, Qt::Key_Z}},
            {"0", {XKB_KEY_0, Qt::Key_0}},
            {"9", {XKB_KEY_9, Qt::Key_9}},
            {"F1", {XKB_KEY_F1, Qt::Key_F1}},
            {"F12", {XKB_KEY_F12, Qt::Key_F12}},
            {"F13 is not among them", {XKB_KEY_F13, Qt::Key_unknown}},
            {"Escape", {XKB_KEY_Escape, Qt::Key_Escape}},
            {"Delete", {XKB_KEY_Delete, Qt::Key_Delete}},
            {"BackSpace", {XKB_KEY_BackSpace, Qt::Key_Backspace}},
            {"Return", {XKB_KEY_Return, Qt::Key_Return}},
            {"keypad Enter", {XKB_KEY_KP_Enter, Qt::Key_Enter}},
            {"Tab", {XKB_KEY_Tab, Qt::Key_Tab}},
            {"Left", {XKB_KEY_Left, Qt::Key_Left}},
            {"Down", {XKB_KEY_Down, Qt::Key_Down}},
            {"Home", {XKB_KEY_Home, Qt::Key_Home}},
            {"End", {XKB_KEY_End, Qt::Key_End}},
            {"space", {XKB_KEY_space, Qt::Key_Space}},
            {"plus", {XKB_KEY_plus, Qt::Key_Plus}},
            {"minus", {XKB_KEY_minus, Qt::Key_Minus}},
            {"equal", {XKB_KEY_equal, Qt::Key_Equal}},
            {"question", {XKB_KEY_question, Qt::Key_Question}},
            {"bracketleft", {XKB_KEY_bracketleft, Qt::Key_BracketLeft}},
            {"bracketright", {XKB_KEY_bracketright, Qt::Key_BracketRight}},
            {"a modifier alone", {XKB_KEY_Shift_L, Qt::Key_unknown}},
            {"a letter beyond Latin", {XKB_KEY_adiaeresis, Qt::Key_unknown}},
        };
        for (const auto &[name, row] : rows)
            QTest::newRow(name) << row.first << row.second;
    }
    void keysym()
    {
        QFETCH(uint, keysym);
        QFETCH(int, key);
        QCOMPARE(wayland::qtKeyForKeysym(keysym), key);
    }

    // Buffers filled in `order`, each with the matching `touched` rectangle,
    // on a 100 x 100 picture; `wanted` is what each fill must copy.
    void damage_data()
    {
        QTest::addColumn<int>("buffers");
        QTest::addColumn<QList<int>>("order");
        QTest::addColumn<QList<QRect>>("touched");
        QTest::addColumn<QList<QRegion>>("wanted");
        const QRect whole(0, 0, 100, 100), a(0, 0, 10, 10), b(50, 50, 10, 10), c(20, 0, 5, 5), d(0, 90, 5, 5);
        QTest::newRow("a new buffer gets the whole") << 2 << QList<int>{0} << QList<QRect>{a} << QList<QRegion>{whole};
        QTest::newRow("so does the second")
            << 2 << QList<int>{0, 1} << QList<QRect>{a, b} << QList<QRegion>{whole, whole};
        QTest::newRow("a buffer filled twice before it is shown gets only the new")
            << 2 << QList<int>{0, 0} << QList<QRect>{a, b} << QList<QRegion>{whole, b};
        QTest::newRow("a reused buffer gets what the other got since")
            << 2 << QList<int>{0, 1, 0} << QList<QRect>{a, b, c} << QList<QRegion>{whole, whole, QRegion(b) | c};
        QTest::newRow("one held long gets all it missed")
            << 2 << QList<int>{0, 1, 1, 1, 0} << QList<QRect>{a, b, c, d, a}
            << QList<QRegion>{whole, whole, c, d, QRegion(b) | c | d | a};
        QTest::newRow("three in turn") << 3 << QList<int>{0, 1, 2, 0, 1} << QList<QRect>{a, b, c, d, a}
                                       << QList<QRegion>{whole, whole, whole, QRegion(b) | c | d, QRegion(c) | d | a};
        QTest::newRow("no such buffer: nothing, and nothing recorded")
            << 2 << QList<int>{0, 1, 2, 0} << QList<QRect>{a, b, c, d}
            << QList<QRegion>{whole, whole, {}, QRegion(b) | d};
    }
    void damage()
    {
        QFETCH(int, buffers);
        QFETCH(QList<int>, order);
        QFETCH(QList<QRect>, touched);
        QFETCH(QList<QRegion>, wanted);
        wayland::DamageLedger ledger(buffers);
        ledger.reset(QRect(0, 0, 100, 100));
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(ledger.take(order[i], touched[i]), wanted[i]);
    }

    void lacking_data()
    {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("named"); // the interface the line names; none when all are there
        const QStringList all{"wl_compositor", "wl_shm", "wl_seat", "zwlr_layer_shell_v1", "wl_output"};
        auto without = [&all](const char *name) {
            QStringList l = all;
            l.removeAll(QLatin1String(name));
            return l;
        };
        QTest::newRow("all there") << all << "";
        QTest::newRow("no seat: shown, without input") << without("wl_seat") << "";
        QTest::newRow("no layer shell (mutter)") << without("zwlr_layer_shell_v1") << "zwlr_layer_shell_v1";
        QTest::newRow("no shared memory") << without("wl_shm") << "wl_shm";
        QTest::newRow("nothing") << QStringList() << "wl_compositor";
    }
    void lacking()
    {
        QFETCH(QStringList, offered);
        QFETCH(QString, named);
        const QString line = wayland::LayerOverlay::lacking(offered);
        QCOMPARE(line.isEmpty(), named.isEmpty());
        QVERIFY2(line.contains(named), qPrintable(line));
        QVERIFY(!line.contains(QLatin1Char('\n')));
    }

    // Without a compositor the overlay says so, and everything else is harmless.
    void overlayWithoutCompositor()
    {
        qputenv("WAYLAND_DISPLAY", "sketrin-no-such-compositor");
        wayland::LayerOverlay overlay;
        QSignalSpy closed(&overlay, &wayland::LayerOverlay::closed);
        QVERIFY(!overlay.open(QStringLiteral("HEADLESS-1")));
        QVERIFY(!overlay.error().isEmpty());
        QVERIFY(!overlay.error().contains(QLatin1Char('\n')));
        QVERIFY(!overlay.isOpen());
        QImage picture(64, 64, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::red);
        overlay.present(picture, QRect(0, 0, 64, 64));
        overlay.setPassThrough(true);
        QVERIFY(overlay.passThrough());
        QCoreApplication::processEvents();
        QCOMPARE(closed.count(), 0);
    }
};

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
