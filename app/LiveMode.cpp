#include "app/LiveMode.h"

#include "app/Main.h"
#include "forms/Platform.h"
#include "forms/X11Window.h"
#include "present/DrawingWindow.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

LiveMode::LiveMode(Main &main, canvas::ToolState &tools, forms::Platform &platform)
    : m_main(main), m_tools(tools), m_platform(platform)
{}

LiveMode::~LiveMode() = default;

QString LiveMode::unavailable()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (!forms::x11::compositing())
            return QStringLiteral("no compositing manager runs, so nothing would show through the ink");
        return {};
    }
    if (platform.startsWith(QLatin1String("wayland")))
        return QStringLiteral("this Wayland desktop offers no overlay layer");
    return {};
}

void LiveMode::toggle()
{
    // Never while a dialog waits for an answer: it runs its own event loop.
    if (QApplication::activeModalWidget())
        return;
    switch (m_state) {
    case State::Off:
        enter();
        break;
    case State::Drawing:
        passThrough(true);
        break;
    case State::PassingThrough:
        passThrough(false);
        break;
    }
}

void LiveMode::enter()
{
    const QString why = unavailable();
    if (!why.isEmpty()) {
        emit fallBack(why);
        return;
    }
    m_main.endStroke();
    QScreen *on = QGuiApplication::screenAt(QCursor::pos());
    if (!on)
        on = m_main.screen();
    m_on = on;
    m_focusBefore = forms::x11::inputFocus();
    m_window = std::make_unique<present::DrawingWindow>(on, m_tools, m_platform);
    connectWindow();
    m_platform.setDialogParent(m_window.get());
    m_state = State::Drawing;
    m_window->showOverScreen();
    emit entered();
}

void LiveMode::connectWindow()
{
    present::DrawingWindow *w = m_window.get();
    connect(w, &present::DrawingWindow::colorRequested, this, [this] {
        m_main.CmdPenColor_Click();
        if (m_window)
            m_window->activateWindow();
    });
    connect(w, &present::DrawingWindow::saveRequested, this, [this] {
        if (m_window)
            m_main.savePicture(screenWithInk(true));
    });
    connect(w, &present::DrawingWindow::copyRequested, this, [this] {
        if (!m_window)
            return;
        QImage image = screenWithInk(true);
        image.setDevicePixelRatio(1);
        m_platform.setClipboardImage(image);
    });
    connect(w, &present::DrawingWindow::leaveRequested, this, &LiveMode::leave, Qt::QueuedConnection);
}

void LiveMode::passThrough(bool on)
{
    if (!m_window)
        return;
    if (on) {
        m_window->setPassThrough(true);
        m_state = State::PassingThrough;
        // The keys go where they went before the ink came, until a click
        // chooses another program.
        forms::x11::giveFocus(m_focusBefore);
    } else {
        m_focusBefore = forms::x11::inputFocus();
        m_state = State::Drawing;
        m_window->setPassThrough(false);
        m_window->raise();
        m_window->activateWindow();
    }
}

QImage LiveMode::screenWithInk(bool comeBack)
{
    const QImage marks = m_window->picture();
    m_window->hide();
    // Until the window system has taken the ink away and drawn again what lay
    // under it.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 100) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    const std::optional<QImage> shot = m_platform.captureScreen(m_on);
    if (comeBack) {
        m_window->showOverScreen();
        if (m_state == State::PassingThrough)
            m_window->setPassThrough(true);
    }
    // Nothing drawn is lost: without the screen, the ink goes over white.
    QImage beneath = shot ? *shot : QImage();
    if (beneath.isNull()) {
        beneath = QImage(marks.size(), QImage::Format_RGB32);
        beneath.fill(Qt::white);
        beneath.setDevicePixelRatio(marks.devicePixelRatio());
    }
    return present::layOver(beneath, marks);
}

void LiveMode::leave()
{
    if (!m_window || m_state != State::Drawing || QApplication::activeModalWidget())
        return;
    const QImage picture = screenWithInk(false);
    m_platform.setDialogParent(&m_main);
    forms::x11::giveFocus(m_focusBefore);
    m_window.reset();
    m_state = State::Off;
    emit left(picture);
}
