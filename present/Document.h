#pragma once

#include "canvas/History.h"
#include "canvas/Surface.h"
#include "present/Ink.h"
#include "present/Laser.h"
#include "present/Marks.h"

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace canvas {
class ToolState;
}

namespace present {

// The drawing mode's document: a frozen screen and the marks drawn over it,
// with their own history, and two plain boards (white and black) that keep
// marks of their own. The pen and the eraser are the program's one tool state;
// the eraser uncovers what lies beneath. Each mark in progress is an object of
// its own (Marks.h), made from the tool state when it begins.
//
// Points are logical pixels of the page. A view that shows the page zoomed
// gives its zoom with each mark, so that a pen keeps its width on the screen.
class Document
{
public:
    enum class Page { Screen, White, Black };

    // `screen` in device pixels, its device pixel ratio the monitor's scale.
    Document(const QImage &screen, canvas::ToolState &tools);
    // Over a live screen: the screen page is see-through, the marks all there
    // is of it, and the eraser takes ink away. `device` is the monitor's size in
    // device pixels, `scale` its device pixels to a logical pixel.
    Document(QSize device, qreal scale, canvas::ToolState &tools);
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    // The page shown and its history.
    canvas::Surface &surface() { return m_pages[size_t(m_page)]->surface; }
    canvas::History &history() { return m_pages[size_t(m_page)]->history; }
    // Told of every change of the page shown (logical pixels).
    void setChangeListener(std::function<void(const QRect &)> listener);

    // A mark with the current tool, shown through the change listener. Pressure
    // runs from 0 to 1; a mouse presses fully.
    void press(QPointF at, Shape shape = Shape::Free, Input input = Input::Mouse, qreal pressure = 1,
               qreal viewScale = 1);
    void move(QPointF at, qreal pressure = 1);
    void release();
    bool drawing() const { return m_drawing; }
    // A shape follows the pointer: only where the pointer is last counts.
    bool shaping() const { return m_drawing && m_shaping; }

    // The presenter's tool that takes the pen's place (none: the pen). Its
    // marks go where the pen's would; the laser's to laser().
    Kit kit() const { return m_kit; }
    void setKit(Kit kit) { m_kit = kit; }
    // The fading ink, over whatever page is shown and never part of it.
    Laser &laser() { return m_laser; }
    // The number the next numbered step shows on the page shown.
    int nextNumber() const { return m_pages[size_t(m_page)]->nextNumber; }

    bool highlighter() const { return m_highlighter; }
    void setHighlighter(bool on) { m_highlighter = on; }
    // The pen colour (the program's one) and the highlighter's, which is yellow
    // until a colour is chosen here.
    void chooseColor(std::int32_t colorWord);

    // Text at a point, in the pen colour, its size following the pen width.
    void startText(QPointF at, qreal viewScale = 1);
    bool typing() const { return m_text != nullptr; }
    // As an input method sends it (see TextMark::type).
    void typeText(const QString &commit, const QString &preedit = QString(), int replaceFrom = 0, int replaceLength = 0,
                  int preeditCaret = -1);
    void backspace();
    void endText();
    // The text being typed, or the last one typed.
    QString text() const { return m_text ? m_text->text() : m_lastText; }
    QString preedit() const { return m_text ? m_text->preedit() : QString(); }
    // Where the next character goes (logical pixels of the page).
    QRectF textCursor() const { return m_text ? m_text->cursor() : QRectF(); }

    Page page() const { return m_page; }
    // The screen beneath keeps moving: only the marks are the document's.
    bool live() const { return m_live; }
    // A board's key shows the board, or the screen again when it is shown.
    void toggleBoard(Page board);

    // The marks go; what lies beneath stays.
    void clear();
    bool undo();
    bool redo();

    // What the mode shows at 1x: the page and its marks, exactly the monitor's
    // device pixels. A text being typed is finished first: its caret is no mark.
    QImage shown();
    // The same as it is now, a text being typed and all (for a copy kept aside).
    QImage showing();

private:
    // Laser ink fades on a layer of its own, shown through the change listener.
    void showLaser();
    struct Sheet
    {
        canvas::Surface surface;
        canvas::History history{surface};
        int nextNumber = 1;
    };

    Sheet &sheet(Page page);
    MarkTool tool(Shape shape, Input input, qreal viewScale) const;
    bool darkAround(QPointF deviceAt);
    // The numbering a step undone or redone leaves; whether there was one.
    bool restoreNumber(const std::optional<canvas::DocumentState> &state);
    // Shows the ink again over these areas (device pixels).
    void compose(const std::vector<QRect> &areas);

    canvas::ToolState &m_tools;
    std::array<std::unique_ptr<Sheet>, 3> m_pages;
    Page m_page = Page::Screen;
    qreal m_scale = 1;
    bool m_live = false;
    QSize m_device; // the monitor's device pixels: what is shown, saved and handed back
    std::function<void(const QRect &)> m_listener;
    Ink m_ink;
    Laser m_laser;
    MarkTarget m_target{m_ink, nullptr, [this](const std::vector<QRect> &areas) { compose(areas); }, {}, {}, {}};
    std::vector<QRect> m_merged;

    bool m_drawing = false;
    bool m_recording = false;        // the mark in progress is a step
    canvas::DocumentState m_closing; // what its step ends with
    std::unique_ptr<Mark> m_mark;
    bool m_shaping = false;
    std::unique_ptr<TextMark> m_text;
    QString m_lastText;

    bool m_highlighter = false;
    std::int32_t m_highlighterColor;
    Kit m_kit = Kit::None;
};

// A live document's marks (see-through, from shown()) laid over the screen as it
// was beneath them: what the presenter saw. Device pixels; the result has the
// screen's size and scale.
QImage layOver(const QImage &screen, const QImage &marks);

} // namespace present
