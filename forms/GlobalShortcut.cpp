#include "forms/GlobalShortcut.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <xcb/xcb.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString ShortcutId = QStringLiteral("draw-on-screen");
const QString LiveShortcutId = QStringLiteral("draw-live");

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// Our own request and session paths are known before the call, from our bus
// name and a token, so no answer can come before we listen.
QString ownPath(const QString &kind, const QString &token)
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return PortalPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') + token;
}

QString newToken()
{
    return QStringLiteral("sketrin%1").arg(QRandomGenerator::global()->generate());
}

// The same session token on every run: a desktop that keeps bindings by
// session finds this run's key where the last run left it.
const QString SessionToken = QStringLiteral("sketrin");

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

PortalShortcut portalShortcut(const QString &id, const QString &description, const QString &trigger)
{
    PortalShortcut shortcut;
    shortcut.id = id;
    shortcut.properties.insert(QStringLiteral("description"), description);
    shortcut.properties.insert(QStringLiteral("preferred_trigger"), trigger);
    return shortcut;
}

QList<PortalShortcut> drawShortcuts()
{
    return {portalShortcut(ShortcutId, QStringLiteral("画面に描く"), QStringLiteral("CTRL+SHIFT+d")),
            portalShortcut(LiveShortcutId, QStringLiteral("画面に描く (ライブ)"), QStringLiteral("CTRL+SHIFT+l"))};
}

// The ids of the shortcuts an answer says are bound (its "shortcuts", a(sa{sv})).
QStringList boundShortcuts(const QVariantMap &results)
{
    const QVariant value = results.value(QStringLiteral("shortcuts"));
    if (!value.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})"))
        return {};
    QList<PortalShortcut> shortcuts;
    argument >> shortcuts;
    QStringList ids;
    for (const PortalShortcut &shortcut : shortcuts)
        ids << shortcut.id;
    return ids;
}

} // namespace

namespace forms {

// Takes the grabbed keys' presses off the root window before Qt, which knows no
// window of that id, drops them; and the same keys in the program's own windows,
// before their input method.
class GlobalShortcut::X11Filter : public QAbstractNativeEventFilter
{
public:
    struct Key
    {
        xcb_keycode_t code = 0;
        void (GlobalShortcut::*signal)() = nullptr;
        bool down = false;
        xcb_timestamp_t lastPress = 0;
    };

    X11Filter(GlobalShortcut &owner, xcb_connection_t *connection, xcb_window_t root, std::vector<Key> keys)
        : m_owner(owner), m_connection(connection), m_root(root), m_keys(std::move(keys))
    {}
    ~X11Filter() override
    {
        for (const auto &[code, mods] : m_grabbed)
            xcb_ungrab_key(m_connection, code, m_root, mods);
        xcb_flush(m_connection);
    }

    // Ctrl+Shift and the key, with Caps Lock and Num Lock in any state.
    bool grab()
    {
        const uint16_t base = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
        for (const Key &key : m_keys)
            for (uint16_t locks :
                 {0, int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)}) {
                const uint16_t mods = base | locks;
                const xcb_void_cookie_t cookie = xcb_grab_key_checked(m_connection, 1, m_root, mods, key.code,
                                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                    free(error);
                    return false; // another program holds it
                }
                m_grabbed.emplace_back(key.code, mods);
            }
        return true;
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
        // The root window's grab, and the key pressed in a window of ours too:
        // there it must act before an input method, which keeps every key while
        // it composes (the drawing mode's text would be left behind).
        const auto key =
            std::find_if(m_keys.begin(), m_keys.end(), [press](const Key &k) { return k.code == press->detail; });
        if (key == m_keys.end())
            return false;
        const uint16_t held =
            press->state & (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
        if (held != (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT))
            return false;
        // A key held down repeats its presses with no release between them (the
        // connection asks for detectable repeats): the key acts once. The release
        // may never come here (a window of ours took the keyboard meanwhile), so
        // a press long after the last one acts whatever was seen.
        if (kind == XCB_KEY_PRESS) {
            const bool repeat = key->down && press->time - key->lastPress < 500;
            key->lastPress = press->time;
            key->down = true;
            if (!repeat)
                QMetaObject::invokeMethod(&m_owner, key->signal, Qt::QueuedConnection);
        } else {
            key->down = false;
        }
        return true;
    }

private:
    GlobalShortcut &m_owner;
    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    std::vector<Key> m_keys;
    std::vector<std::pair<xcb_keycode_t, uint16_t>> m_grabbed;
};

namespace {

// The key that types this lower-case letter, on this keyboard map.
xcb_keycode_t keycodeFor(xcb_connection_t *connection, xcb_keysym_t lower)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, uint8_t(count)), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int per = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int i = 0; i < count && !found; ++i)
        if (syms[i * per] == lower || syms[i * per] == lower - 0x20) // XK_d, XK_D
            found = xcb_keycode_t(setup->min_keycode + i);
    free(reply);
    return found;
}

} // namespace

