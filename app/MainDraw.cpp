// The main window's side of the drawing mode (DrawingMode.cpp): its command,
// and what the mode hands back.
#include "app/DrawingMode.h"
#include "app/Main.h"

#include "present/DrawingWindow.h"

#include <QScreen>

void Main::createDrawingMode()
{
    m_mode = std::make_unique<DrawingMode>(*this, m_tools, m_platform);
    connect(m_mode.get(), &DrawingMode::entered, this, [this] { journalChanged(); });
    // The annotated screen becomes the picture, as a captured one does: one step,
    // to undo, save, scale or tone.
    connect(m_mode.get(), &DrawingMode::left, this, [this](const QImage &shown) {
        showTools();
        if (!shown.isNull())
            loadPictureWithoutFile(shown, QStringLiteral("取り込んだ画面"));
    });
    // The mode changes the one tool state too; the menus, the toolbar and the
    // swatch follow it.
    m_tools.addListener([this] {
        if (m_mode && m_mode->window())
            showTools();
    });
}

void Main::CmdDrawOnScreen_Click()
{
    m_mode->toggle();
}

void Main::CmdDrawLive_Click()
{
    m_mode->toggleLive();
}

void Main::enterDrawingMode()
{
    m_mode->enter();
}

void Main::leaveDrawingMode()
{
    m_mode->leave();
}

present::DrawingWindow *Main::drawingWindow() const
{
    return m_mode->window();
}

bool Main::grabDrawingKey(QString &why)
{
    return m_mode->grabKey(why);
}

bool Main::showsOn(const QScreen *monitor) const
{
    return isVisible() && !isMinimized() && (!monitor || frameGeometry().intersects(monitor->geometry()));
}

void Main::showTools()
{
    // The mode changes the one tool state; the main window's surface keeps the
    // pen's width, as the menu commands would set it.
    m_surface.setDrawWidth(m_tools.penSizeIndex() + 1);
    showToolSelection();
    showPenColor();
}
