// The layer-shell overlay under a real compositor, for the acceptance script:
//   layerprobe overlay OUTPUT [--pass-after-stroke]
//       the overlay on OUTPUT, a red stroke where the left button drags; P
//       toggles pass-through, Esc ends; with the switch, pass-through follows
//       the first stroke. Says what happens on stdout, a line at a time.
//   layerprobe flood OUTPUT  a hundred red squares in quick presents, for the frame throttle
//   layerprobe clicks OUTPUT a full-screen window beneath that says "clicked X Y" and "typed T"
//   layerprobe pointer W H   a mouse (and keys) of its own, driven from stdin
//   layerprobe red FILE X Y W H    how many pixels of the rectangle are red
//   layerprobe kwinshot OUTPUT FILE    KWin's picture of an output
#include "fakeinput-client-protocol.h"
#include "virtualpointer-client-protocol.h"
#include "wayland/Connection.h"
#include "wayland/LayerOverlay.h"

#include <wayland-client.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <linux/input-event-codes.h>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Clicks : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(QRect(QPoint(), size()), QColor(230, 230, 230)); }
    void mousePressEvent(QMouseEvent *e) override
    {
        say(QStringLiteral("clicked %1 %2").arg(e->position().x()).arg(e->position().y()));
    }
    void keyPressEvent(QKeyEvent *e) override { say(QStringLiteral("typed %1").arg(e->text())); }
};

