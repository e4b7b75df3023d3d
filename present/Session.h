#pragma once

#include "canvas/History.h"
#include "canvas/Surface.h"
#include "present/Ink.h"
#include "present/Zoom.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace canvas {
class ToolState;
}

namespace present {

// The drawing mode's document: a frozen screen and the marks drawn over it,
// with their own history, and two plain boards (white and black) that keep
// marks of their own. The pen and the eraser are the program's one tool state;
// the eraser uncovers what lies beneath. Marks are anti-aliased: freehand
// strokes, straight lines, rectangles, arrows, ellipses and text, with the pen
// or the highlighter. Input arrives in view coordinates and lands on the picture
// through the zoom, and a pen keeps its width on the screen however far the view
// is zoomed.
class Session
{
public:
    enum class Shape { Free, Line, Rectangle, Arrow, Ellipse };
    enum class Input {
        Mouse,       // full width
        TabletTip,   // width from pressure; the first sample's pressure is not trusted
        TabletEraser // erases, whatever the tool
    };
    enum class Page { Screen, White, Black };

    // `screen` in device pixels, its device pixel ratio the monitor's scale.
    Session(const QImage &screen, canvas::ToolState &tools);
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The page shown and its history.
    canvas::Surface &surface() { return m_pages[size_t(m_page)]->surface; }
    canvas::History &history() { return m_pages[size_t(m_page)]->history; }
    Zoom &zoom() { return m_zoom; }
    const Zoom &zoom() const { return m_zoom; }
    // Told of every change of the page shown (logical pixels).
    void setChangeListener(std::function<void(const QRect &)> listener);

    // A mark with the current tool, shown through the change listener. Pressure
    // runs from 0 to 1; a mouse presses fully.
    void press(QPointF viewPoint, Shape shape = Shape::Free, Input input = Input::Mouse, qreal pressure = 1);
    void move(QPointF viewPoint, qreal pressure = 1);
    void release();
    bool drawing() const { return m_drawing; }

    bool highlighter() const { return m_highlighter; }
    void setHighlighter(bool on);
    // The pen colour (the program's one) and the highlighter's, which is yellow
    // until a colour is chosen here.
    void chooseColor(std::int32_t colorWord);
    std::int32_t highlighterColor() const { return m_highlighterColor; }

    // Text at the pointer, in the pen colour, its size following the pen width.
    void startText(QPointF viewPoint);
    bool typing() const { return m_typing; }
    // As an input method sends it: `commit` replaces `replaceLength` characters
    // from `replaceFrom` (relative to the end of the text, where the caret is),
    // and `preedit` shows after the text until the next call, with the caret
    // `preeditCaret` characters into it (at its end when negative).
    void typeText(const QString &commit, const QString &preedit = QString(), int replaceFrom = 0,
                  int replaceLength = 0, int preeditCaret = -1);
    // What the input method is composing, shown but not yet part of the text.
    QString preedit() const { return m_preedit; }
    void backspace();
    void endText();
    QString text() const { return m_text; }
    // Where the next character goes, in view coordinates.
    QRectF textCursor() const;

    Page page() const { return m_page; }
    // A board's key shows the board, or the screen again when it is shown.
    void toggleBoard(Page board);

    // The marks go; what lies beneath stays.
    void clear();
    bool undo();
    bool redo();

    // What the mode shows at 1x: the page and its marks, exactly the monitor's
    // device pixels. A text being typed is finished first: its caret is no mark.
    QImage shown();

private:
    struct Sheet
    {
        canvas::Surface surface;
        canvas::History history{surface};
    };

    Sheet &sheet(Page page);
    qreal deviceScale() const { return m_scale; }
    // Ink is centred on the middle of the view pixel the pointer is on, so that a
    // thin line on a whole pixel is one crisp pixel wide.
    QPointF toDevice(QPointF viewPoint) const { return m_zoom.toPicture(viewPoint + QPointF(0.5, 0.5)) * m_scale; }
    // The mark's radius in device pixels at this pressure.
    qreal radius(qreal pressure) const;
    void erase(QPointF viewPoint);
    Ink::Look highlighterLook(QPointF at);
    void drawStroke(QPointF at, qreal r);
    void drawShape(QPointF to);
    void renderText(bool caret);
    QPointF caretAt(const QFontMetricsF &metrics) const; // device pixels, top of the line
    // Shows the layer again over these areas (device pixels).
    QRect compose(const std::vector<QRect> &areas);

    canvas::ToolState &m_tools;
    std::array<std::unique_ptr<Sheet>, 3> m_pages;
    Page m_page = Page::Screen;
    qreal m_scale = 1;
    QSize m_device; // the monitor's device pixels: what is shown, saved and handed back
    std::function<void(const QRect &)> m_listener;
    Zoom m_zoom;
    Ink m_ink;

    bool m_drawing = false;
    bool m_erasing = false;
    // The tool a mark was begun with: a change while it is drawn applies to the next.
    int m_markPen = 1;
    bool m_markHighlighter = false;
    Shape m_shape = Shape::Free;
    bool m_pending = false; // a tablet's first sample, waiting for a pressure to trust
    QPointF m_anchor;
    std::array<QPointF, 3> m_points; // a stroke's last three samples, the latest last
    std::array<qreal, 3> m_radii{};
    int m_samples = 0;
    std::vector<Piece> m_pieces, m_nextPieces;
    std::vector<QRect> m_areas, m_merged;

    bool m_highlighter = false;
    std::int32_t m_highlighterColor;

    bool m_typing = false;
    QPointF m_textAt; // device pixels, top-left
    QFont m_textFont;
    QString m_text, m_preedit;
    int m_preeditCaret = -1;
    QRect m_textArea;
};

} // namespace present
