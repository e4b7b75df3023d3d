// A stand-in for the desktop's screenshot portal, on whatever session bus it is
// started on. It says "ready" once it owns the portal's name.
//   fakeportal answer FILE [temporary]   answers with FILE
//   fakeportal refuse                    answers that the user cancelled
//   fakeportal silent                    never answers
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
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

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
                               options.value(QStringLiteral("handle_token")).toString();
        if (mode != QLatin1String("silent")) {
            QTimer::singleShot(50, this, [this, handle] {
                QDBusMessage response = QDBusMessage::createSignal(
                    handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
                QVariantMap results;
                if (mode == QLatin1String("answer")) {
                    results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(file).toString());
                    if (temporary)
                        results.insert(QStringLiteral("temporary"), true);
                }
                response << uint(mode == QLatin1String("answer") ? 0 : 1) << results;
                QDBusConnection::sessionBus().send(response);
            });
        }
        return QDBusObjectPath(handle);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    Portal portal;
    portal.mode = args.value(1);
    portal.file = args.value(2);
    portal.temporary = args.value(3) == QLatin1String("temporary");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "cannot take the portal's name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fakeportal.moc"
