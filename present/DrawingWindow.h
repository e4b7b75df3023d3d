#pragma once

#include "present/Document.h"
#include "present/KeyCard.h"
#include "present/Keys.h"
#include "present/Spotlight.h"
#include "present/Zoom.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class QScreen;
class QTouchEvent;

namespace forms {
class KeysFirst;
class Platform;
} // namespace forms

namespace present {

// The shape a mark takes, chosen by what is held when the button goes down:
// Shift a line, Ctrl a rectangle, both an arrow, Tab an ellipse.
Shape shapeFor(Qt::KeyboardModifiers modifiers, bool tabHeld);

// One sample of whatever draws (mouse, tablet, touch), in view coordinates.
struct PenEvent
{
    QPointF at;
    qreal pressure = 1;
    Input device = Input::Mouse;
    Qt::KeyboardModifiers modifiers;
};

// The drawing mode's window: frameless and full-screen on the monitor it was
// taken from, showing the frozen screen one picture pixel to a device pixel,
// zoomed where the presenter asks, with the marks over it. On X11 no window
// manager handles it (it would animate it in, or keep a panel over it): it
// covers exactly the monitor's device pixels, on top, at once, and holds the
// keyboard while it is up. Mouse, tablet and
// touch come in by one way (pen down, move, up) and go to the document in its
// own points; keys go through the mode's key table. What needs the rest of the
// program (the colour dialog, saving, leaving) it asks for with a signal.
class DrawingWindow : public QWidget
{
    Q_OBJECT

public:
    DrawingWindow(const QImage &screen, QScreen *on, canvas::ToolState &tools, forms::Platform &platform);
    // Over the live screen of `on`: see-through where nothing is drawn, the
    // programs beneath showing through as they go on.
    DrawingWindow(QScreen *on, canvas::ToolState &tools, forms::Platform &platform);
    ~DrawingWindow() override;

    bool live() const { return m_document->live(); }
    // The live window lets the pointer and the keys through to the programs
    // beneath, its ink staying on the screen; or takes them again.
    void setPassThrough(bool on);
    bool passingThrough() const { return m_passThrough; }

    Document &document() { return *m_document; }
    // Puts the window up over the whole monitor, with the keyboard.
    void showOverScreen();
    const Zoom &zoom() const { return m_zoom; }
    // What the mode shows, to save, copy or hand back: a composition the input
    // method holds is confirmed first, and a mark in progress ends.
    QImage picture();
    // The same as it shows now, a text being typed and all, to keep aside.
    QImage showing() { return m_document->showing(); }
    bool drawing() const { return m_document->drawing(); }
    // Ends a mark in progress: a dialog is about to open, or the window to go,
    // and the button may come up where this window never hears of it.
    void endMark();
    const Spotlight &spotlight() const { return m_spot; }
    // A frame of the laser's fade is to come (never once its ink is gone).
    bool laserFrameWaiting() const { return m_laserFrame.isActive(); }
    // The card of the mode's keys, shown over everything until a key or a click.
    bool keyCardShown() const { return m_card.has_value(); }
    QRect keyCardRect() const { return m_card ? m_card->rect() : QRect(); }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    // A key with Ctrl or Alt, offered before the input method (which keeps every
    // key while it composes): the mode's save, copy, colour and leaving keys are
    // taken then, and act on the composition confirmed. True when taken.
    bool takeKeyFirst(int key, Qt::KeyboardModifiers modifiers);

signals:
    // Something the window shows changed (in its own points): for a surface
    // that shows it elsewhere (a layer of the compositor's, on Wayland).
    void shown(const QRegion &area);
    void colorRequested();
    void saveRequested();
    // Ctrl+Shift+C in the live window: what lies beneath is not the window's.
    void copyRequested();
    // Esc or the calling key: the mode ends.
    void leaveRequested();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    DrawingWindow(std::unique_ptr<Document> document, QSize device, QScreen *on, canvas::ToolState &tools,
                  forms::Platform &platform);
    // The one way in for what draws.
    void penDown(const PenEvent &pen);
    void penMove(const PenEvent &pen);
    void penUp();
    // A shape is drawn once for all the pointer samples that came together, not
    // once for each: the screen shows only the last anyway.
    void moveShape();
    void touch(QTouchEvent &event);
    // Where the pointer is, in view coordinates.
    QPointF pointer() const;
    void run(const ModeKey &key, QPointF pointer);
    // Each runs the commands of its kind and says whether the key was one.
    bool runTool(const ModeKey &key, QPointF pointer);
    bool runPage(const ModeKey &key, QPointF pointer);
    bool runOutward(const ModeKey &key); // save, copy, leave
    void copyPicture();
    bool repeated(const QKeyEvent &key) const;
    bool handlesKey(const QKeyEvent &key) const;
    void showTool();
    void showPicture(const QRect &pictureArea);
    // Every part of the view to paint again goes this way, so that a surface
    // showing the window elsewhere hears of it too.
    void repaintView(const QRegion &area);
    void zoomBy(int steps, QPointF anchor);
    void typingKey(QKeyEvent &event);
    // A click or a pen ends the text; what the input method still composes stays
    // in it, as a line edit keeps it.
    void confirmText();
    // What the input method composes goes into the text, exactly once; the text goes on.
    void keepComposition();
    bool inputMethodOn() const;
    // Input method on while text is being typed, off otherwise.
    void showTyping();
    // The keyboard, held while the window is up and none of the program's dialogs is.
    void holdKeyboard(bool hold);
    // The presenter's kit (DrawingKit.cpp): its keys, the spotlight following
    // the pointer, the laser's fade, the key card, and their painting.
    void runKit(const ModeKey &key, QPointF pointer);
    void followPointer(QPointF at);
    void laserFrame();
    void hideKeyCard();
    // The kit over the picture; `dimmed` where the copy onto the window image did the spotlight's dim.
    void paintKit(QPainter &p, const QRegion &region, bool dimmed);

    std::unique_ptr<Document> m_document;
    canvas::ToolState &m_tools;
    forms::Platform &m_platform;
    Zoom m_zoom;
    int m_toolListener = -1;
    std::array<QPixmap, 2> m_eraserPointers;
    bool m_penDown = false;
    int m_buttonsDown = 0;
    bool m_swallowPen = false; // the touch that ended a text draws nothing
    bool m_tabHeld = false;
    int m_heldKey = 0;            // a command key held down: its auto-repeat does nothing
    quint64 m_heldReleasedAt = 0; // when it last came up, if it did
    bool m_ranEarly = false;      // the key pressed now acted at its shortcut override
    bool m_textKeyDown = false;   // the key that began the text is still down
    QTimer m_textKeyUp;           // a release, unless a repeat's press follows at once
    std::unique_ptr<forms::KeysFirst> m_keysFirst;
    WheelSteps m_wheel;
    bool m_shapeMovePending = false;
    PenEvent m_shapeMove;
    bool m_compressed = true; // the application's motion compression, given back on leaving
    QRect m_native;           // the monitor, in device pixels
    bool m_bypass = false;    // no window manager handles the window (X11)
    bool m_keyboardHeld = false;
    bool m_passThrough = false;
    QPointF m_pointer;
    bool m_pointerSeen = false;
    Spotlight m_spot;
    QTimer m_laserFrame; // runs only while laser ink waits to fade or fades
    std::optional<KeyCard> m_card;
};

} // namespace present
