#include "app/DrawingMode.h"

#include "app/LiveMode.h"
#include "app/Main.h"
#include "forms/App.h"
#include "forms/BusEntry.h"
#include "forms/GlobalShortcut.h"
#include "forms/ScreenCapture.h"
#include "forms/StepAside.h"
#include "forms/UserScreen.h"
#include "forms/X11Window.h"
#include "present/DrawingWindow.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cstdio>

DrawingMode::DrawingMode(Main &main, canvas::ToolState &tools, forms::Platform &platform)
    : m_main(main), m_tools(tools), m_platform(platform), m_live(std::make_unique<LiveMode>(main, tools, platform))
{
    connect(m_live.get(), &LiveMode::entered, this, &DrawingMode::entered);
    connect(m_live.get(), &LiveMode::left, this, &DrawingMode::left);
    connect(m_live.get(), &LiveMode::fallBack, this, [this](const QString &why) {
        std::fprintf(stderr, "sketrin: drawing on a frozen screen instead: %s\n", why.toLocal8Bit().constData());
        enter();
    });
}

DrawingMode::~DrawingMode() = default;

void DrawingMode::toggle()
{
    // Never while a dialog waits for an answer: it runs its own event loop over
    // the window that would go, or would keep a new mode from taking input.
    if (QApplication::activeModalWidget() || m_live->state() != LiveMode::State::Off)
        return;
    if (m_window)
        leave();
    else
        enter();
}

void DrawingMode::toggleLive()
{
    // Where the live key put up the frozen mode, it takes it down again.
    if (m_window)
        toggle();
    else
        m_live->toggle();
}

void DrawingMode::request(const QString &file)
{
    if (file.isEmpty()) {
        toggle();
        return;
    }
    if (QApplication::activeModalWidget())
        return;
    m_main.LoadPictureFile(file);
    enter();
}

void DrawingMode::closePopups()
{
    bool closed = false;
    while (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        closed = true;
    }
    if (closed)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QScreen *DrawingMode::monitorToTake()
{
    if (forms::screenshotsNeedThePortal()) {
        m_main.stepAside(*m_aside);
        // On Wayland the pointer is known only over our own windows: the desktop
        // says where the user is.
        return forms::screenOfTheUser(m_main.screen());
    }
    // The monitor under the pointer, as it is, without the main window on it.
    QScreen *on = QGuiApplication::screenAt(QCursor::pos());
    if (!on)
        on = m_main.screen();
    // Off that monitor only if it shows there: a minimised window, or one on
    // another monitor, stays as it is, and there is nothing to wait for.
    if (m_main.showsOn(on))
        m_main.stepAside(*m_aside);
    return on;
}

void DrawingMode::enter()
{
    // The key or `sketrin --draw` again while the screen is being taken (the
    // desktop may be asking the user's leave): the wait ends, the window comes back.
    if (!m_window && m_aside && forms::screenCaptureWaiting()) {
        forms::cancelScreenCapture();
        return;
    }
    // Not over a dialog that waits for an answer: it would keep the mode from
    // taking any input.
    if (m_window || m_aside || QApplication::activeModalWidget() || m_live->state() != LiveMode::State::Off)
        return;
    m_main.endStroke();
    closePopups(); // an open menu would be frozen into the picture
    // The keys go back where they were pressed when the mode ends.
    m_focusBefore = forms::x11::inputFocus();
    // On X11 the server says where the keys are: Qt hears that the focus left
    // the main window only a moment later (a key pressed just after a click on
    // the slides would bring the main window back over them).
    m_mainWasActive = m_focusBefore && m_main.windowHandle() ? m_focusBefore == m_main.windowHandle()->winId()
                                                             : m_main.isActiveWindow();
    m_aboveMain = m_main.windowHandle() ? forms::x11::windowAbove(*m_main.windowHandle()) : 0;
    m_aside = std::make_unique<forms::StepAside>(m_main);
    QScreen *on = monitorToTake();
    const std::optional<QImage> shot = m_platform.captureScreen(on);
    if (!shot) {
        m_main.comeBack(*m_aside, m_mainWasActive);
        m_aside.reset();
        m_platform.MsgBox(forms::captureFailureMessage(), forms::vbCritical, forms::AppTitle());
        return;
    }
    m_window = std::make_unique<present::DrawingWindow>(*shot, on, m_tools, m_platform);
    connectWindow();
    m_platform.setDialogParent(m_window.get());
    m_window->showOverScreen();
    emit entered();
}

void DrawingMode::connectWindow()
{
    present::DrawingWindow *w = m_window.get();
    connect(w, &present::DrawingWindow::colorRequested, this, [this] {
        // At the pen's colour, which the mode's colour keys change in front of the
        // user; a cancel keeps it.
        if (const auto chosen = m_platform.showColorDialog(m_tools.penColor(), forms::CommonDialog::cdlCCRGBInit))
            m_tools.setPenColor(*chosen);
        if (m_window)
            m_window->activateWindow();
    });
    connect(w, &present::DrawingWindow::saveRequested, this, [this] {
        if (m_window)
            m_main.savePicture(m_window->picture());
    });
    connect(w, &present::DrawingWindow::leaveRequested, this, &DrawingMode::leave, Qt::QueuedConnection);
}

void DrawingMode::leave()
{
    if (!m_window || QApplication::activeModalWidget())
        return;
    const QImage shown = m_window->picture();
    m_platform.setDialogParent(&m_main);
    // The focus goes back before the mode's window goes, so that no window
    // manager gives it to another window meanwhile. Leaving raises nothing:
    // what was over the main window (full-screen slides) stays over it.
    if (!m_mainWasActive)
        forms::x11::giveFocus(m_focusBefore);
    m_window->hide();
    m_window.reset();
    const bool wasAway = m_aside->away();
    m_main.comeBack(*m_aside, m_mainWasActive);
    m_aside.reset();
    if (m_mainWasActive && !m_main.isMinimized())
        m_main.activateWindow();
    else if (wasAway && m_main.windowHandle())
        forms::x11::restackBelow(*m_main.windowHandle(), m_aboveMain);
    emit left(shown);
}

bool DrawingMode::grabKey(QString &why)
{
    if (!m_key) {
        m_key = new forms::GlobalShortcut(this);
        connect(m_key, &forms::GlobalShortcut::activated, this, &DrawingMode::toggle);
        connect(m_key, &forms::GlobalShortcut::liveActivated, this, &DrawingMode::toggleLive);
    }
    const bool ok = m_key->start();
    why = m_key->why();
    return ok;
}

void DrawingMode::useDoor(forms::BusEntry &door)
{
    connect(&door, &forms::BusEntry::drawRequested, this, &DrawingMode::request);
    connect(&door, &forms::BusEntry::liveRequested, this, &DrawingMode::toggleLive);
    door.listen();
}
