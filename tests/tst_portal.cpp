// The screenshot portal's way of taking the screen, against a stand-in portal on
// a private doc bus (the test runs under dbus-run-doc).
#include "MainFixture.h"

#include "forms/GlobalShortcut.h"
#include "forms/QtPlatform.h"
#include "forms/ScreenCapture.h"
#include "forms/ScriptedPlatform.h"
#include "present/DrawingWindow.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace testing;

Q_DECLARE_METATYPE(forms::CaptureOutcome)

class TestPortal : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess portal;

    void startPortal(const QStringList &arguments)
    {
        portal.start(QCoreApplication::applicationDirPath() + QStringLiteral("/fakeportal"), arguments);
        QVERIFY(portal.waitForStarted());
        QVERIFY(portal.waitForReadyRead(60000));
        QCOMPARE(portal.readLine().trimmed(), QByteArray("ready"));
    }

    QString picture(const QString &name)
    {
        const QString path = dir.filePath(name);
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        image.save(path);
        return path;
    }

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no doc bus: run under dbus-run-doc");
    }

    void cleanup()
    {
        portal.kill();
        portal.waitForFinished();
    }

    void answers_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<QString>("kind"); // of the file answered with
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("kept"); // the file answered with, afterwards
        const QString answer = QStringLiteral("answer"), temporary = QStringLiteral("temporary");
        QTest::newRow("answers with a file") << QStringList{answer} << "picture" << true << true;
        // The portal's answers carry no such key: whatever it says, a file that
        // was there before the request is not ours to delete.
        QTest::newRow("says its picture is temporary") << QStringList{answer, temporary} << "picture" << true << true;
        QTest::newRow("names a file that is no picture") << QStringList{answer, temporary} << "text" << false << true;
        QTest::newRow("names a named pipe") << QStringList{answer} << "fifo" << false << true;
        QTest::newRow("refuses") << QStringList{QStringLiteral("refuse")} << "" << false << true;
        QTest::newRow("no portal") << QStringList{} << "" << false << true;
        // A new file for each capture, in the home or pictures folder: it goes.
        QTest::newRow("makes a new file") << QStringList{QStringLiteral("new")} << "folder" << true << false;
        // A fixed name, written over in place: it was there before, so it stays.
        QTest::newRow("writes over a file") << QStringList{QStringLiteral("overwrite")} << "picture" << true << true;
    }
    void answers()
    {
        QFETCH(QStringList, mode);
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QFETCH(bool, kept);
        QString path;
        if (kind == QLatin1String("folder")) {
            path = dir.filePath(QStringLiteral("shots"));
            QVERIFY(QDir(path).removeRecursively() && QDir().mkpath(path));
        } else if (kind == QLatin1String("picture")) {
            path = picture(QStringLiteral("screen.png"));
        } else if (kind == QLatin1String("text")) {
            path = dir.filePath(QStringLiteral("notes.txt"));
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("the user's own notes");
        } else if (kind == QLatin1String("fifo")) {
            path = dir.filePath(QStringLiteral("pipe"));
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (!path.isEmpty())
            mode.insert(1, path);
        if (!mode.isEmpty())
            startPortal(mode);
        std::optional<QImage> image;
        {
            // Every answer is read at once; a pipe nobody writes to must not hang.
            Watchdog watchdog(60, "taking the portal's answer");
            image = forms::portalScreenshot(30000);
        }
        QCOMPARE(image.has_value(), taken);
        QCOMPARE(forms::lastCaptureOutcome() == forms::CaptureOutcome::Taken, taken);
        if (taken)
            QCOMPARE(image->pixel(3, 3), qRgb(10, 200, 30));
        if (kind == QLatin1String("folder"))
            QCOMPARE(QDir(path).entryList(QDir::Files).size(), kept ? 1 : 0);
        else if (!path.isEmpty())
            QCOMPARE(QFileInfo::exists(path), kept);
    }

    // A desktop asking the user's leave in a dialog nobody answers: the wait
    // ends, after a time or when the key asks again, and the user is told why.
    void neverAnswering_data()
    {
        QTest::addColumn<int>("timeoutMs"); // 0: the program's own
        QTest::addColumn<bool>("keyAgain");
        QTest::addColumn<forms::CaptureOutcome>("outcome");
        QTest::newRow("gives up as told") << 1000 << false << forms::CaptureOutcome::Unanswered;
        QTest::newRow("gives up by itself") << 0 << false << forms::CaptureOutcome::Unanswered;
        QTest::newRow("the key again") << 3600000 << true << forms::CaptureOutcome::Cancelled;
    }
    void neverAnswering()
    {
        QFETCH(int, timeoutMs);
        QFETCH(bool, keyAgain);
        QFETCH(forms::CaptureOutcome, outcome);
        startPortal({QStringLiteral("silent")});
        if (keyAgain)
            QTimer::singleShot(200, [] {
                QVERIFY(forms::screenCaptureWaiting());
                forms::cancelScreenCapture();
            });
        QElapsedTimer clock;
        clock.start();
        {
            // Far less than the minutes a user may leave a dialog open.
            Watchdog watchdog(60, "waiting for a portal that never answers");
            QVERIFY(!(timeoutMs ? forms::portalScreenshot(timeoutMs) : forms::portalScreenshot()));
        }
        if (!keyAgain && timeoutMs)
            QVERIFY(clock.elapsed() >= timeoutMs); // it waited as long as it was told to
        QVERIFY(!forms::screenCaptureWaiting());
        QCOMPARE(forms::lastCaptureOutcome(), outcome);
        QCOMPARE(
            forms::captureFailureMessage(),
            QStringLiteral("デスクトップが画面の取り込みの許可を求めています。許可してからもう一度お試しください。"));
    }

    // While the screen is being taken the desktop may wait on its user: the
    // calling key, or `sketrin --draw`, ends the wait, and the main window comes
    // back saying what the desktop asks.
    void theKeyAgainEndsTheWait_data()
    {
        QTest::addColumn<bool>("command"); // the key's command, or the entry `sketrin --draw` knocks on
        QTest::newRow("the key") << true;
        QTest::newRow("sketrin --draw") << false;
    }
    void theKeyAgainEndsTheWait()
    {
        QFETCH(bool, command);
        startPortal({QStringLiteral("silent")});
        struct PortalPlatform : forms::ScriptedPlatform
        {
            std::optional<QImage> captureScreen(QScreen *) override
            {
                ++captures;
                return forms::portalScreenshot(3600000);
            }
        };
        PortalPlatform platform;
        Main window(platform);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(300, &window, [&] {
            QVERIFY(forms::screenCaptureWaiting());
            if (command)
                window.CmdDrawOnScreen_Click();
            else
                window.enterDrawingMode();
        });
        {
            Watchdog watchdog(60, "a capture the key should have ended");
            window.CmdDrawOnScreen_Click();
        }
        QCOMPARE(platform.captures, 1);
        QVERIFY(!window.drawingWindow());
        QVERIFY(window.isVisible());
        QCOMPARE(platform.msgBoxes.size(), 1);
        QCOMPARE(
            platform.msgBoxes.first().prompt,
            QStringLiteral("デスクトップが画面の取り込みの許可を求めています。許可してからもう一度お試しください。"));
        // And the key works again afterwards.
        QTimer::singleShot(300, &window, [&] { forms::cancelScreenCapture(); });
        window.CmdDrawOnScreen_Click();
        QCOMPARE(platform.captures, 2);
    }

    // The user allows the capture after the program stopped waiting: the file
    // the portal then makes for it goes all the same.
    void lateAnswer()
    {
        const QString shots = dir.filePath(QStringLiteral("late"));
        QVERIFY(QDir(shots).removeRecursively() && QDir().mkpath(shots));
        startPortal({QStringLiteral("--answer-after"), QStringLiteral("1500"), QStringLiteral("new"), shots});
        QVERIFY(!forms::portalScreenshot(200));
        QCOMPARE(forms::lastCaptureOutcome(), forms::CaptureOutcome::Unanswered);
        QByteArray said; // the macro reads more than once
        QTRY_VERIFY_WITH_TIMEOUT((said += portal.readAll()).contains("answered"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(QDir(shots).entryList(QDir::Files).size(), 0, 60000);
    }

    // The global shortcuts portal binds Ctrl+Shift+D and reports it pressed:
    // the key comes with the session, under the same session token on every
    // run, and BindShortcuts is called only where the session did not bind it.
    void globalShortcutThroughThePortal_data()
    {
        QTest::addColumn<bool>("withSession");
        QTest::newRow("binds on BindShortcuts") << false;
        QTest::newRow("binds with the session") << true;
    }
    void globalShortcutThroughThePortal()
    {
        QFETCH(bool, withSession);
        QStringList arguments{QStringLiteral("silent")};
        if (withSession)
            arguments.prepend(QStringLiteral("--binds-with-session"));
        startPortal(arguments);
        QByteArray said;
        for (int run = 0; run < 2; ++run) {
            forms::GlobalShortcut key;
            QSignalSpy pressed(&key, &forms::GlobalShortcut::activated);
            QVERIFY(key.usePortal());
            QVERIFY(pressed.wait(30000));
            QVERIFY(key.portalSession().endsWith(QLatin1String("/sketrin")));
            said += portal.readAll();
        }
        QCOMPARE(said.count("session sketrin with [draw-on-screen CTRL+SHIFT+d,draw-live CTRL+SHIFT+l]"), 2);
        QCOMPARE(said.count("bound draw-on-screen CTRL+SHIFT+d"), withSession ? 0 : 2);
        QCOMPARE(said.count("bound draw-live CTRL+SHIFT+l"), withSession ? 0 : 2);
        QVERIFY(!said.contains("settings opened"));
    }

    // On Wayland (headless Weston runs this) the program itself takes the
    // portal's way: the capture command, and the drawing mode that the global
    // shortcuts portal calls up, each show the screenshot portal's picture.
    void theProgramTakesThePortalOnWayland_data()
    {
        QTest::addColumn<bool>("mode");
        QTest::newRow("capture") << false;
        QTest::newRow("drawing mode") << true;
    }
    void theProgramTakesThePortalOnWayland()
    {
        if (!forms::screenshotsNeedThePortal())
            QSKIP("only on Wayland");
        QFETCH(bool, mode);
        startPortal({QStringLiteral("answer"), picture(QStringLiteral("screen.png"))});
        forms::QtPlatform platform;
        Main window(platform);
        platform.setDialogParent(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (!mode) {
            window.CmdScreenCapture_Click();
            QVERIFY(window.tools().pictureLoaded());
            QCOMPARE(window.surface().visibleImage().pixel(3, 3), qRgb(10, 200, 30));
            QVERIFY(window.isVisible());
            return;
        }
        QString why;
        QVERIFY2(window.grabDrawingKey(why), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(window.drawingWindow(), 60000);
        QVERIFY(QTest::qWaitForWindowExposed(window.drawingWindow()));
        const QImage shown = window.drawingWindow()->picture();
        QCOMPARE(shown.pixel(3, 3), qRgb(10, 200, 30));
        const QScreen *on = window.drawingWindow()->screen();
        QCOMPARE(shown.size(), (QSizeF(on->size()) * on->devicePixelRatio()).toSize());
        window.leaveDrawingMode();
        QVERIFY(window.isVisible());
    }

    // One monitor cut from the portal's picture of the whole desktop, at that
    // monitor's own device size wherever the portal rendered at another scale.
    void cropOfOneMonitor_data()
    {
        QTest::addColumn<QRect>("desktop");  // logical
        QTest::addColumn<qreal>("rendered"); // the portal picture's pixels to a logical pixel
        QTest::addColumn<QRect>("monitor");  // logical
        QTest::addColumn<qreal>("scale");    // the monitor's
        QTest::newRow("one monitor") << QRect(0, 0, 400, 300) << 1.0 << QRect(0, 0, 400, 300) << 1.0;
        QTest::newRow("right of two, same scale") << QRect(0, 0, 800, 300) << 1.0 << QRect(400, 0, 400, 300) << 1.0;
        QTest::newRow("x1 monitor, rendered at x2") << QRect(0, 0, 700, 300) << 2.0 << QRect(0, 0, 400, 300) << 1.0;
        QTest::newRow("x2 monitor, rendered at x1") << QRect(0, 0, 700, 300) << 1.0 << QRect(400, 0, 300, 200) << 2.0;
        QTest::newRow("x1.5 monitor below") << QRect(0, 0, 400, 500) << 1.5 << QRect(0, 300, 400, 200) << 1.5;
        QTest::newRow("desktop not at 0,0") << QRect(-400, 0, 800, 300) << 1.0 << QRect(-400, 0, 400, 300) << 1.0;
    }
    void cropOfOneMonitor()
    {
        QFETCH(QRect, desktop);
        QFETCH(qreal, rendered);
        QFETCH(QRect, monitor);
        QFETCH(qreal, scale);
        // Every logical pixel of the desktop in a colour of its own place.
        auto red = [](int lx) { return ((lx + 1000) / 10) % 256; };
        QImage picture(int(desktop.width() * rendered), int(desktop.height() * rendered), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const int lx = desktop.x() + int(x / rendered), ly = desktop.y() + int(y / rendered);
                picture.setPixel(x, y, qRgb(red(lx), red(ly), (lx + ly + 1000) % 7 * 30));
            }
        const QImage crop = forms::cropScreen(picture, desktop, monitor, scale);
        QCOMPARE(crop.size(), (QSizeF(monitor.size()) * scale).toSize());
        QCOMPARE(crop.devicePixelRatio(), scale);
        // Away from the blend of a resampling, each place shows its own colour.
        for (const QPoint &p : {QPoint(15, 15), QPoint(monitor.width() - 16, monitor.height() - 16)}) {
            const QPoint logical = monitor.topLeft() + p;
            const QRgb seen = crop.pixel((QPointF(p) * scale + QPointF(0.5, 0.5) * scale).toPoint());
            QCOMPARE(qRed(seen), red(logical.x()));
            QCOMPARE(qGreen(seen), red(logical.y()));
        }
    }
};

QTEST_MAIN(TestPortal)
#include "tst_portal.moc"
