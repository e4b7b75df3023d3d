#include "forms/SessionEntry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace forms {

const char *const SessionEntry::Service = "test.velmorasw.Sketrin";
const char *const SessionEntry::Path = "/Sketrin";

SessionEntry::SessionEntry(QObject *parent) : QObject(parent) {}

SessionEntry::~SessionEntry()
{
    if (m_open) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(Path));
        bus.unregisterService(QString::fromLatin1(Service));
    }
}

bool SessionEntry::open()
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

bool SessionEntry::running()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QString::fromLatin1(Service)).value();
}

bool SessionEntry::askToDraw(const QString &file, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromLatin1(Path),
                                       QString::fromLatin1(Service), file.isEmpty() ? QStringLiteral("Draw")
                                                                                    : QStringLiteral("DrawWith"));
    if (!file.isEmpty())
        call << file;
    if (bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage)
        return true;
    return running();
}

void SessionEntry::Draw()
{
    DrawWith(QString());
}

void SessionEntry::DrawWith(const QString &file)
{
    QMetaObject::invokeMethod(
        this, [this, file] { emit drawRequested(file); }, Qt::QueuedConnection);
}

} // namespace forms
