#pragma once

#include "present/Geometry.h"
#include "present/Ink.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace canvas {
class Surface;
}

namespace present {

// What a mark is made with.
enum class Input {
    Mouse,       // full width
    TabletTip,   // width from pressure; the first sample's pressure is not trusted
    TabletEraser // erases, whatever the tool
};

// The presenter's tools that take the pen's place while they are on: ink that
// fades (Laser.h), numbered steps (Steps.h) and redaction (Redaction.h).
enum class Kit { None, Laser, Steps, Redact };

class Laser;

// The tool a mark is drawn with, fixed when it begins: a tool chosen while it is
// drawn applies to the next mark.
struct MarkTool
{
    Shape shape = Shape::Free;
    Input input = Input::Mouse;
    bool eraser = false;
    bool highlighter = false;
    bool darkPage = false;   // the highlighter screens rather than multiplies
    bool seeThrough = false; // the page has nothing beneath: the highlighter is a veil
    int pen = 1;             // the pen's width, 1 to 9
    int eraserHalf = 3;      // half the eraser's side, less the pen's reach
    QRgb color = 0;
    qreal viewScale = 1;   // the view's zoom: widths are what the screen shows
    qreal deviceScale = 1; // the page's device pixels to a logical pixel
    Kit kit = Kit::None;
    int number = 0;    // the number a step mark shows
    bool live = false; // the page shows a live screen beneath, not a frozen one

    // Ink is centred on the middle of the view pixel the pointer is on, so that
    // a thin line on a whole pixel is one crisp pixel wide.
    QPointF toDevice(QPointF at) const { return (at + QPointF(0.5, 0.5) / viewScale) * deviceScale; }
    // The mark's radius in device pixels at this pressure (0 to 1).
    qreal radius(qreal pressure) const;
};

// Where marks draw: the ink laid over the page's layer, and the page itself,
// which the eraser uncovers. `show` lays the ink over the layer again in those
// areas (device pixels). The buffers last from mark to mark, so that nothing is
// allocated while a mark grows.
struct MarkTarget
{
    Ink &ink;
    canvas::Surface *surface = nullptr; // the page shown when the mark began
    std::function<void(const std::vector<QRect> &)> show;
    std::vector<Piece> pieces, nextPieces;
    std::vector<QRect> areas;
    Laser *laser = nullptr; // where fading ink goes, apart from the page
};

// A mark in progress, from the button going down to its coming up. Points are
// logical pixels of the page.
class Mark
{
public:
    Mark(MarkTarget &target, const MarkTool &tool) : m_target(target), m_tool(tool) {}
    virtual ~Mark() = default;
    Mark(const Mark &) = delete;
    Mark &operator=(const Mark &) = delete;

    virtual void begin(QPointF at, qreal pressure) = 0;
    virtual void move(QPointF at, qreal pressure) = 0;
    virtual void end() {}

protected:
    MarkTarget &m_target;
    const MarkTool m_tool;
};

// The mark a tool makes: an eraser, a freehand stroke or a shape; null when
// there is no memory for its ink (it draws nothing).
std::unique_ptr<Mark> makeMark(MarkTarget &target, const MarkTool &tool);

// A text being typed at a point, through the input method: it shows as it is
// typed, with a caret, and stays as one mark when it ends.
class TextMark
{
public:
    TextMark(MarkTarget &target, const MarkTool &tool, QPointF at);
    ~TextMark();
    bool ok() const { return m_ok; }

    // `commit` replaces `replaceLength` characters from `replaceFrom` (counted
    // back from the end, where the caret is); `preedit` shows after the text
    // until the next call, with the caret `preeditCaret` characters into it (at
    // its end when negative).
    void type(const QString &commit, const QString &preedit, int replaceFrom, int replaceLength, int preeditCaret);
    void backspace();
    // Ends the text as it stands, without its caret and what is still composed.
    void end();
    QString text() const { return m_text; }
    QString preedit() const { return m_preedit; }
    // Where the next character goes, in logical pixels of the page.
    QRectF cursor() const;

private:
    void render(bool caret);
    QPointF caretAt(const QFontMetricsF &metrics) const; // device pixels, top of the line

    MarkTarget &m_target;
    const MarkTool m_tool;
    bool m_ok = false;
    QPointF m_at; // device pixels, top-left
    QFont m_font;
    QString m_text, m_preedit;
    int m_preeditCaret = -1;
    QRect m_area;
};

} // namespace present
