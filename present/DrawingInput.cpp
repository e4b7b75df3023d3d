// The drawing mode's input: keys through the mode's key table, and mouse,
// tablet and touch through one pen-down, move and up.
#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/Platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QTabletEvent>
#include <QTouchEvent>

namespace present {

Shape shapeFor(Qt::KeyboardModifiers modifiers, bool tabHeld)
{
    const bool shift = modifiers & Qt::ShiftModifier, ctrl = modifiers & Qt::ControlModifier;
    if (ctrl && shift)
        return Shape::Arrow;
    if (ctrl)
        return Shape::Rectangle;
    if (shift)
        return Shape::Line;
    return tabHeld ? Shape::Ellipse : Shape::Free;
}

bool DrawingWindow::handlesKey(const QKeyEvent &key) const
{
    // The key card takes any key, to go.
    if (m_card)
        return true;
    // While text is typed, every key without Ctrl or Alt is the text's.
    if (m_document->typing() && !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return true;
    return findModeKey(key.key(), key.modifiers()) != nullptr;
}

bool DrawingWindow::event(QEvent *event)
{
    const QEvent::Type type = event->type();
    // The mode's keys are its own: the main window's shortcuts (which work from
    // every window of the program) must not act on the main window meanwhile.
    if (type == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_ranEarly = false;
        if (!handlesKey(*key))
            return QWidget::event(event);
        event->accept();
        // While text is typed, a key with Ctrl or Alt acts here, before the
        // input method: one that is composing would keep it for itself.
        const ModeKey *command = findModeKey(key->key(), key->modifiers());
        if (m_document->typing() && command && (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            m_ranEarly = true;
            if (!repeated(*key) || command->repeats)
                run(*command, pointer());
        }
        return true;
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Tab held down chooses the ellipse; it never moves the focus here.
        if (key->key() == Qt::Key_Tab && !m_document->typing()) {
            if (!key->isAutoRepeat())
                m_tabHeld = type == QEvent::KeyPress;
            event->accept();
            return true;
        }
        if (type == QEvent::KeyRelease && !key->isAutoRepeat() && key->key() == m_heldKey) {
            m_heldReleasedAt = key->timestamp();
            if (m_textKeyDown)
                m_textKeyUp.start(); // unless it was one of the X server's repeats
        }
    }
    if (type == QEvent::TouchBegin || type == QEvent::TouchUpdate || type == QEvent::TouchEnd ||
        type == QEvent::TouchCancel) {
        touch(*static_cast<QTouchEvent *>(event));
        return true;
    }
    if (type == QEvent::WindowDeactivate)
        endMark();
    return QWidget::event(event);
}

void DrawingWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_ranEarly) {
        m_ranEarly = false; // done as its shortcut override came
        return;
    }
    if (!handlesKey(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_card) {
        if (!repeated(*event)) // a key held since the card came up stays the card's
            hideKeyCard();
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool typing = m_document->typing() && !ctrl && !(event->modifiers() & Qt::AltModifier);
    const ModeKey *key = typing ? nullptr : findModeKey(event->key(), event->modifiers());
    if (repeated(*event)) {
        // A key held down repeats undo, redo, zooming and typing, never a
        // command that switches something (a board, the highlighter, a text).
        const bool repeats = typing ? event->key() != m_heldKey : key && key->repeats;
        if (event->key() == m_heldKey)
            m_textKeyUp.stop(); // still held
        if (!repeats)
            return;
    } else if (!typing) {
        m_heldKey = event->key(); // a command's key: the text it may start must not get its repeats
        m_heldReleasedAt = 0;
        m_textKeyDown = key && key->command == Command::Text;
    } else if (event->key() == m_heldKey) {
        m_heldKey = 0; // pressed again after it came up: now it types
    }
    if (typing)
        typingKey(*event);
    else if (key)
        run(*key, pointer());
}

bool DrawingWindow::repeated(const QKeyEvent &key) const
{
    if (key.isAutoRepeat())
        return true;
    // The X server sends a held key's repeats as a release and a press at the
    // same moment; Qt tells them apart only when both are in its queue at once.
    return key.key() == m_heldKey && m_heldReleasedAt != 0 && key.timestamp() != 0 &&
           key.timestamp() - m_heldReleasedAt <= 2;
}

namespace {

bool endsText(Command command)
{
    switch (command) {
    case Command::Text:
    case Command::WhiteBoard:
    case Command::BlackBoard:
    case Command::Clear:
    case Command::Undo:
    case Command::Redo:
    case Command::Save:
    case Command::Copy:
    case Command::Leave:
        return true;
    default:
        return false;
    }
}

} // namespace

void DrawingWindow::run(const ModeKey &key, QPointF pointer)
{
    // A command that ends the text keeps what the input method was composing.
    if (endsText(key.command))
        confirmText();
    if (!runTool(key, pointer) && !runPage(key, pointer) && !runOutward(key))
        runKit(key, pointer);
    showTyping();
}

bool DrawingWindow::runTool(const ModeKey &key, QPointF pointer)
{
    switch (key.command) {
    case Command::Pen:
        m_tools.selectPen(key.arg);
        return true;
    case Command::Eraser:
        m_document->setKit(Kit::None);
        m_tools.selectEraser(key.arg);
        return true;
    case Command::Color:
        m_document->chooseColor(key.arg);
        return true;
    case Command::ChooseColor:
        endMark();
        emit colorRequested();
        return true;
    case Command::Highlighter:
        m_document->setKit(Kit::None);
        m_document->setHighlighter(!m_document->highlighter());
        return true;
    case Command::Text:
        m_document->startText(m_zoom.toPicture(pointer), m_zoom.factor());
        return true;
    default:
        return false;
    }
}

bool DrawingWindow::runPage(const ModeKey &key, QPointF pointer)
{
    switch (key.command) {
    case Command::WhiteBoard:
    case Command::BlackBoard:
        m_document->toggleBoard(key.command == Command::WhiteBoard ? Document::Page::White : Document::Page::Black);
        return true;
    case Command::Clear:
        m_document->clear();
        return true;
    case Command::Undo:
        m_document->undo();
        return true;
    case Command::Redo:
        m_document->redo();
        return true;
    case Command::ZoomIn:
    case Command::ZoomOut:
        zoomBy(key.command == Command::ZoomIn ? 1 : -1, pointer);
        return true;
    case Command::ZoomReset:
        m_zoom.reset();
        update();
        return true;
    default:
        return false;
    }
}

bool DrawingWindow::runOutward(const ModeKey &key)
{
    switch (key.command) {
    case Command::Save:
        endMark();
        emit saveRequested();
        return true;
    case Command::Copy:
        if (live()) { // the screen beneath is the mode's to take
            endMark();
            emit copyRequested();
            return true;
        }
        copyPicture();
        return true;
    case Command::Leave:
        emit leaveRequested();
        return true;
    default:
        return false;
    }
}

void DrawingWindow::copyPicture()
{
    QImage image = picture();
    image.setDevicePixelRatio(1);
    m_platform.setClipboardImage(image);
}

void DrawingWindow::typingKey(QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Escape:
        m_document->endText();
        showTyping();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_document->typeText(QStringLiteral("\n"));
        break;
    case Qt::Key_Backspace:
        m_document->backspace();
        break;
    default:
        if (!event.text().isEmpty() && event.text().at(0).isPrint())
            m_document->typeText(event.text());
        break;
    }
}

bool DrawingWindow::inputMethodOn() const
{
    // Not while the key that began the text is still down: an input method would
    // take its repeats as typing.
    return m_document->typing() && !m_textKeyDown;
}

void DrawingWindow::showTyping()
{
    const bool on = inputMethodOn();
    if (testAttribute(Qt::WA_InputMethodEnabled) == on)
        return;
    setAttribute(Qt::WA_InputMethodEnabled, on);
    if (QInputMethod *im = QGuiApplication::inputMethod()) {
        if (!on)
            im->commit();
        im->update(Qt::ImEnabled | Qt::ImCursorRectangle);
    }
}

void DrawingWindow::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_document->typing()) {
        int caret = -1;
        for (const QInputMethodEvent::Attribute &a : event->attributes())
            if (a.type == QInputMethodEvent::Cursor)
                caret = a.start;
        m_document->typeText(event->commitString(), event->preeditString(), event->replacementStart(),
                             event->replacementLength(), caret);
        if (QInputMethod *im = QGuiApplication::inputMethod())
            im->update(Qt::ImCursorRectangle);
    }
    event->accept();
}

