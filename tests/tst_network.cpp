// The rating request against misbehaving servers on this machine. The window
// reaches its Done state at once, nothing of the answer is read, and nothing hangs
// when the program ends.
#include "TestSupport.h"
#include "forms/QtPlatform.h"
#include "forms/ScriptedPlatform.h"
#include "info/ZELVO.h"

#include <QComboBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

class NetPlatform : public forms::ScriptedPlatform
{
public:
    std::unique_ptr<forms::QtPlatform> real = std::make_unique<forms::QtPlatform>();
    void httpGet(const QUrl &url) override
    {
        ScriptedPlatform::httpGet(url);
        real->httpGet(url);
    }
};

// A server that misbehaves in one of several ways.
class BadServer : public QObject
{
public:
    enum Mode { Silent, SlowFlood, RedirectLoop };

    explicit BadServer(Mode mode) : m_mode(mode)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++connections;
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    request += s->readAll();
                    if (request.contains("\r\n\r\n"))
                        answer(s);
                });
                connect(s, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            }
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    int connections = 0;
    int disconnects = 0;
    qint64 sent = 0;
    QByteArray request;

private:
    void answer(QTcpSocket *s)
    {
        if (m_mode == RedirectLoop) {
            const QByteArray there = "http://127.0.0.1:" + QByteArray::number(port()) + "/v.cgi";
            s->write("HTTP/1.1 302 Found\r\nLocation: " + there + "\r\nContent-Length: 0\r\n\r\n");
        } else if (m_mode == SlowFlood) {
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n");
            auto *timer = new QTimer(s);
            connect(timer, &QTimer::timeout, s, [this, s] {
                if (s->state() != QAbstractSocket::ConnectedState || sent >= 100000000)
                    return;
                sent += s->write(QByteArray(64 * 1024, 'x'));
            });
            timer->start(10);
        }
    }

    Mode m_mode;
    QTcpServer m_server;
};

bool isDone(ZELVO &z)
{
    return !z.Submit->isVisibleTo(&z) && z.Reset->isEnabled() && z.Reset->isDefault() && !z.Vote->isEnabled();
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

    // Sends a rating to `base`, checks the Done state, and then ends the platform
    // (as the program's end does) within a bound.
    void sendAndEnd(NetPlatform &platform, const QString &base, int settleMs)
    {
        {
            ZELVO z(platform, nullptr, base);
            z.Submit_Click();
            QVERIFY(isDone(z));
            QCOMPARE(platform.msgBoxes.size(), 2);
        }
        QTest::qWait(settleMs);
        testing::Watchdog watchdog(30, "ending the platform");
        platform.real.reset();
    }

private slots:
    void refused()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        NetPlatform platform;
        sendAndEnd(platform, QStringLiteral("http://127.0.0.1:%1/v.cgi").arg(port), 300);
    }

    void acceptsAndNeverAnswers()
    {
        BadServer server(BadServer::Silent);
        NetPlatform platform;
        sendAndEnd(platform, QStringLiteral("http://127.0.0.1:%1/v.cgi").arg(server.port()), 500);
        QTRY_COMPARE_WITH_TIMEOUT(server.connections, 1, 30000);
        QVERIFY(server.request.startsWith("GET /v.cgi?mode=vote&no=0&namber=3 "));
    }

    void slowHundredMegabytes()
    {
        BadServer server(BadServer::SlowFlood);
        NetPlatform platform;
        sendAndEnd(platform, QStringLiteral("http://127.0.0.1:%1/v.cgi").arg(server.port()), 1000);
        // The client let go as soon as the answer began.
        QTRY_COMPARE_WITH_TIMEOUT(server.disconnects, 1, 30000);
        QVERIFY2(server.sent < 4 * 1024 * 1024, qPrintable(QString::number(server.sent)));
    }

    void redirectLoop()
    {
        BadServer server(BadServer::RedirectLoop);
        NetPlatform platform;
        sendAndEnd(platform, QStringLiteral("http://127.0.0.1:%1/v.cgi").arg(server.port()), 1000);
        QCOMPARE(server.connections, 1); // the redirect is not followed
    }

    void nameThatDoesNotResolve()
    {
        NetPlatform platform;
        sendAndEnd(platform, QStringLiteral("http://no-such-host.invalid/v.cgi"), 300);
    }
};

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
