#include "forms/ScreenCapture.h"

#include "forms/RegularFile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace forms {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Waits for one Response signal of a portal request.
class ResponseWaiter : public QObject
{
    Q_OBJECT

public:
    QEventLoop loop;
    std::optional<uint> response;
    QVariantMap results;

public slots:
    void onResponse(uint code, const QVariantMap &answer)
    {
        response = code;
        results = answer;
        loop.quit();
    }
};

} // namespace

bool screenshotsNeedThePortal()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::optional<QImage> grabScreen(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screenshotsNeedThePortal()) {
        // The portal takes the whole desktop: only the monitor asked for is kept.
        const std::optional<QImage> desktop = portalScreenshot();
        if (!desktop || !screen)
            return desktop;
        const QImage crop =
            cropScreen(*desktop, screen->virtualGeometry(), screen->geometry(), screen->devicePixelRatio());
        if (crop.isNull())
            return std::nullopt;
        return crop;
    }
    if (!screen)
        return std::nullopt;
    const QImage image = screen->grabWindow(0).toImage();
    if (image.isNull())
        return std::nullopt;
    return image;
}

QImage cropScreen(const QImage &picture, const QRect &desktop, const QRect &monitor, qreal scale)
{
    if (picture.isNull() || desktop.isEmpty() || monitor.isEmpty() || scale <= 0)
        return {};
    // The picture's own pixels to a logical pixel, across and down.
    const qreal kx = picture.width() / qreal(desktop.width());
    const qreal ky = picture.height() / qreal(desktop.height());
    const QRectF from(QPointF(monitor.topLeft() - desktop.topLeft()) * 1.0, QSizeF(monitor.size()));
    const QRect source = QRectF(from.x() * kx, from.y() * ky, from.width() * kx, from.height() * ky)
                             .toRect()
                             .intersected(picture.rect());
    const QSize device = (QSizeF(monitor.size()) * scale).toSize();
    QImage crop = picture.copy(source);
    if (crop.size() != device)
        crop = crop.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    crop.setDevicePixelRatio(scale);
    return crop;
}

std::optional<QImage> portalScreenshot(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    // The request's object path is known before the call, from our bus name and
    // a token of our own, so the answer cannot arrive before we listen.
    const QString token = QStringLiteral("sketrin%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected = PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    ResponseWaiter waiter;
    bus.connect(PortalService, expected, RequestInterface, QStringLiteral("Response"), &waiter,
                SLOT(onResponse(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalService, PortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    options.insert(QStringLiteral("modal"), false);
    call << QString() << options;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // the time-out is a promise, not a hint
    QObject::connect(&deadline, &QTimer::timeout, &waiter.loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    const QDBusReply<QDBusObjectPath> handle = bus.call(call, QDBus::Block, timeoutMs);
    if (!handle.isValid()) {
        bus.disconnect(PortalService, expected, RequestInterface, QStringLiteral("Response"), &waiter,
                       SLOT(onResponse(uint, QVariantMap)));
        return std::nullopt; // no portal, or it would not take the request
    }
    if (handle.value().path() != expected) // an older portal chose its own path
        bus.connect(PortalService, handle.value().path(), RequestInterface, QStringLiteral("Response"), &waiter,
                    SLOT(onResponse(uint, QVariantMap)));
    if (!waiter.response && deadline.isActive())
        waiter.loop.exec(QEventLoop::ExcludeUserInputEvents);
    bus.disconnect(PortalService, expected, RequestInterface, QStringLiteral("Response"), &waiter,
                   SLOT(onResponse(uint, QVariantMap)));
    bus.disconnect(PortalService, handle.value().path(), RequestInterface, QStringLiteral("Response"), &waiter,
                   SLOT(onResponse(uint, QVariantMap)));
    if (!waiter.response || *waiter.response != 0)
        return std::nullopt; // refused, cancelled, or no answer in time

    const QUrl uri(waiter.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return std::nullopt;
    // Read as any picture file is: only a regular file, opened without blocking.
    // It is the portal's file, never ours to delete.
    QFile file;
    qint64 size = 0;
    QString error;
    if (!openRegularFile(uri.toLocalFile(), file, size, error))
        return std::nullopt;
    QImageReader reader(&file);
    reader.setAllocationLimit(256);
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace forms

#include "ScreenCapture.moc"
