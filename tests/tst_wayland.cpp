// The program's own Wayland pieces that need no compositor: reading a copied
// frame, a connection where there is no compositor, and sway's word on where
// the user is.
#include "forms/UserScreen.h"
#include "wayland/Connection.h"
#include "wayland/ScreenCopy.h"

#include <QTest>
#include <wayland-client-protocol.h>

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
};

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
