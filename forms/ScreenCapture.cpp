#include "forms/ScreenCapture.h"

#include "forms/RegularFile.h"
#include "wayland/Connection.h"
#include "wayland/ScreenCopy.h"

#include <QCoreApplication>
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

#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

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
    bool cancelled = false;

public slots:
    void onResponse(uint code, const QVariantMap &answer)
    {
        response = code;
        results = answer;
        loop.quit();
    }
};

ResponseWaiter *waiting = nullptr;
CaptureOutcome outcome = CaptureOutcome::Failed;

// The file system's own clock: a file's times come from it, and the precise
// clock may run a little ahead of it.
timespec fileClockNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool notBefore(const statx_timestamp &t, const timespec &since)
{
    return t.tv_sec > since.tv_sec || (t.tv_sec == since.tv_sec && qint64(t.tv_nsec) >= since.tv_nsec);
}

// Removes the portal's file when it is certainly the one made for this
// request: a regular file born (and written) after the request went out.
// Where the file system keeps no birth time nothing is removed.
void removeIfMadeSince(const QString &path, const timespec &since)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    const unsigned want = STATX_TYPE | STATX_INO | STATX_BTIME | STATX_MTIME;
    struct statx opened
    {
    }, named{};
    const bool known = statx(fd, "", AT_EMPTY_PATH, want, &opened) == 0 &&
                       statx(AT_FDCWD, name.constData(), AT_SYMLINK_NOFOLLOW, want, &named) == 0;
    ::close(fd);
    // The name still names the file that was looked at.
    if (!known || !(opened.stx_mask & STATX_BTIME) || !S_ISREG(opened.stx_mode) || named.stx_ino != opened.stx_ino ||
        named.stx_dev_major != opened.stx_dev_major || named.stx_dev_minor != opened.stx_dev_minor)
        return;
    if (notBefore(opened.stx_btime, since) && notBefore(opened.stx_mtime, since))
        ::unlink(name.constData());
}

// Listens on after the program gave up waiting: a desktop whose user allows
// the capture late still writes its file, which is then removed as well.
class LateAnswer : public QObject
{
    Q_OBJECT

public:
    // Owned by the application: it goes with it at the latest.
    LateAnswer(const QStringList &requests, const timespec &asked)
        : QObject(QCoreApplication::instance()), m_requests(requests), m_asked(asked)
    {
        m_requests.removeDuplicates();
        for (const QString &path : m_requests)
            QDBusConnection::sessionBus().connect(PortalService, path, RequestInterface, QStringLiteral("Response"),
                                                  this, SLOT(onResponse(uint, QVariantMap)));
        QTimer::singleShot(std::chrono::minutes(10), this, &QObject::deleteLater);
    }

public slots:
    void onResponse(uint code, const QVariantMap &answer)
    {
        const QUrl uri(answer.value(QStringLiteral("uri")).toString());
        if (code == 0 && uri.isLocalFile())
            removeIfMadeSince(uri.toLocalFile(), m_asked);
        for (const QString &path : m_requests)
            QDBusConnection::sessionBus().disconnect(PortalService, path, RequestInterface, QStringLiteral("Response"),
                                                     this, SLOT(onResponse(uint, QVariantMap)));
        deleteLater();
    }

private:
    QStringList m_requests;
    timespec m_asked;
};

// Reads the picture the portal answered with.
std::optional<QImage> readAnswer(const QVariantMap &results, const timespec &asked)
{
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return std::nullopt;
    // Read as any picture file is: only a regular file, opened without blocking.
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
    removeIfMadeSince(uri.toLocalFile(), asked);
    return image;
}