QVariant DrawingWindow::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QString line = m_document->text().section(QLatin1Char('\n'), -1);
    switch (query) {
    case Qt::ImEnabled:
        return inputMethodOn();
    case Qt::ImCursorRectangle:
        return m_zoom.toView(m_document->textCursor()).toAlignedRect();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImSurroundingText:
        return line;
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
        return int(line.size());
    default:
        return QWidget::inputMethodQuery(query);
    }
}

void DrawingWindow::confirmText()
{
    if (!m_document->typing())
        return;
    keepComposition();
    m_document->endText();
    showTyping();
}

void DrawingWindow::penDown(const PenEvent &pen)
{
    if (m_penDown)
        return;
    m_penDown = true;
    followPointer(pen.at);
    if (m_card) {
        // The click that takes the key card away does nothing else.
        hideKeyCard();
        m_swallowPen = true;
        return;
    }
    if (m_document->typing()) {
        // The touch that ends the text draws nothing.
        confirmText();
        m_swallowPen = true;
        return;
    }
    m_document->press(m_zoom.toPicture(pen.at), shapeFor(pen.modifiers, m_tabHeld), pen.device, pen.pressure,
                      m_zoom.factor());
}

void DrawingWindow::penMove(const PenEvent &pen)
{
    followPointer(pen.at);
    if (!m_penDown || m_swallowPen)
        return;
    if (!m_document->shaping()) {
        m_document->move(m_zoom.toPicture(pen.at), pen.pressure);
        return;
    }
    m_shapeMove = pen;
    if (!m_shapeMovePending) {
        m_shapeMovePending = true;
        // After the samples that came with this one, before the next frame.
        QMetaObject::invokeMethod(this, &DrawingWindow::moveShape, Qt::QueuedConnection);
    }
}

