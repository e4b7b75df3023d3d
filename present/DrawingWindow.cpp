#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/KeysFirst.h"
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

// The monitor's size in device pixels.
QSize devicePixels(const QScreen *on)
{
    if (!on)
        return QSize(1, 1);
    const QSizeF size = QSizeF(on->geometry().size()) * on->devicePixelRatio();
    return QSize(int(std::lround(size.width())), int(std::lround(size.height())));
}

} // namespace

DrawingWindow::DrawingWindow(const QImage &screen, QScreen *on, canvas::ToolState &tools, forms::Platform &platform)
    : DrawingWindow(std::make_unique<Document>(screen, tools), screen.size(), on, tools, platform)
{}

DrawingWindow::DrawingWindow(QScreen *on, canvas::ToolState &tools, forms::Platform &platform)
    : DrawingWindow(std::make_unique<Document>(devicePixels(on), on ? on->devicePixelRatio() : 1, tools),
                    devicePixels(on), on, tools, platform)
{}

DrawingWindow::DrawingWindow(std::unique_ptr<Document> document, QSize device, QScreen *on, canvas::ToolState &tools,
                             forms::Platform &platform)
    : QWidget(nullptr, modeFlags()), m_document(std::move(document)), m_tools(tools), m_platform(platform),
      m_bypass(windowFlags() & Qt::X11BypassWindowManagerHint)
{
    setObjectName(QStringLiteral("DrawingWindow"));
    setWindowTitle(QStringLiteral("画面に描く - Sketrin"));
    if (live())
        setAttribute(Qt::WA_TranslucentBackground);
    else
        setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_eraserPointers = {QPixmap(QStringLiteral(":/resources/eraser_small.xpm")),
                        QPixmap(QStringLiteral(":/resources/eraser_large.xpm"))};
    setAttribute(Qt::WA_AcceptTouchEvents);
    // A release with no press at its moment: the key really came up.
    m_textKeyUp.setSingleShot(true);
    m_textKeyUp.setInterval(20);
    connect(&m_textKeyUp, &QTimer::timeout, this, [this] {
        m_textKeyDown = false;
        showTyping();
    });
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
        // picture has the monitor's device size.
        m_native = QRect(on->geometry().topLeft(), device);
    }
    showTool();
}

DrawingWindow::~DrawingWindow()
{
    m_keysFirst.reset();
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
    m_keysFirst = std::make_unique<forms::KeysFirst>(
        *windowHandle(), [this](int key, Qt::KeyboardModifiers modifiers) { return takeKeyFirst(key, modifiers); });
    qApp->installEventFilter(this);
    forms::x11::placeExactly(*windowHandle(), m_native);
    show();
    raise();
    activateWindow();
}

void DrawingWindow::holdKeyboard(bool hold)
{
    // Passing through, the keys are the programs' beneath.
    if (!m_bypass || !windowHandle() || hold == m_keyboardHeld || (hold && m_passThrough))
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
    if (m_spot.on())
        if (const QImage *layer = m_document->surface().screenLayer())
            m_spot.pictureChanged(*layer, pictureArea);
    repaintView(m_zoom.toView(QRectF(pictureArea)).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void DrawingWindow::repaintView(const QRegion &area)
{
    update(area);
    emit shown(area);
}

void DrawingWindow::setPassThrough(bool on)
{
    if (!live() || on == m_passThrough)
        return;
    if (on) {
        confirmText();
        endMark();
    }
    m_passThrough = on;
    // On X11 an empty input shape (XFixes), which leaves the picture whole,
    // where a mask would clip it.
    setAttribute(Qt::WA_TransparentForMouseEvents, on);
    if (QWindow *window = windowHandle())
        forms::x11::passPointerThrough(*window, on);
    holdKeyboard(!on);
    m_pointerSeen = false; // it moves meanwhile where this window never hears of it
    if (on)
        unsetCursor();
    else
        showTool();
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
    // A see-through layer is dimmed by painting over it: scaling its colours
    // would leave its clear pixels clear.
    const bool copy = window && zoom.factor() == 1 && s == 1 && window->format() == layer->format() &&
                      toWindow.type() <= QTransform::TxTranslate && !(m_spot.on() && layer->hasAlphaChannel());
    const QPoint offset(int(toWindow.dx()), int(toWindow.dy()));
    // The spotlight's next moves repaint as little as this device allows.
    m_spot.setExact((device ? device->devicePixelRatio() : devicePixelRatioF()) == 1);
    if (copy) // the spotlight's dim in the same pass
        m_spot.copy(*layer, *window, event->region(), offset);
    for (const QRect &r : copy ? QRegion() : event->region()) {
        const QRectF view(r);
        const QRectF picture(zoom.toPicture(view.topLeft()), view.size() / zoom.factor());
        p.drawImage(view, *layer, QRectF(picture.topLeft() * s, picture.size() * s));
    }
    paintKit(p, event->region(), copy);
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
    // The screen beneath a live window is no picture of ours to enlarge.
    if (live())
        return;
    m_zoom.stepAt(anchor, steps);
    update();
}

void DrawingWindow::keepComposition()
{
    const QString typed = m_document->text(), composing = m_document->preedit();
    QInputMethod *im = QGuiApplication::inputMethod();
    if (!m_document->typing() || !im || composing.isEmpty())
        return;
    // The input method's own commit, where it sends one at once; some send it
    // only on a reset. Whichever it is, the words go in once.
    im->commit();
    if (m_document->text() == typed)
        im->reset();
    if (m_document->text() == typed)
        m_document->typeText(composing);
}

bool DrawingWindow::takeKeyFirst(int key, Qt::KeyboardModifiers modifiers)
{
    if (!m_document->typing() || m_document->preedit().isEmpty())
        return false; // nothing composed: the key goes its usual way
    const ModeKey *command = findModeKey(key, modifiers);
    // Undo and redo stay the input method's while it composes: there they take
    // back part of what it holds, where the mode's would take back the whole
    // text. Ctrl+Shift+D is the program's key, taken where it is held
    // (forms::GlobalShortcut), which also keeps it from acting again when held.
    if (!command || !(command->modifiers & (Qt::ControlModifier | Qt::AltModifier)) ||
        command->command == Command::Undo || command->command == Command::Redo || key == Qt::Key_D)
        return false;
    // Out of the window system's event handling: the command may open a dialog.
    QMetaObject::invokeMethod(
        this,
        [this, command] {
            keepComposition();
            run(*command, mapFromGlobal(QCursor::pos()));
        },
        Qt::QueuedConnection);
    return true;
}

QImage DrawingWindow::picture()
{
    confirmText();
    endMark();
    return m_document->shown();
}

} // namespace present
