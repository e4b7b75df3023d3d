// The screenshot portal's way of taking the screen, against a stand-in portal on
// a private session bus (the test runs under dbus-run-session).
#include "MainFixture.h"

#include "forms/QtPlatform.h"
#include "forms/ScreenCapture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

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
        QVERIFY(portal.waitForReadyRead(5000));
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
            QSKIP("no session bus: run under dbus-run-session");
    }

    void cleanup()
    {
        portal.kill();
        portal.waitForFinished();
    }

    void answers_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("fileKept");
        QTest::newRow("answers with a file")
            << QStringList{QStringLiteral("answer"), QStringLiteral("kept.png")} << true << true;
        QTest::newRow("answers with a temporary file")
            << QStringList{QStringLiteral("answer"), QStringLiteral("temp.png"), QStringLiteral("temporary")} << true
            << false;
        QTest::newRow("refuses") << QStringList{QStringLiteral("refuse")} << false << true;
        QTest::newRow("no portal") << QStringList{} << false << true;
    }
    void answers()
    {
        QFETCH(QStringList, mode);
        QFETCH(bool, taken);
        QFETCH(bool, fileKept);
        QString path;
        if (mode.size() > 1) {
            path = picture(mode.at(1));
            mode[1] = path;
        }
        if (!mode.isEmpty())
            startPortal(mode);
        QElapsedTimer clock;
        clock.start();
        const std::optional<QImage> image = forms::portalScreenshot(5000);
        QVERIFY(clock.elapsed() < 4000); // every answer comes long before the time-out
        QCOMPARE(image.has_value(), taken);
        if (taken)
            QCOMPARE(image->pixel(3, 3), qRgb(10, 200, 30));
        if (!path.isEmpty())
            QCOMPARE(QFileInfo::exists(path), fileKept);
    }

    void neverAnswering()
    {
        startPortal({QStringLiteral("silent")});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!forms::portalScreenshot(1000));
        QVERIFY(clock.elapsed() >= 1000 && clock.elapsed() < 4000);
    }

    // On Wayland (headless Weston runs this), the program itself takes the
    // portal's way.
    void theProgramTakesThePortalOnWayland()
    {
        if (!forms::screenshotsNeedThePortal())
            QSKIP("only on Wayland");
        startPortal({QStringLiteral("answer"), picture(QStringLiteral("screen.png"))});
        forms::QtPlatform platform;
        Main window(platform);
        platform.setDialogParent(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.CmdScreenCapture_Click();
        QVERIFY(window.tools().pictureLoaded());
        QCOMPARE(window.surface().visibleImage().pixel(3, 3), qRgb(10, 200, 30));
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(TestPortal)
#include "tst_portal.moc"
