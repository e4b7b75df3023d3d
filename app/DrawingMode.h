#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <memory>

class Main;
class QScreen;

namespace canvas {
class ToolState;
}

namespace forms {
class BusEntry;
class GlobalShortcut;
class Platform;
class StepAside;
} // namespace forms

namespace present {
class DrawingWindow;
}

// The drawing mode's one owner: entering it (the main window steps aside where
// it shows on the monitor to be taken, and that monitor is taken), its window
// while it is on, and leaving it (the keys go back where they were pressed,
// nothing is raised, and what was drawn goes to the main window); and the two
// ways in from other programs: the key from every program and the program's
// door on the session bus. The main window only wires it.
class LiveMode;

class DrawingMode : public QObject
{
    Q_OBJECT

public:
    DrawingMode(Main &main, canvas::ToolState &tools, forms::Platform &platform);
    ~DrawingMode() override;

    present::DrawingWindow *window() const { return m_window.get(); }
    // The key: enters the mode, or leaves it when it is on.
    void toggle();
    // Enters the mode unless it is on already; ends a capture the desktop holds up.
    void enter();
    void leave();
    // The live mode's key (Ctrl+Shift+L, `sketrin --live`): on, switching
    // between drawing and passing through; or the frozen mode where there can
    // be no live one.
    void toggleLive();
    LiveMode &live() { return *m_live; }

    // `sketrin --draw` from another process: as the key, or with a file, that
    // file loaded in the main window and the mode on.
    void request(const QString &file);

    // Ctrl+Shift+D from every program, where the desktop allows it; false, with
    // the reason, where it does not.
    bool grabKey(QString &why);
    // The program's door on the session bus, opened before the program's
    // windows: the mode answers what comes through it from now on.
    void useDoor(forms::BusEntry &door);

signals:
    // The mode is up.
    void entered();
    // What was drawn, the annotated screen, for the main window's picture.
    void left(const QImage &picture);

private:
    // Menus and other popups close, so that no screen is taken with one open.
    static void closePopups();
    QScreen *monitorToTake();
    void connectWindow();

    Main &m_main;
    canvas::ToolState &m_tools;
    forms::Platform &m_platform;
    std::unique_ptr<present::DrawingWindow> m_window;
    std::unique_ptr<forms::StepAside> m_aside; // the main window's place meanwhile
    bool m_mainWasActive = false;
    std::uint32_t m_focusBefore = 0; // the window the keys went to, on X11
    std::uint32_t m_aboveMain = 0;   // the window just over the main window, on X11
    forms::GlobalShortcut *m_key = nullptr;
    std::unique_ptr<LiveMode> m_live;
};