GlobalShortcut::GlobalShortcut(QObject *parent) : QObject(parent) {}

GlobalShortcut::~GlobalShortcut()
{
    if (m_filter) {
        QCoreApplication::instance()->removeNativeEventFilter(m_filter);
        delete m_filter;
    }
    if (!m_session.isEmpty())
        QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(PortalService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                                           QStringLiteral("Close")),
            QDBus::NoBlock);
}

bool GlobalShortcut::start()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return grabOnX11();
    if (platform.startsWith(QLatin1String("wayland")))
        return usePortal();
    m_why = QStringLiteral("no global keys on the %1 platform").arg(platform);
    return false;
}

bool GlobalShortcut::grabOnX11()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        m_why = QStringLiteral("no X11 connection");
        return false;
    }
    const xcb_keycode_t draw = keycodeFor(connection, 0x64); // XK_d
    const xcb_keycode_t live = keycodeFor(connection, 0x6c); // XK_l
    if (!draw || !live) {
        m_why = QStringLiteral("no key for D or L on this keyboard");
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    auto *filter = new X11Filter(*this, connection, root,
                                 {{draw, &GlobalShortcut::activated}, {live, &GlobalShortcut::liveActivated}});
    if (!filter->grab()) {
        delete filter;
        m_why = QStringLiteral("Ctrl+Shift+D or Ctrl+Shift+L is held by another program");
        return false;
    }
    m_filter = filter;
    QCoreApplication::instance()->installNativeEventFilter(m_filter);
    return true;
}

bool GlobalShortcut::usePortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_why = QStringLiteral("no session bus");
        return false;
    }
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    const QString token = newToken();
    m_sessionToken = SessionToken;
    bus.connect(PortalService, ownPath(QStringLiteral("request"), token), RequestInterface, QStringLiteral("Response"),
                this, SLOT(onSessionCreated(uint, QVariantMap)));
    bus.connect(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("Activated"), this,
                SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("CreateSession"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("session_handle_token"), m_sessionToken);
    // Some desktops bind shortcuts only when they come with the session, and
    // open their settings for BindShortcuts.
    options.insert(QStringLiteral("shortcuts"), QVariant::fromValue(drawShortcuts()));
    call << options;
    // The portal may be missing: the answer, or the error, comes later.
    bus.call(call, QDBus::NoBlock);
    return true;
}

void GlobalShortcut::onSessionCreated(uint response, const QVariantMap &results)
{
    if (response != 0) {
        m_why = QStringLiteral("the global shortcuts portal refused");
        return;
    }
    m_session = results.value(QStringLiteral("session_handle")).toString();
    if (m_session.isEmpty())
        m_session = ownPath(QStringLiteral("session"), m_sessionToken);
    const QStringList bound = boundShortcuts(results);
    if (bound.contains(ShortcutId) && bound.contains(LiveShortcutId))
        return; // bound with the session already
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, ShortcutsInterface, QStringLiteral("BindShortcuts"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), newToken());
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(drawShortcuts()) << QString()
         << options;
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

void GlobalShortcut::onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong,
                                 const QVariantMap &)
{
    if (session.path() != m_session)
        return;
    if (shortcutId == ShortcutId)
        emit activated();
    else if (shortcutId == LiveShortcutId)
        emit liveActivated();
}

} // namespace forms
