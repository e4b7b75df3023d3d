#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/ColorWord.h"
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
    : QWidget(nullptr, modeFlags()), m_session(std::make_unique<Session>(screen, tools)), m_tools(tools),
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
    m_session->setChangeListener([this](const QRect &area) { showPicture(area); });
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
    m_session->setChangeListener({});
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, m_compressed);
}

void DrawingWindow::showTool()
{
    if (m_tools.eraserMode()) {
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
    // One of the program's dialogs (the colour, saving, a message): it goes over
    // the mode, with the keys, and they come back when it goes.
    // A click on the mode brings it back over a window of ours that was clicked.
    if (watched == this && event->type() == QEvent::MouseButtonPress && !m_keyboardHeld &&
        !QApplication::activeModalWidget()) {
        raise();
        holdKeyboard(true);
    }
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
    update(m_session->zoom().toView(QRectF(pictureArea)).toAlignedRect().adjusted(-1, -1, 1, 1));
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
    m_session->zoom().setView(QSizeF(m_session->surface().area()));
}

void DrawingWindow::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QImage *layer = m_session->surface().screenLayer();
    if (!layer) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    // Only the exposed part: the picture behind it, through the zoom, unsmoothed
    // so that a zoomed view shows the pixels as they are.
    const Zoom &zoom = m_session->zoom();
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
}

Session::Shape shapeFor(Qt::KeyboardModifiers modifiers, bool tabHeld)
{
    const bool shift = modifiers & Qt::ShiftModifier, ctrl = modifiers & Qt::ControlModifier;
    if (ctrl && shift)
        return Session::Shape::Arrow;
    if (ctrl)
        return Session::Shape::Rectangle;
    if (shift)
        return Session::Shape::Line;
    return tabHeld ? Session::Shape::Ellipse : Session::Shape::Free;
}

std::optional<std::int32_t> colorKey(int key)
{
    switch (key) {
    case Qt::Key_R:
        return forms::colorWord(255, 0, 0);
    case Qt::Key_G:
        return forms::colorWord(0, 170, 0);
    case Qt::Key_B:
        return forms::colorWord(0, 0, 255);
    case Qt::Key_Y:
        return forms::colorWord(255, 220, 0);
    case Qt::Key_O:
        return forms::colorWord(255, 140, 0);
    case Qt::Key_P:
        return forms::colorWord(255, 105, 180);
    default:
        return std::nullopt;
    }
}

bool DrawingWindow::handlesKey(const QKeyEvent &key) const
{
    const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int k = key.key();
    // While text is typed, every key without Ctrl or Alt is the text's.
    if (m_session->typing() && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        return true;
    if (mods == Qt::NoModifier &&
        (colorKey(k) || k == Qt::Key_H || k == Qt::Key_T || k == Qt::Key_W || k == Qt::Key_K))
        return true;
    if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
        if ((k >= Qt::Key_F1 && k <= Qt::Key_F9) || k == Qt::Key_F11 || k == Qt::Key_F12 || k == Qt::Key_Delete ||
            k == Qt::Key_Escape || k == Qt::Key_Plus || k == Qt::Key_Minus || k == Qt::Key_Equal || k == Qt::Key_0)
            return true;
    }
    if (mods == Qt::ControlModifier)
        return k == Qt::Key_Z || k == Qt::Key_Y || k == Qt::Key_S || k == Qt::Key_C;
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return k == Qt::Key_Z || k == Qt::Key_C || k == Qt::Key_D;
    return false;
}

