#include "app/LiveMode.h"

#include "app/LiveLayer.h"
#include "app/Main.h"
#include "forms/Platform.h"
#include "forms/UserScreen.h"
#include "forms/X11Window.h"
#include "present/DrawingWindow.h"
#include "wayland/LayerOverlay.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>

LiveMode::LiveMode(Main &main, canvas::ToolState &tools, forms::Platform &platform)
    : m_main(main), m_tools(tools), m_platform(platform)
{}

LiveMode::~LiveMode() = default;

QString LiveMode::unavailable()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        // Through XWayland the desktop decides where the pointer goes: mutter
        // keeps sending it to the see-through window, letting nothing through.
        if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
            return QStringLiteral("Sketrin runs through XWayland, where clicks would not pass through to the "
                                  "desktop's own windows; started on Wayland, it uses the overlay layer where "
                                  "there is one");
        if (!forms::x11::compositing())
            return QStringLiteral("no compositing manager runs, so nothing would show through the ink");
        return {};
    }
    return {}; // on Wayland, the compositor answers when the layer is asked for
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
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    // On Wayland the pointer is known only over our own windows: the desktop
    // says where the user is.
    QScreen *on = wayland ? forms::screenOfTheUser(m_main.screen()) : QGuiApplication::screenAt(QCursor::pos());
    if (!on)
        on = m_main.screen();
    if (wayland && !openLayer(on))
        return;
    m_on = on;
    m_focusBefore = forms::x11::inputFocus();
    m_window = std::make_unique<present::DrawingWindow>(on, m_tools, m_platform);
    connectWindow();
    m_platform.setDialogParent(m_window.get());
    m_state = State::Drawing;
    if (m_overlay) {
        m_layer = new LiveLayer(*m_window, *m_overlay);
        connect(m_layer, &LiveLayer::liveKey, this, &LiveMode::toggle);
    } else {
        m_window->showOverScreen();
    }
    emit entered();
}

bool LiveMode::openLayer(QScreen *on)
{
    auto overlay = std::make_unique<wayland::LayerOverlay>();
    if (!overlay->open(on ? on->name() : QString())) {
        emit fallBack(overlay->error());
        return false;
    }
    // The compositor took the layer away, or went: what was drawn is handed back.
    connect(overlay.get(), &wayland::LayerOverlay::closed, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (!m_window)
                return;
            m_state = State::Drawing;
            leave();
        });
    });
    m_overlay = std::move(overlay);
    return true;
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
    if (m_overlay)
        m_overlay->setPassThrough(on);
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
        if (!m_overlay) {
            m_window->raise();
            m_window->activateWindow();
        }
    }
}

QImage LiveMode::screenWithInk(bool comeBack)
{
    const QImage marks = m_window->picture();
    if (m_layer)
        m_layer->conceal(true);
    else
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
    if (comeBack && m_layer) {
        m_layer->conceal(false);
    } else if (comeBack) {
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
    m_layer = nullptr;
    m_window.reset();
    m_overlay.reset();
    m_state = State::Off;
    emit left(picture);
}
