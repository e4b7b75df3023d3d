#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

class Main;
class QScreen;

namespace canvas {
class ToolState;
}

namespace forms {
class Platform;
}

namespace present {
class DrawingWindow;
}

namespace wayland {
class LayerOverlay;
}

class LiveLayer;

// The live drawing mode: ink over the screen while the programs beneath go on
// running. Its key switches between drawing (the mode takes the pointer and
// the keys) and passing through (the ink stays; the pointer and the keys go to
// the programs beneath). Esc while drawing leaves, and the screen as it was
// then, with the ink over it, goes to the main window as the frozen mode's
// picture does.
//
// On X11 the window is see-through, which needs a compositing manager; on
// Wayland Qt's windows cannot go over the others, so the compositor's overlay
// layer (the wlroots layer shell: sway, KWin) shows what the window draws.
// Where neither can be, the key puts up the frozen mode, and one line says why.
class LiveMode : public QObject
{
    Q_OBJECT

public:
    enum class State { Off, Drawing, PassingThrough };

    LiveMode(Main &main, canvas::ToolState &tools, forms::Platform &platform);
    ~LiveMode() override;

    State state() const { return m_state; }
    present::DrawingWindow *window() const { return m_window.get(); }
    // The key: on, or from drawing to passing through and back.
    void toggle();
    // Esc while drawing: the mode ends and hands the screen with its ink back.
    void leave();
    // Why there can be no live mode here; empty where there can.
    static QString unavailable();

signals:
    void entered();
    void left(const QImage &picture);
    // The live mode cannot be had here (the reason): the frozen one instead.
    void fallBack(const QString &why);

private:
    void enter();
    // The overlay layer on Wayland; false, with the reason sent, where there is none.
    bool openLayer(QScreen *on);
    void passThrough(bool on);
    void connectWindow();
    // The screen beneath with the ink over it, as the presenter sees it: the
    // window steps off the screen for the moment the screen is taken.
    QImage screenWithInk(bool comeBack);

    Main &m_main;
    canvas::ToolState &m_tools;
    forms::Platform &m_platform;
    std::unique_ptr<wayland::LayerOverlay> m_overlay; // on Wayland
    std::unique_ptr<present::DrawingWindow> m_window;
    LiveLayer *m_layer = nullptr; // the window's child
    QPointer<QScreen> m_on;
    State m_state = State::Off;
    std::uint32_t m_focusBefore = 0; // the window the keys go to while passing through, on X11
};
