#include "forms/BusEntry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <utility>

namespace forms {

const char *const BusEntry::Service = "test.velmorasw.Sketrin";
const char *const BusEntry::Path = "/Sketrin";

BusEntry::BusEntry(QObject *parent) : QObject(parent) {}

BusEntry::~BusEntry()
{
    if (m_open) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(Path));
        bus.unregisterService(QString::fromLatin1(Service));
    }
}

bool BusEntry::open()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_open || !bus.isConnected())
        return m_open;
    if (!bus.registerObject(QString::fromLatin1(Path), this, QDBusConnection::ExportAllSlots))
        return false;
    // Without queueing: a second program leaves the first its name.
    const auto reply =
        bus.interface()->registerService(QString::fromLatin1(Service), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(Path));
        return false;
    }
    m_open = true;
    return true;
}

bool BusEntry::running()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QString::fromLatin1(Service)).value();
}

namespace {

bool ask(const QString &method, const QVariantList &arguments, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(BusEntry::Service), QString::fromLatin1(BusEntry::Path),
                                       QString::fromLatin1(BusEntry::Service), method);
    call.setArguments(arguments);
    if (bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage)
        return true;
    return BusEntry::running();
}

} // namespace

bool BusEntry::askToDraw(const QString &file, int timeoutMs)
{
    if (file.isEmpty())
        return ask(QStringLiteral("Draw"), {}, timeoutMs);
    return ask(QStringLiteral("DrawWith"), {file}, timeoutMs);
}

bool BusEntry::askToDrawLive(int timeoutMs)
{
    return ask(QStringLiteral("DrawLive"), {}, timeoutMs);
}

void BusEntry::Draw()
{
    DrawWith(QString());
}

void BusEntry::DrawWith(const QString &file)
{
    QMetaObject::invokeMethod(
        this, [this, file] { deliver([this, file] { emit drawRequested(file); }); }, Qt::QueuedConnection);
}

void BusEntry::DrawLive()
{
    QMetaObject::invokeMethod(
        this, [this] { deliver([this] { emit liveRequested(); }); }, Qt::QueuedConnection);
}

void BusEntry::deliver(const std::function<void()> &request)
{
    if (m_listening)
        request();
    else
        m_waiting.push_back(request);
}

void BusEntry::listen()
{
    m_listening = true;
    for (const auto &request : std::exchange(m_waiting, {}))
        request();
}

} // namespace forms
