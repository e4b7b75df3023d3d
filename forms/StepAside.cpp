#include "forms/StepAside.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

namespace forms {

namespace {

// Lets the window system's answers in until the window's geometry has held still
// for a moment after changing from `from`, or the time is up.
void awaitGeometryChange(QWidget &w, const QRect &from, int limitMs)
{
    QElapsedTimer waited;
    waited.start();
    QRect seen = w.geometry();
    qint64 stillSince = 0;
    while (waited.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (w.geometry() != seen) {
            seen = w.geometry();
            stillSince = waited.elapsed();
        } else if (seen != from && waited.elapsed() - stillSince > 100) {
            return;
        }
        QThread::msleep(5);
    }
}

} // namespace

void StepAside::leave()
{
    if (!m_window || m_away || !m_window->isVisible())
        return;
    QWidget &w = *m_window;
    m_state = w.windowState() & ~Qt::WindowActive;
    m_geometry = w.geometry();
    m_normalGeometry = w.normalGeometry();
    if ((m_state & Qt::WindowMaximized) && (!m_normalGeometry.isValid() || m_normalGeometry == m_geometry)) {
        // Qt missed the size to return to (xfwm4 resizes before it says the window
        // is maximised): only the window manager knows it, so ask it back.
        w.setWindowState(m_state & ~Qt::WindowMaximized);
        awaitGeometryChange(w, m_geometry, 1000);
        m_normalGeometry = w.geometry() != m_geometry ? w.geometry() : QRect();
    }
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
