#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/Platform.h"
#include "forms/X11Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTabletEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <cstring>

namespace present {

namespace {

// On X11 past the window manager; elsewhere (Wayland) the compositor shows it
// full screen.
Qt::WindowFlags modeFlags()
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (forms::x11::active())
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

} // namespace

DrawingWindow::DrawingWindow(const QImage &screen, QScreen *on, canvas::ToolState &tools, forms::Platform &platform)
    : QWidget(nullptr, modeFlags()), m_document(std::make_unique<Document>(screen, tools)), m_tools(tools),
      m_platform(platform), m_bypass(windowFlags() & Qt::X11BypassWindowManagerHint)
{
    setObjectName(QStringLiteral("DrawingWindow"));
    setWindowTitle(QStringLiteral("画面に描く - Sketrin"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_eraserPointers = {QPixmap(QStringLiteral(":/resources/eraser_small.xpm")),
                        QPixmap(QStringLiteral(":/resources/eraser_large.xpm"))};
    setAttribute(Qt::WA_AcceptTouchEvents);
    m_document->setChangeListener([this](const QRect &area) { showPicture(area); });
    m_toolListener = m_tools.addListener([this] { showTool(); });
    connect(&m_laserFrame, &QTimer::timeout, this, &DrawingWindow::laserFrame);
    // Every pointer sample the window system sends, not only the latest of a
    // burst: far-apart samples are what make a fast line coarse.
    m_compressed = QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents);
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    if (on) {
        setScreen(on);
        setGeometry(on->geometry());
        // A screen's top-left is the same in device and logical pixels; the
        // frozen picture has the monitor's device size.
        m_native = QRect(on->geometry().topLeft(), screen.size());
    }
    showTool();
}

DrawingWindow::~DrawingWindow()
{
    qApp->removeEventFilter(this);
    holdKeyboard(false);
    m_document->setChangeListener({});
    m_tools.removeListener(m_toolListener);
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, m_compressed);
}

void DrawingWindow::showTool()
{
    if (m_document->kit() == Kit::Steps || m_document->kit() == Kit::Redact) {
        setCursor(Qt::CrossCursor);
    } else if (m_tools.eraserMode() && m_document->kit() == Kit::None) {
        const QPixmap &icon = m_eraserPointers[size_t(m_tools.eraserSizeIndex())];
        setCursor(QCursor(icon, icon.width() / 2, icon.height() / 2));
    } else {
        unsetCursor();
    }
}

void DrawingWindow::showOverScreen()
{
    if (!m_bypass) {
        showFullScreen();
        raise();
        activateWindow();
        return;
    }
    // The native window exists, and has its place, before it is mapped.
    winId();
    qApp->installEventFilter(this);
    forms::x11::placeExactly(*windowHandle(), m_native);
    show();
    raise();
    activateWindow();
}

void DrawingWindow::holdKeyboard(bool hold)
{
    if (!m_bypass || !windowHandle() || hold == m_keyboardHeld)
        return;
    if (hold) {
        // The focus too, for the input method: Qt gives it to the window it
        // last saw active, and a dialog may have had it since.
        forms::x11::giveFocus(std::uint32_t(winId()));
        m_keyboardHeld = windowHandle()->setKeyboardGrabEnabled(true);
    } else {
        windowHandle()->setKeyboardGrabEnabled(false);
        m_keyboardHeld = false;
    }
}

bool DrawingWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The keyboard can be held once the window is on the screen.
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed() &&
        !QApplication::activeModalWidget())
        holdKeyboard(true);
    // A click on the mode brings it back over a window of ours that was clicked.
    if (watched == this && event->type() == QEvent::MouseButtonPress && !m_keyboardHeld &&
        !QApplication::activeModalWidget()) {
        raise();
        holdKeyboard(true);
    }
    // One of the program's dialogs (the colour, saving, a message): it goes over
    // the mode, with the keys, and they come back when it goes.
    auto *other = qobject_cast<QWidget *>(watched);
    if (other && other != this && other->isWindow() && isVisible()) {
        if (event->type() == QEvent::WindowActivate && other->windowHandle()) {
            holdKeyboard(false);
            forms::x11::stackBelow(*windowHandle(), *other->windowHandle());
        } else if (event->type() == QEvent::Hide) {
            QTimer::singleShot(0, this, [this] {
                if (isVisible() && !QApplication::activeModalWidget())
                    holdKeyboard(true);
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DrawingWindow::showPicture(const QRect &pictureArea)
{
    update(m_zoom.toView(QRectF(pictureArea)).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void DrawingWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager (Alt+F4): the mode ends as with Esc. Closing
    // this window must never close the program, whose main window is away.
    event->ignore();
    emit leaveRequested();
}

void DrawingWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_zoom.setView(QSizeF(m_document->surface().area()));
}

void DrawingWindow::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QImage *layer = m_document->surface().screenLayer();
    if (!layer) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    // Only the exposed part: the picture behind it, through the zoom, unsmoothed
    // so that a zoomed view shows the pixels as they are.
    const Zoom &zoom = m_zoom;
    const qreal s = layer->devicePixelRatio();
    // At 1x onto a window image of the layer's own kind, the rows are copied as
    // they are: QPainter hands tall narrow areas (the sides of a rectangle being
    // dragged) to worker threads, which costs more than the copy.
    QPaintDevice *device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    QImage *window = device && device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    const QTransform toWindow = p.deviceTransform();
    const bool copy = window && zoom.factor() == 1 && s == 1 && window->format() == layer->format() &&
                      toWindow.type() <= QTransform::TxTranslate;
    for (const QRect &r : event->region()) {
        if (copy) {
            const QRect from = r.intersected(layer->rect());
            const QRect to = from.translated(int(toWindow.dx()), int(toWindow.dy())).intersected(window->rect());
            for (int y = 0; y < to.height(); ++y)
                std::memcpy(window->scanLine(to.top() + y) + to.left() * 4,
                            layer->constScanLine(from.top() + y) + from.left() * 4, size_t(to.width()) * 4);
            continue;
        }
        const QRectF view(r);
        const QRectF picture(zoom.toPicture(view.topLeft()), view.size() / zoom.factor());
        p.drawImage(view, *layer, QRectF(picture.topLeft() * s, picture.size() * s));
    }
    paintKit(p, event->region(), copy ? window : nullptr, QPoint(int(toWindow.dx()), int(toWindow.dy())));
}

void DrawingWindow::wheelEvent(QWheelEvent *event)
{
    const int steps = m_wheel.add(event->angleDelta(), event->pixelDelta());
    if (steps != 0)
        zoomBy(steps, event->position());
    event->accept();
}

void DrawingWindow::zoomBy(int steps, QPointF anchor)
{
    m_zoom.stepAt(anchor, steps);
    update();
}

QImage DrawingWindow::picture()
{
    confirmText();
    endMark();
    return m_document->shown();
}

} // namespace present
