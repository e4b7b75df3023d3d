#pragma once

#include "present/Session.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QScreen;

namespace forms {
class Platform;
}

namespace present {

// The drawing mode's window: frameless and full-screen on the monitor it was
// taken from, showing the frozen screen one picture pixel to a device pixel,
// with the marks over it. On X11 no window manager handles it (it would animate
// it in, or keep a panel over it): it covers exactly the monitor's device pixels,
// on top, at once, and holds the keyboard while it is up. It turns input into the session's strokes and keys
// into its commands; what needs the rest of the program (the colour dialog,
// saving, leaving) it asks for with a signal.
// The pen colour a single key sets in the mode: R red, G green, B blue, Y yellow,
// O orange, P pink.
std::optional<std::int32_t> colorKey(int key);
// The shape a mark takes, chosen by what is held when the button goes down:
// Shift a line, Ctrl a rectangle, both an arrow, Tab an ellipse.
Session::Shape shapeFor(Qt::KeyboardModifiers modifiers, bool tabHeld);

class DrawingWindow : public QWidget
{
    Q_OBJECT

public:
    DrawingWindow(const QImage &screen, QScreen *on, canvas::ToolState &tools, forms::Platform &platform);
    ~DrawingWindow() override;

    Session &session() { return *m_session; }
    // Puts the window up over the whole monitor, with the keyboard.
    void showOverScreen();
    // Shows the pointer of the current tool (after the tool changed elsewhere).
    void showTool();
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // The tool state changed here (F1 to F9, F11, F12, a colour key).
    void toolsChanged();
    void colorRequested();
    void saveRequested();
    // Esc or the calling key: the mode ends.
    void leaveRequested();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool handlesKey(const QKeyEvent &key) const;
    void showPicture(const QRect &pictureArea);
    void zoomBy(int steps, QPointF anchor);
    void typingKey(QKeyEvent &event);
    // Input method on while text is being typed, off otherwise.
    void showTyping();
    // The keyboard, held while the window is up and none of the program's dialogs is.
    void holdKeyboard(bool hold);

    std::unique_ptr<Session> m_session;
    canvas::ToolState &m_tools;
    forms::Platform &m_platform;
    std::array<QPixmap, 2> m_eraserPointers;
    int m_buttonsDown = 0;
    bool m_swallowClick = false; // the click that ended a text draws nothing
    bool m_tabHeld = false;
    bool m_tabletDown = false;
    bool m_compressed = true; // the application's motion compression, given back on leaving
    QRect m_native;           // the monitor, in device pixels
    bool m_bypass = false;    // no window manager handles the window (X11)
    bool m_keyboardHeld = false;
};

} // namespace present
