// The screenshot portal's way of taking the screen, against a stand-in portal on
// a private doc bus (the test runs under dbus-run-doc).
#include "MainFixture.h"

#include "forms/GlobalShortcut.h"
#include "forms/QtPlatform.h"
#include "forms/ScreenCapture.h"
#include "present/DrawingWindow.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace testing;

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
        const QString answer = QStringLiteral("answer"), temporary = QStringLiteral("temporary");
        QTest::newRow("answers with a file") << QStringList{answer} << "picture" << true;
        // The portal's answers carry no such key: whatever it says, its file is
        // not ours to delete.
        QTest::newRow("says its picture is temporary") << QStringList{answer, temporary} << "picture" << true;
        QTest::newRow("names a file that is no picture") << QStringList{answer, temporary} << "text" << false;
        QTest::newRow("names a named pipe") << QStringList{answer} << "fifo" << false;
        QTest::newRow("refuses") << QStringList{QStringLiteral("refuse")} << "" << false;
        QTest::newRow("no portal") << QStringList{} << "" << false;
    }
    void answers()
    {
        QFETCH(QStringList, mode);
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QString path;
        if (kind == QLatin1String("picture")) {
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
        if (taken)
            QCOMPARE(image->pixel(3, 3), qRgb(10, 200, 30));
        if (!path.isEmpty())
            QVERIFY(QFileInfo::exists(path));
    }

    void neverAnswering()
    {
        startPortal({QStringLiteral("silent")});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!forms::portalScreenshot(1000));
        QVERIFY(clock.elapsed() >= 1000); // it waited as long as it was told to
    }

    // The global shortcuts portal binds Ctrl+Shift+D and reports it pressed.
    void globalShortcutThroughThePortal()
    {
        startPortal({QStringLiteral("silent")});
        forms::GlobalShortcut key;
        QSignalSpy pressed(&key, &forms::GlobalShortcut::activated);
        QVERIFY(key.usePortal());
        QVERIFY(pressed.wait(30000));
        QVERIFY(portal.readAll().contains("bound draw-on-screen CTRL+SHIFT+d"));
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
};

QTEST_MAIN(TestPortal)
#include "tst_portal.moc"
