// A stand-in for the desktop's screenshot portal, on whatever session bus it is
// started on. It says "ready" once it owns the portal's name.
//   fakeportal answer FILE [temporary]   answers with FILE
//   fakeportal new DIR                   writes a new picture in DIR and answers with it
//   fakeportal overwrite FILE            writes a picture over FILE and answers with it
//   fakeportal refuse                    answers that the user cancelled
//   fakeportal silent                    never answers
// In every mode it is also a global shortcuts portal that, once a shortcut is
// bound, reports it pressed. It binds them on BindShortcuts; with
// --binds-with-session first it binds those that come with CreateSession, says
// so in its answer, and BindShortcuts opens its "settings". What it was sent it
// prints on standard output. --answer-after MS first holds each screenshot's
// answer back that long (50 ms otherwise).
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <cstdio>

class Portal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    QString mode;
    QString file;
    bool temporary = false;
    int made = 0;
    int delay = 50; // before the answer, in milliseconds

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
                               options.value(QStringLiteral("handle_token")).toString();
        if (mode != QLatin1String("silent")) {
            QTimer::singleShot(delay, this, [this, handle] {
                QDBusMessage response = QDBusMessage::createSignal(
                    handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
                QVariantMap results;
                bool ok = mode == QLatin1String("answer");
                if (mode == QLatin1String("new") || mode == QLatin1String("overwrite")) {
                    const QString path = mode == QLatin1String("new")
                                             ? QDir(file).filePath(QStringLiteral("Screenshot-%1.png").arg(++made))
                                             : file;
                    QImage shot(64, 32, QImage::Format_RGB32);
                    shot.fill(qRgb(10, 200, 30));
                    QFile out(path); // written in place, as a screenshot tool writes
                    if (out.open(QIODevice::ReadWrite) && out.resize(0) && shot.save(&out, "PNG"))
                        results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(path).toString());
                    ok = true;
                } else if (mode == QLatin1String("answer")) {
                    results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
                    if (temporary)
                        results.insert(QStringLiteral("temporary"), true);
                }
                response << uint(ok ? 0 : 1) << results;
                QDBusConnection::sessionBus().send(response);
                std::printf("answered\n");
                std::fflush(stdout);
            });
        }
        return QDBusObjectPath(handle);
    }
};

struct Shortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(Shortcut)
QDBusArgument &operator<<(QDBusArgument &a, const Shortcut &s)
{
    a.beginStructure();
    a << s.id << s.properties;
    a.endStructure();
    return a;
}
const QDBusArgument &operator>>(const QDBusArgument &a, Shortcut &s)
{
    a.beginStructure();
    a >> s.id >> s.properties;
    a.endStructure();
    return a;
}

// The global shortcuts portal: sessions are granted, and each bound shortcut is
// "pressed" a moment later.
class Shortcuts : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")

public:
    explicit Shortcuts(QObject *portal) : QDBusAbstractAdaptor(portal) {}
    bool bindsWithSession = false;

    static QList<Shortcut> shortcutsIn(const QVariantMap &options)
    {
        QList<Shortcut> shortcuts;
        const QVariant value = options.value(QStringLiteral("shortcuts"));
        if (value.canConvert<QDBusArgument>())
            value.value<QDBusArgument>() >> shortcuts;
        return shortcuts;
    }
    static void pressLater(const QDBusObjectPath &session, const QString &id)
    {
        QTimer::singleShot(300, [session, id] {
            QDBusMessage activated = QDBusMessage::createSignal(
                QStringLiteral("/org/freedesktop/portal/desktop"),
                QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
            activated << QVariant::fromValue(session) << id << qulonglong(0) << QVariantMap();
            QDBusConnection::sessionBus().send(activated);
        });
    }

    static QString path(const QDBusMessage &message, const QString &kind, const QString &token)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        return QStringLiteral("/org/freedesktop/portal/desktop/") + kind + QLatin1Char('/') + sender +
               QLatin1Char('/') + token;
    }
    static void respond(const QString &request, const QVariantMap &results)
    {
        QTimer::singleShot(50, [request, results] {
            QDBusMessage response = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << uint(0) << results;
            QDBusConnection::sessionBus().send(response);
        });
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message)
    {
        const QString request = path(message, QStringLiteral("request"), options.value("handle_token").toString());
        const QString token = options.value("session_handle_token").toString();
        const QString session = path(message, QStringLiteral("session"), token);
        const QList<Shortcut> sent = shortcutsIn(options);
        QStringList ids;
        for (const Shortcut &shortcut : sent)
            ids << shortcut.id + QLatin1Char(' ') +
                       shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
        std::printf("session %s with [%s]\n", qPrintable(token), qPrintable(ids.join(QLatin1Char(','))));
        std::fflush(stdout);
        QVariantMap results{{QStringLiteral("session_handle"), session}};
        if (bindsWithSession && !sent.isEmpty()) {
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(sent));
            pressLater(QDBusObjectPath(session), sent.first().id);
        }
        respond(request, results);
        return QDBusObjectPath(request);
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session, const QList<Shortcut> &shortcuts, const QString &,
                                  const QVariantMap &options, const QDBusMessage &message)
    {
        QString id;
        for (const Shortcut &shortcut : shortcuts) {
            if (id.isEmpty())
                id = shortcut.id;
            std::printf("bound %s %s\n", qPrintable(shortcut.id),
                        qPrintable(shortcut.properties.value(QStringLiteral("preferred_trigger")).toString()));
        }
        if (bindsWithSession)
            std::printf("settings opened\n");
        std::fflush(stdout);
        const QString request = path(message, QStringLiteral("request"), options.value("handle_token").toString());
        respond(request, {});
        if (!bindsWithSession)
            pressLater(session, id);
        return QDBusObjectPath(request);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    QStringList args = app.arguments();
    Portal portal;
    auto *shortcuts = new Shortcuts(&portal);
    shortcuts->bindsWithSession = args.removeAll(QStringLiteral("--binds-with-session")) > 0;
    const int late = args.indexOf(QStringLiteral("--answer-after"));
    if (late > 0) {
        portal.delay = args.value(late + 1).toInt();
        args.remove(late, 2);
    }
    portal.mode = args.value(1);
    portal.file = args.value(2);
    portal.temporary = args.value(3) == QLatin1String("temporary");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool registered = bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAdaptors);
    if (!registered || !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "cannot take the portal's name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fakeportal.moc"
