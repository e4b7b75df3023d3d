// The drawing mode: its command, the key that calls it up from every program,
// and what it hands back to the main window.
#include "app/Main.h"

#include "forms/App.h"
#include "forms/GlobalShortcut.h"
#include "forms/ScreenCapture.h"
#include "forms/StepAside.h"
#include "forms/X11Window.h"
#include "forms/UserScreen.h"
#include "present/DrawingWindow.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

void Main::CmdDrawOnScreen_Click()
{
    // Never while a dialog waits for an answer: it runs its own event loop over
    // the window that would go, or would keep a new mode from taking input.
    if (QApplication::activeModalWidget())
        return;
    if (m_drawing)
        leaveDrawingMode();
    else
        enterDrawingMode();
}

void Main::drawRequested(const QString &file)
{
    if (file.isEmpty()) {
        CmdDrawOnScreen_Click();
        return;
    }
    if (QApplication::activeModalWidget())
        return;
    LoadPictureFile(file);
    enterDrawingMode();
}

void Main::enterDrawingMode()
{
    // The key or `sketrin --draw` again while the screen is being taken (the
    // desktop may be asking the user's leave): the wait ends, the window comes back.
    if (!m_drawing && m_drawingAside && forms::screenCaptureWaiting()) {
        forms::cancelScreenCapture();
        return;
    }
    // Not over a dialog that waits for an answer: it would keep the mode from
    // taking any input.
    if (m_drawing || m_drawingAside || QApplication::activeModalWidget())
        return;
    endStroke();
    // An open menu would be taken into the picture, frozen.
    closePopups();
    // The monitor under the pointer, as it is, without this window on it.
    QScreen *on = QGuiApplication::screenAt(QCursor::pos());
    if (!on)
        on = screen();
    // The keys go back where they were pressed when the mode ends.
    m_activeBeforeDrawing = isActiveWindow();
    m_focusBeforeDrawing = forms::x11::inputFocus();
    m_aboveBeforeDrawing = windowHandle() ? forms::x11::windowAbove(*windowHandle()) : 0;
    m_drawingAside = std::make_unique<forms::StepAside>(*this);
    if (forms::screenshotsNeedThePortal()) {
        stepAside(*m_drawingAside);
        // On Wayland the pointer is known only over our own windows: the desktop
        // says where the user is.
        on = forms::screenOfTheUser(screen());
    } else if (showsOn(on)) {
        // Off that monitor only if it shows there: a minimised window, or one on
        // another monitor, stays as it is, and there is nothing to wait for.
        stepAside(*m_drawingAside);
    }
    const std::optional<QImage> shot = m_platform.captureScreen(on);
    if (!shot) {
        comeBack(*m_drawingAside, m_activeBeforeDrawing);
        m_drawingAside.reset();
        m_platform.MsgBox(forms::captureFailureMessage(), forms::vbCritical, forms::AppTitle());
        return;
    }
    m_drawing = std::make_unique<present::DrawingWindow>(*shot, on, m_tools, m_platform);
    connect(m_drawing.get(), &present::DrawingWindow::colorRequested, this, [this] {
        CmdPenColor_Click();
        if (m_drawing)
            m_drawing->activateWindow();
    });
    connect(m_drawing.get(), &present::DrawingWindow::saveRequested, this, [this] {
        if (m_drawing)
            savePicture(m_drawing->picture());
    });
    connect(m_drawing.get(), &present::DrawingWindow::leaveRequested, this, &Main::leaveDrawingMode,
            Qt::QueuedConnection);
    m_platform.setDialogParent(m_drawing.get());
    m_drawing->showOverScreen();
    journalChanged();
}

bool Main::showsOn(const QScreen *monitor) const
{
    return isVisible() && !isMinimized() && (!monitor || frameGeometry().intersects(monitor->geometry()));
}

void Main::leaveDrawingMode()
{
    if (!m_drawing || QApplication::activeModalWidget())
        return;
    // The annotated screen becomes the picture, as a captured one does: one step,
    // to undo, save, scale or tone.
    const QImage shown = m_drawing->picture();
    m_platform.setDialogParent(this);
    // The focus goes back before the mode's window goes, so that no window
    // manager gives it to another window meanwhile. Leaving raises nothing:
    // what was over the main window (full-screen slides) stays over it.
    if (!m_activeBeforeDrawing)
        forms::x11::giveFocus(m_focusBeforeDrawing);
    m_drawing->hide();
    m_drawing.reset();
    const bool wasAway = m_drawingAside->away();
    comeBack(*m_drawingAside, m_activeBeforeDrawing);
    m_drawingAside.reset();
    if (m_activeBeforeDrawing && !isMinimized())
        activateWindow();
    else if (wasAway && windowHandle())
        forms::x11::restackBelow(*windowHandle(), m_aboveBeforeDrawing);
    showTools();
    if (!shown.isNull())
        loadPictureWithoutFile(shown, QStringLiteral("取り込んだ画面"));
}

void Main::closePopups()
{
    bool closed = false;
    while (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        closed = true;
    }
    if (closed)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Main::showTools()
{
    // The mode changes the one tool state; the main window's surface keeps the
    // pen's width, as the menu commands would set it.
    m_surface.setDrawWidth(m_tools.penSizeIndex() + 1);
    showToolSelection();
    showPenColor();
}

bool Main::grabDrawingKey(QString &why)
{
    if (!m_drawingKey) {
        m_drawingKey = new forms::GlobalShortcut(this);
        connect(m_drawingKey, &forms::GlobalShortcut::activated, this, &Main::CmdDrawOnScreen_Click);
    }
    const bool ok = m_drawingKey->start();
    why = m_drawingKey->why();
    return ok;
}
