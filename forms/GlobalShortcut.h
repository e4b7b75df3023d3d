#pragma once

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace forms {

// Ctrl+Shift+D (the drawing mode) and Ctrl+Shift+L (the live one), whatever
// program has the focus.
//
// Under X11 it is a passive grab of the key on the root window, for as long as
// the program runs. On Wayland no program may grab keys; where the desktop
// offers the global shortcuts portal (org.freedesktop.portal.GlobalShortcuts)
// the keys are bound through it, with these as the preferred triggers, and
// the portal tells when it is pressed. The key comes with the session request
// itself, under the same session token on every run; BindShortcuts follows
// only where the session's answer does not list it as bound. Elsewhere there is no such key, and
// `sketrin --draw` bound to a desktop shortcut does the same.
class GlobalShortcut : public QObject
{
    Q_OBJECT

public:
    explicit GlobalShortcut(QObject *parent = nullptr);
    ~GlobalShortcut() override;

    // Asks for the key. False when it cannot be had (another program holds it,
    // or there is no way here), with the reason in why(). On Wayland the answer
    // comes later: true means the portal was asked.
    bool start();
    QString why() const { return m_why; }
    // The portal's way, whatever the platform (start() takes it on Wayland).
    bool usePortal();

    // The portal's session, while one is open (for tests).
    QString portalSession() const { return m_session; }

signals:
    void activated();     // Ctrl+Shift+D
    void liveActivated(); // Ctrl+Shift+L

private slots:
    void onSessionCreated(uint response, const QVariantMap &results);
    void onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong timestamp,
                     const QVariantMap &options);

private:
    bool grabOnX11();

    class X11Filter;
    X11Filter *m_filter = nullptr;
    QString m_why;
    QString m_session;
    QString m_sessionToken;
};

} // namespace forms