// The monitor's own pixels, where the compositor hands them out: exact, where
// the portal renders the whole desktop at one scale.
std::optional<QImage> copyFromTheCompositor(QScreen *screen)
{
    // SKETRIN_SCREENSHOT=portal takes the portal's way all the same.
    if (!screen || qgetenv("SKETRIN_SCREENSHOT") == "portal")
        return std::nullopt;
    const std::unique_ptr<wayland::Connection> connection = wayland::Connection::open();
    if (!connection || !wayland::offersScreenCopy(*connection))
        return std::nullopt;
    std::optional<QImage> image = wayland::copyOutput(*connection, screen->name(), screen->geometry().topLeft());
    const qreal scale = screen->devicePixelRatio();
    if (!image || image->size() != (QSizeF(screen->geometry().size()) * scale).toSize())
        return std::nullopt;
    image->setDevicePixelRatio(scale);
    return image;
}

} // namespace

CaptureOutcome lastCaptureOutcome()
{
    return outcome;
}

bool screenCaptureWaiting()
{
    return waiting != nullptr;
}

void cancelScreenCapture()
{
    if (!waiting)
        return;
    waiting->cancelled = true;
    waiting->loop.quit();
}

QString captureFailureMessage()
{
    if (outcome == CaptureOutcome::Unanswered || outcome == CaptureOutcome::Cancelled)
        return QStringLiteral("デスクトップが画面の取り込みの許可を求めています。許可してからもう一度お試しください。");
    return QStringLiteral("画面を取り込めませんでした。");
}

bool screenshotsNeedThePortal()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::optional<QImage> grabScreen(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screenshotsNeedThePortal()) {
        if (std::optional<QImage> exact = copyFromTheCompositor(screen)) {
            outcome = CaptureOutcome::Taken;
            return exact;
        }
        // The portal takes the whole desktop: only the monitor asked for is kept.
        const std::optional<QImage> desktop = portalScreenshot();
        if (!desktop || !screen)
            return desktop;
        const QImage crop =
            cropScreen(*desktop, screen->virtualGeometry(), screen->geometry(), screen->devicePixelRatio());
        if (crop.isNull()) {
            outcome = CaptureOutcome::Failed;
            return std::nullopt;
        }
        return crop;
    }
    outcome = CaptureOutcome::Failed;
    if (!screen)
        return std::nullopt;
    const QImage image = screen->grabWindow(0).toImage();
    if (image.isNull())
        return std::nullopt;
    outcome = CaptureOutcome::Taken;
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
    outcome = CaptureOutcome::Failed;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || waiting)
        return std::nullopt;
    // The request's object path is known before the call, from our bus name and
    // a token of our own, so the answer cannot arrive before we listen.
    const QString token = QStringLiteral("sketrin%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected = PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    ResponseWaiter waiter;
    const auto listen = [&](const QString &path, bool on) {
        if (on)
            bus.connect(PortalService, path, RequestInterface, QStringLiteral("Response"), &waiter,
                        SLOT(onResponse(uint, QVariantMap)));
        else
            bus.disconnect(PortalService, path, RequestInterface, QStringLiteral("Response"), &waiter,
                           SLOT(onResponse(uint, QVariantMap)));
    };
    listen(expected, true);

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
    const timespec asked = fileClockNow();
    const QDBusReply<QDBusObjectPath> handle = bus.call(call, QDBus::Block, timeoutMs);
    if (!handle.isValid()) {
        listen(expected, false);
        return std::nullopt; // no portal, or it would not take the request
    }
    if (handle.value().path() != expected) // an older portal chose its own path
        listen(handle.value().path(), true);
    waiting = &waiter;
    if (!waiter.response && deadline.isActive())
        waiter.loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting = nullptr;
    listen(expected, false);
    listen(handle.value().path(), false);
    if (!waiter.response) {
        outcome = waiter.cancelled ? CaptureOutcome::Cancelled : CaptureOutcome::Unanswered;
        new LateAnswer(QStringList{expected, handle.value().path()}, asked);
        return std::nullopt;
    }
    if (*waiter.response != 0)
        return std::nullopt; // refused or cancelled by the user
    std::optional<QImage> image = readAnswer(waiter.results, asked);
    if (image)
        outcome = CaptureOutcome::Taken;
    return image;
}

} // namespace forms

#include "ScreenCapture.moc"