bool DrawingWindow::event(QEvent *event)
{
    // Alt+F4 leaves, as Esc does: while the keyboard is held here, no window
    // manager sees it to close the window.
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F4 && (key->modifiers() & Qt::AltModifier)) {
            emit leaveRequested();
            return true;
        }
    }
    // The mode's keys are its own: the main window's shortcuts (which work from
    // every window of the program) must not act on the main window meanwhile.
    if (event->type() == QEvent::ShortcutOverride && handlesKey(*static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    // Tab held down chooses the ellipse; it never moves the focus here.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab && !m_session->typing()) {
        if (!static_cast<QKeyEvent *>(event)->isAutoRepeat())
            m_tabHeld = event->type() == QEvent::KeyPress;
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void DrawingWindow::keyPressEvent(QKeyEvent *event)
{
    if (!handlesKey(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int k = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const QPointF pointer = mapFromGlobal(QCursor::pos());
    if (m_session->typing() && !ctrl) {
        typingKey(*event);
        return;
    }
    if (ctrl) {
        if (k == Qt::Key_Z && !shift)
            m_session->undo();
        else if (k == Qt::Key_Y || (k == Qt::Key_Z && shift))
            m_session->redo();
        else if (k == Qt::Key_S)
            emit saveRequested();
        else if (k == Qt::Key_C && shift)
            m_platform.setClipboardImage([this] {
                QImage image = m_session->shown();
                image.setDevicePixelRatio(1);
                return image;
            }());
        else if (k == Qt::Key_C)
            emit colorRequested();
        else if (k == Qt::Key_D)
            emit leaveRequested();
        showTyping();
        return;
    }
    if (!shift && (k == Qt::Key_W || k == Qt::Key_K)) {
        m_session->toggleBoard(k == Qt::Key_W ? Session::Page::White : Session::Page::Black);
        return;
    }
    if (!shift && k == Qt::Key_H) {
        m_session->setHighlighter(!m_session->highlighter());
        return;
    }
    if (!shift && k == Qt::Key_T) {
        m_session->startText(pointer);
        showTyping();
        return;
    }
    if (const std::optional<std::int32_t> color = colorKey(k); color && !shift) {
        m_session->chooseColor(*color);
    } else if (k >= Qt::Key_F1 && k <= Qt::Key_F9) {
        m_tools.selectPen(k - Qt::Key_F1);
    } else if (k == Qt::Key_F11 || k == Qt::Key_F12) {
        m_tools.selectEraser(k == Qt::Key_F11 ? 0 : 1);
    } else if (k == Qt::Key_Delete) {
        m_session->clear();
        return;
    } else if (k == Qt::Key_Escape) {
        emit leaveRequested();
        return;
    } else {
        if (k == Qt::Key_0)
            m_session->zoom().reset();
        else
            m_session->zoom().stepAt(pointer, k == Qt::Key_Minus ? -1 : 1);
        update();
        return;
    }
    showTool();
    emit toolsChanged();
}

void DrawingWindow::typingKey(QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Escape:
        m_session->endText();
        showTyping();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_session->typeText(QStringLiteral("\n"));
        break;
    case Qt::Key_Backspace:
        m_session->backspace();
        break;
    default:
        if (!event.text().isEmpty() && event.text().at(0).isPrint())
            m_session->typeText(event.text());
        break;
    }
}

void DrawingWindow::showTyping()
{
    const bool typing = m_session->typing();
    if (testAttribute(Qt::WA_InputMethodEnabled) == typing)
        return;
    setAttribute(Qt::WA_InputMethodEnabled, typing);
    if (QInputMethod *im = QGuiApplication::inputMethod()) {
        if (!typing)
            im->commit();
        im->update(Qt::ImEnabled | Qt::ImCursorRectangle);
    }
}

void DrawingWindow::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_session->typing()) {
        m_session->typeText(event->commitString(), event->preeditString());
        if (QInputMethod *im = QGuiApplication::inputMethod())
            im->update(Qt::ImCursorRectangle);
    }
    event->accept();
}

QVariant DrawingWindow::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return m_session->typing();
    case Qt::ImCursorRectangle:
        return m_session->textCursor().toAlignedRect();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QWidget::inputMethodQuery(query);
    }
}

void DrawingWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const bool first = m_buttonsDown == 0;
    m_buttonsDown |= int(event->button());
    if (!first)
        return;
    if (m_session->typing()) {
        // The click ends the text; it draws nothing.
        m_session->endText();
        showTyping();
        m_swallowClick = true;
        return;
    }
    // Any button draws, as on the main window's surface.
    m_session->press(event->position(), shapeFor(event->modifiers(), m_tabHeld));
}

void DrawingWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_swallowClick)
        m_session->move(event->position());
    event->accept();
}

void DrawingWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_buttonsDown &= ~int(event->button());
    if (m_buttonsDown == 0) {
        m_session->release();
        m_swallowClick = false;
    }
    event->accept();
}

void DrawingWindow::tabletEvent(QTabletEvent *event)
{
    // Accepted, so that no mouse event is made up from it as well.
    event->accept();
    const Session::Input input = event->pointerType() == QPointingDevice::PointerType::Eraser
                                     ? Session::Input::TabletEraser
                                     : Session::Input::TabletTip;
    switch (event->type()) {
    case QEvent::TabletPress:
        if (m_tabletDown)
            return;
        if (m_session->typing()) {
            m_session->endText();
            showTyping();
        }
        m_tabletDown = true;
        m_session->press(event->position(), shapeFor(event->modifiers(), m_tabHeld), input, event->pressure());
        break;
    case QEvent::TabletMove:
        // A pen hovering over the tablet moves without drawing.
        if (m_tabletDown)
            m_session->move(event->position(), event->pressure());
        break;
    case QEvent::TabletRelease:
        if (m_tabletDown)
            m_session->release();
        m_tabletDown = false;
        break;
    default:
        break;
    }
}

void DrawingWindow::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        zoomBy(steps, event->position());
    event->accept();
}

void DrawingWindow::zoomBy(int steps, QPointF anchor)
{
    m_session->zoom().stepAt(anchor, steps);
    update();
}

} // namespace present
