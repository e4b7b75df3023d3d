#include "forms/StepAside.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QWindow>

#include <vector>

namespace forms {

namespace {

const Qt::WindowStates NotNormal = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;

// The window's last place and size in the normal state. Qt's normalGeometry()
// misses it where the window manager resizes the window before it says the
// window is maximised (xfwm4): the size seen just before is the maximised one.
class NormalPlace : public QObject
{
public:
    explicit NormalPlace(QWidget &window) : QObject(&window), m_window(window)
    {
        setObjectName(QStringLiteral("NormalPlace"));
        m_clock.start();
        window.installEventFilter(this);
        if (window.isVisible() && !(window.windowState() & NotNormal))
            m_seen.push_back({window.geometry(), 0});
    }

    QRect last() const { return m_seen.empty() ? QRect() : m_seen.back().place; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) && m_window.isVisible() &&
            !(m_window.windowState() & NotNormal)) {
            const QRect place = m_window.geometry();
            if (m_seen.empty() || m_seen.back().place != place)
                m_seen.push_back({place, m_clock.elapsed()});
            if (m_seen.size() > 8)
                m_seen.erase(m_seen.begin());
        } else if (type == QEvent::WindowStateChange && (m_window.windowState() & NotNormal)) {
            // What came just before the state is the window manager's doing:
            // the oldest of it is kept, in case nothing came before.
            const qint64 since = m_clock.elapsed() - 250;
            while (m_seen.size() > 1 && m_seen.back().at > since)
                m_seen.pop_back();
            if (!m_seen.empty() && m_seen.back().at > since && m_seen.back().place.size() == m_window.geometry().size())
                m_seen.pop_back();
        }
        return false;
    }

private:
    struct Seen
    {
        QRect place;
        qint64 at;
    };
    QWidget &m_window;
    QElapsedTimer m_clock;
    std::vector<Seen> m_seen;
};

NormalPlace *normalPlace(QWidget &window)
{
    return window.findChild<NormalPlace *>(QStringLiteral("NormalPlace"), Qt::FindDirectChildrenOnly);
}

} // namespace

void StepAside::watch(QWidget &window)
{
    if (!normalPlace(window))
        new NormalPlace(window);
}

void StepAside::leave()
{
    if (!m_window || m_away || !m_window->isVisible())
        return;
    QWidget &w = *m_window;
    m_state = w.windowState() & ~Qt::WindowActive;
    m_geometry = w.geometry();
    m_normalGeometry = w.normalGeometry();
    // The place last seen in the normal state, where it was followed; the window
    // is never unmaximised to learn it (the user would see it shrink).
    const NormalPlace *seen = normalPlace(w);
    if ((m_state & Qt::WindowMaximized) && seen && seen->last().isValid())
        m_normalGeometry = seen->last();
    if (m_normalGeometry == m_geometry)
        m_normalGeometry = QRect();
    m_away = true;
    w.hide();
}

void StepAside::comeBack()
{
    if (!m_window || !m_away)
        return;
    m_away = false;
    QWidget &w = *m_window;
    const bool normal = !(m_state & (Qt::WindowMaximized | Qt::WindowFullScreen));
    // A maximised window is mapped at its normal place and size with the maximised
    // state: the window manager keeps those to return to.
    const QRect place = normal || !m_normalGeometry.isValid() ? m_geometry : m_normalGeometry;
    // Through the native window too: that is what marks the place as chosen rather
    // than left to the window manager, even when Qt thinks it unchanged.
    if (QWindow *handle = w.windowHandle())
        handle->setGeometry(place);
    w.setGeometry(place);
    w.setWindowState(m_state);
    w.show();
}

} // namespace forms