void DrawingWindow::moveShape()
{
    if (!m_shapeMovePending)
        return;
    m_shapeMovePending = false;
    if (m_penDown && m_document->shaping())
        m_document->move(m_zoom.toPicture(m_shapeMove.at), m_shapeMove.pressure);
}

void DrawingWindow::penUp()
{
    moveShape(); // the shape ends where the pointer last was
    m_penDown = false;
    m_swallowPen = false;
    m_document->release();
    if (!m_document->laser().empty() && !m_laserFrame.isActive())
        laserFrame(); // the fade waits from here
}

void DrawingWindow::endMark()
{
    m_buttonsDown = 0;
    penUp();
}

void DrawingWindow::focusOutEvent(QFocusEvent *event)
{
    endMark();
    m_textKeyDown = false; // its release may never come here
    showTyping();
    QWidget::focusOutEvent(event);
}

QPointF DrawingWindow::pointer() const
{
    // Where the window system does not say where the pointer is (a surface of
    // the compositor's own, on Wayland), the last move says it.
    if (m_pointerSeen)
        return m_pointer;
    return mapFromGlobal(QCursor::pos());
}

void DrawingWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    m_pointer = event->position();
    m_pointerSeen = true;
    const bool first = m_buttonsDown == 0;
    m_buttonsDown |= int(event->button());
    if (first) // any button draws, as on the main window's surface
        penDown({event->position(), 1, Input::Mouse, event->modifiers()});
}

void DrawingWindow::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    m_pointer = event->position();
    m_pointerSeen = true;
    if (m_buttonsDown && event->buttons() == Qt::NoButton) {
        // The release went elsewhere (over a dialog, another window): the mark
        // ended there.
        endMark();
        return;
    }
    penMove({event->position(), 1, Input::Mouse, event->modifiers()});
}

void DrawingWindow::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    m_buttonsDown &= ~int(event->button());
    if (m_buttonsDown == 0)
        penUp();
}

void DrawingWindow::tabletEvent(QTabletEvent *event)
{
    // Accepted, so that no mouse event is made up from it as well.
    event->accept();
    const Input device =
        event->pointerType() == QPointingDevice::PointerType::Eraser ? Input::TabletEraser : Input::TabletTip;
    const PenEvent pen{event->position(), event->pressure(), device, event->modifiers()};
    switch (event->type()) {
    case QEvent::TabletPress:
        penDown(pen);
        break;
    case QEvent::TabletMove:
        penMove(pen); // a pen hovering over the tablet moves without drawing
        break;
    case QEvent::TabletRelease:
        penUp();
        break;
    default:
        break;
    }
}

void DrawingWindow::touch(QTouchEvent &event)
{
    // One finger draws as the mouse does; a second finger is not a second pen.
    event.accept();
    if (event.points().isEmpty())
        return;
    const QEventPoint &point = event.points().first();
    const PenEvent pen{point.position(), 1, Input::Mouse, event.modifiers()};
    if (event.type() == QEvent::TouchBegin)
        penDown(pen);
    else if (event.type() == QEvent::TouchUpdate)
        penMove(pen);
    else
        penUp();
}

} // namespace present
