#include "forms/UserScreen.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstring>

namespace forms {

namespace {

QScreen *screenNamed(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

// One message of sway's (i3's) IPC: "i3-ipc", the payload's length and the
// message type, both 32 bits in the machine's order, then the payload.
QByteArray askSway(const QString &socketPath, quint32 type)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(1000))
        return {};
    QByteArray request("i3-ipc");
    const quint32 header[2] = {0, type};
    request.append(reinterpret_cast<const char *>(header), sizeof header);
    socket.write(request);
    QByteArray answer;
    const int headerSize = 6 + 8;
    while (socket.waitForReadyRead(2000)) {
        answer += socket.readAll();
        if (answer.size() < headerSize)
            continue;
        quint32 length = 0;
        std::memcpy(&length, answer.constData() + 6, sizeof length);
        if (length > 16 * 1024 * 1024)
            return {};
        if (answer.size() >= headerSize + qint64(length))
            return answer.mid(headerSize, length);
    }
    return {};
}

QString kwinActiveOutput()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.kde.KWin");
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service).value())
        return {};
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/KWin"), service, QStringLiteral("activeOutputName"));
    call.setAutoStartService(false);
    const QDBusMessage answer = bus.call(call, QDBus::Block, 2000);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty())
        return {};
    return answer.arguments().constFirst().toString();
}

// Shows a see-through window without naming a monitor and waits, a little,
// for the compositor to tell which it went to. A window reports a monitor only
// when it moves to another, so the probe starts out on `guess`: no word means
// it stayed there.
QScreen *whereTheCompositorPuts(QScreen *guess)
{
    QWidget probe(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    probe.setAttribute(Qt::WA_TranslucentBackground);
    probe.setAttribute(Qt::WA_ShowWithoutActivating);
    probe.resize(1, 1);
    probe.createWinId();
    probe.windowHandle()->setScreen(guess);
    QEventLoop loop;
    QObject::connect(probe.windowHandle(), &QWindow::screenChanged, &loop, &QEventLoop::quit);
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    probe.show();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QScreen *placed = probe.windowHandle()->screen();
    probe.hide();
    return placed ? placed : guess;
}

} // namespace

QString focusedSwayOutput(const QByteArray &outputsJson)
{
    const QJsonArray outputs = QJsonDocument::fromJson(outputsJson).array();
    for (const QJsonValue &output : outputs) {
        const QJsonObject o = output.toObject();
        if (o.value(QLatin1String("focused")).toBool() && o.value(QLatin1String("active")).toBool(true))
            return o.value(QLatin1String("name")).toString();
    }
    return {};
}

QScreen *screenOfTheUser(QScreen *guess)
{
    if (QGuiApplication::screens().size() < 2)
        return guess ? guess : QGuiApplication::primaryScreen();
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    if (!sway.isEmpty())
        if (QScreen *s = screenNamed(focusedSwayOutput(askSway(sway, 3 /* GET_OUTPUTS */))))
            return s;
    if (QScreen *s = screenNamed(kwinActiveOutput()))
        return s;
    return whereTheCompositorPuts(guess ? guess : QGuiApplication::primaryScreen());
}

} // namespace forms