int overlay(const QString &output, bool passAfterStroke)
{
    wayland::LayerOverlay o;
    if (!o.open(output)) {
        say(QStringLiteral("error %1").arg(o.error()));
        return 2;
    }
    const qreal scale = o.scale();
    QImage picture(o.pictureSize(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    o.present(picture, QRect(QPoint(), picture.size()));
    say(QStringLiteral("open %1x%2 scale %3").arg(o.size().width()).arg(o.size().height()).arg(o.scale()));
    QPointF last;
    bool drawing = false;
    QObject::connect(&o, &wayland::LayerOverlay::pointerPressed,
                     [&](QPointF at, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) {
                         say(QStringLiteral("pressed %1 %2").arg(at.x()).arg(at.y()));
                         drawing = b == Qt::LeftButton;
                         last = at;
                     });
    QObject::connect(
        &o, &wayland::LayerOverlay::pointerMoved, [&](QPointF at, Qt::MouseButtons, Qt::KeyboardModifiers) {
            if (!drawing)
                return;
            QPainter p(&picture);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(Qt::red, 6 * scale, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(last * scale, at * scale);
            p.end();
            const int pad = int(6 * scale);
            o.present(picture,
                      QRectF(last * scale, at * scale).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad));
            last = at;
        });
    QObject::connect(&o, &wayland::LayerOverlay::pointerReleased,
                     [&](QPointF at, Qt::MouseButton, Qt::MouseButtons, Qt::KeyboardModifiers) {
                         say(QStringLiteral("released %1 %2").arg(at.x()).arg(at.y()));
                         if (drawing && passAfterStroke) {
                             o.setPassThrough(true);
                             say(QStringLiteral("passthrough"));
                         }
                         drawing = false;
                     });
    QObject::connect(&o, &wayland::LayerOverlay::wheel, [](QPointF at, QPoint angle, QPoint pixels) {
        say(QStringLiteral("wheel %1 %2 %3,%4 %5,%6")
                .arg(at.x())
                .arg(at.y())
                .arg(angle.x())
                .arg(angle.y())
                .arg(pixels.x())
                .arg(pixels.y()));
    });
    QObject::connect(&o, &wayland::LayerOverlay::keyPressed, [&](int key, Qt::KeyboardModifiers, QString text, bool) {
        say(QStringLiteral("key %1 %2").arg(key).arg(text));
        if (key == Qt::Key_Escape)
            qApp->quit();
        if (key == Qt::Key_P) {
            o.setPassThrough(!o.passThrough());
            say(o.passThrough() ? QStringLiteral("passthrough") : QStringLiteral("drawing"));
        }
    });
    QObject::connect(&o, &wayland::LayerOverlay::resized, [&](QSize, int) {
        picture = picture.scaled(o.pictureSize());
        o.present(picture, QRect(QPoint(), picture.size()));
    });
    QObject::connect(&o, &wayland::LayerOverlay::closed, [&] {
        say(QStringLiteral("closed"));
        qApp->exit(1);
    });
    return qApp->exec();
}

// Reads "move X Y", "press", "release", "wheel" and "key CODE" from stdin, one a line,
// X and Y in the desktop's layout of `width` by `height`, CODE an evdev key;
// says "ok" after each is done. Through the wlroots virtual pointer (which has
// no keys), or KWin's fake input.
// A hundred squares of 10 x 10, each presented on its own, ten at a time
// without a pause between: most arrive while a frame is pending and must be
// gathered, and the buffers come round again and must get what they missed.
// Says "done" with the last one and stays until killed.
int flood(const QString &output)
{
    wayland::LayerOverlay o;
    if (!o.open(output)) {
        say(QStringLiteral("error %1").arg(o.error()));
        return 2;
    }
    const int scale = o.scale();
    QImage picture(o.pictureSize(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    o.present(picture, QRect(QPoint(), picture.size()));
    int next = 0;
    QTimer burst;
    QObject::connect(&burst, &QTimer::timeout, [&] {
        for (int i = 0; i < 10; ++i, ++next) {
            const QRect square = QRect(20 * (next % 10), 20 * (next / 10), 10, 10);
            const QRect pixels(square.topLeft() * scale, square.size() * scale);
            QPainter(&picture).fillRect(pixels, Qt::red);
            o.present(picture, pixels);
        }
        if (next >= 100) {
            burst.stop();
            say(QStringLiteral("done"));
        }
    });
    burst.start(30);
    return qApp->exec();
}

int pointer(int width, int height)
{
    auto connection = wayland::Connection::open();
    if (!connection || width <= 0 || height <= 0)
        return 2;
    std::function<void(uint32_t, uint32_t, uint32_t)> move;
    std::function<void(uint32_t, bool)> button;
    std::function<void(uint32_t)> key = [](uint32_t) {};
    std::function<void(uint32_t)> wheel; // ten pixels down
    if (const auto *g = connection->global(zwlr_virtual_pointer_manager_v1_interface.name)) {
        auto *m = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            connection->bind(*g, &zwlr_virtual_pointer_manager_v1_interface, 1));
        zwlr_virtual_pointer_v1 *p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m, nullptr);
        move = [=](uint32_t time, uint32_t x, uint32_t y) {
            zwlr_virtual_pointer_v1_motion_absolute(p, time, x, y, uint32_t(width), uint32_t(height));
            zwlr_virtual_pointer_v1_frame(p);
        };
        button = [=](uint32_t time, bool pressed) {
            zwlr_virtual_pointer_v1_button(
                p, time, BTN_LEFT, pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(p);
        };
        wheel = [=](uint32_t time) {
            zwlr_virtual_pointer_v1_axis(p, time, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_int(10));
            zwlr_virtual_pointer_v1_frame(p);
        };
    } else if (const auto *f = connection->global(org_kde_kwin_fake_input_interface.name)) {
        auto *p = static_cast<org_kde_kwin_fake_input *>(connection->bind(*f, &org_kde_kwin_fake_input_interface, 4));
        org_kde_kwin_fake_input_authenticate(p, "layerprobe", "the test suite's mouse");
        move = [=](uint32_t, uint32_t x, uint32_t y) {
            org_kde_kwin_fake_input_pointer_motion_absolute(p, wl_fixed_from_int(int(x)), wl_fixed_from_int(int(y)));
        };
        button = [=](uint32_t, bool pressed) { org_kde_kwin_fake_input_button(p, BTN_LEFT, pressed ? 1 : 0); };
        wheel = [=](uint32_t) {
            org_kde_kwin_fake_input_axis(p, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_int(10));
        };
        if (org_kde_kwin_fake_input_get_version(p) >= ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEY_SINCE_VERSION)
            key = [=](uint32_t code) {
                org_kde_kwin_fake_input_keyboard_key(p, code, 1);
                org_kde_kwin_fake_input_keyboard_key(p, code, 0);
            };
    } else {
        say(QStringLiteral("no virtual pointer"));
        return 2;
    }
    connection->roundtrip(5000);
    say(QStringLiteral("pointer"));
    QElapsedTimer clock;
    clock.start();
    char line[128];
    while (std::fgets(line, sizeof line, stdin)) {
        const QStringList w = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
        const uint32_t time = uint32_t(clock.elapsed());
        if (w.value(0) == QLatin1String("move"))
            move(time, w.value(1).toUInt(), w.value(2).toUInt());
        else if (w.value(0) == QLatin1String("press") || w.value(0) == QLatin1String("release"))
            button(time, w.value(0) == QLatin1String("press"));
        else if (w.value(0) == QLatin1String("wheel"))
            wheel(time);
        else if (w.value(0) == QLatin1String("key"))
            key(w.value(1).toUInt());
        else
            continue;
        if (!connection->roundtrip(5000))
            return 1;
        say(QStringLiteral("ok"));
    }
    return 0;
}

// KWin's picture of one output, which it writes into a pipe of ours in the
// format its answer names.
int kwinShot(const QString &output, const QString &file)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return 2;
    QDBusMessage answer;
    {
        // The message holds a copy of the pipe's end: it goes before the pipe is read to its end.
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                           QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureScreen"));
        call << output << QVariantMap{{QStringLiteral("native-resolution"), true}}
             << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        ::close(fds[1]);
        answer = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    }
    QFile pipe;
    pipe.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray bytes = answer.type() == QDBusMessage::ReplyMessage ? pipe.readAll() : QByteArray();
    const QVariantMap r = qdbus_cast<QVariantMap>(answer.arguments().value(0));
    const int width = r.value(QStringLiteral("width")).toInt(), height = r.value(QStringLiteral("height")).toInt(),
              stride = r.value(QStringLiteral("stride")).toInt();
    if (width <= 0 || height <= 0 || bytes.size() < qsizetype(stride) * height) {
        say(QStringLiteral("no picture: %1").arg(answer.errorMessage()));
        return 2;
    }
    const QImage shot(reinterpret_cast<const uchar *>(bytes.constData()), width, height, stride,
                      QImage::Format(r.value(QStringLiteral("format")).toInt()));
    return shot.save(file) ? 0 : 2;
}

int red(const QStringList &a)
{
    const QImage shot(a.value(2));
    const QRect area(a.value(3).toInt(), a.value(4).toInt(), a.value(5).toInt(), a.value(6).toInt());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (shot.valid(x, y)) {
                const QRgb c = shot.pixel(x, y);
                count += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
            }
    say(QString::number(count));
    return shot.isNull() ? 2 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString mode = a.value(1);
    if (mode == QLatin1String("overlay"))
        return overlay(a.value(2), a.contains(QStringLiteral("--pass-after-stroke")));
    if (mode == QLatin1String("flood"))
        return flood(a.value(2));
    if (mode == QLatin1String("pointer"))
        return pointer(a.value(2).toInt(), a.value(3).toInt());
    if (mode == QLatin1String("red"))
        return red(a);
    if (mode == QLatin1String("kwinshot"))
        return kwinShot(a.value(2), a.value(3));
    if (mode == QLatin1String("clicks")) {
        Clicks window;
        window.setTitle(QStringLiteral("layerprobe clicks"));
        for (QScreen *screen : app.screens())
            if (screen->name() == a.value(2)) {
                // Placed by its geometry too, or Qt takes it back to the screen that holds it.
                window.setScreen(screen);
                window.setGeometry(screen->geometry());
            }
        window.showFullScreen();
        QStringList names;
        for (QScreen *screen : app.screens())
            names << screen->name();
        say(QStringLiteral("on %1 of %2").arg(window.screen()->name(), names.join(QLatin1Char(','))));
        return app.exec();
    }
    say(QStringLiteral(
        "usage: layerprobe overlay OUTPUT [--pass-after-stroke] | flood OUTPUT | clicks OUTPUT | pointer W H | red "
        "FILE X Y W H | kwinshot OUTPUT FILE"));
    return 2;
}
