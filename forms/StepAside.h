#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace forms {

// Takes a top-level window off the screen for a moment and brings it back as it
// was: same place, same size, same state (normal, maximised or minimised), and,
// for a maximised window, the same size to return to when it is unmaximised.
//
// Place and state go to the window system before the window is shown again, so
// it maps the window with them: a move after show() to where Qt still believes
// the window is would be skipped, and the window manager would place it anew.
class StepAside
{
public:
    explicit StepAside(QWidget &window) : m_window(&window) {}
    ~StepAside() { comeBack(); }
    StepAside(const StepAside &) = delete;
    StepAside &operator=(const StepAside &) = delete;

    // Follows the window's place and size while it is neither maximised nor full
    // screen, from now on: what it returns to when unmaximised, for a window
    // that steps aside maximised.
    static void watch(QWidget &window);

    // Hides the window, remembering how it stood. Nothing happens to a hidden one.
    void leave();
    // Shows it again as it stood; nothing when it never left.
    void comeBack();
    bool away() const { return m_away; }

private:
    QPointer<QWidget> m_window;
    bool m_away = false;
    Qt::WindowStates m_state;
    QRect m_geometry;
    QRect m_normalGeometry;
};

} // namespace forms
