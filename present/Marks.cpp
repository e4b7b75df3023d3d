#include "present/Marks.h"

#include "canvas/Surface.h"
#include "present/Laser.h"
#include "present/Redaction.h"
#include "present/Steps.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace present {

qreal MarkTool::radius(qreal pressure) const
{
    const qreal width = highlighter ? 10 + 6 * pen : pen;
    // Widths are what the screen shows: on a zoomed view they are narrower on the
    // picture, never under a pixel.
    const qreal onPicture = std::max<qreal>(1, width / viewScale);
    const qreal share = 1.0 / 3 + 2.0 / 3 * std::clamp<qreal>(pressure, 0, 1);
    return onPicture * share * deviceScale / 2;
}

namespace {

// The eraser stamps squares that show the page beneath again.
class EraserMark : public Mark
{
public:
    using Mark::Mark;
    void begin(QPointF at, qreal) override { move(at, 1); }
    void move(QPointF at, qreal) override
    {
        canvas::Surface &surface = *m_target.surface;
        surface.setDrawWidth(std::max(1, int(std::lround(m_tool.pen / m_tool.viewScale))));
        const int half = std::max(1, int(std::lround(m_tool.eraserHalf / m_tool.viewScale)));
        surface.UncoverSquare(float(at.x()), float(at.y()), half);
    }
};

// A freehand stroke: a curve through every sample (centripetal Catmull-Rom), so
// that far-apart samples make a round line, not corners, and the line goes
// through each of them. A stretch is final once the sample after it shows how
// the line goes on; until then the last one is shown straight, and replaced.
class StrokeMark : public Mark
{
public:
    using Mark::Mark;

    void begin(QPointF p, qreal pressure) override
    {
        const QPointF at = m_tool.toDevice(p);
        m_points = {at, at, at};
        m_samples = 1;
        // A tablet tip's first pressure may be a spike: the stroke starts with the next.
        m_pending = m_tool.input == Input::TabletTip;
        if (m_pending)
            return;
        const qreal r = m_tool.radius(pressure);
        m_radii = {r, r, r};
        m_target.areas.assign(1, m_target.ink.add(Piece{at, at, r, r}));
        m_target.show(m_target.areas);
    }

    void move(QPointF p, qreal pressure) override
    {
        const qreal r = m_tool.radius(pressure);
        if (m_pending) {
            m_pending = false;
            m_radii = {r, r, r};
            m_target.ink.add(Piece{m_points[2], m_points[2], r, r});
        }
        extend(m_tool.toDevice(p), r);
    }

    void end() override
    {
        Ink &ink = m_target.ink;
        if (!m_pending) {
            ink.keepTail(); // shown as it is
            return;
        }
        // A tap: no pressure but the untrusted one, so the lightest.
        const qreal r = m_tool.radius(0);
        m_target.areas.assign(1, ink.add(Piece{m_points[2], m_points[2], r, r}));
        m_target.show(m_target.areas);
    }

private:
    void extend(QPointF at, qreal r)
    {
        QPointF &p1 = m_points[1], &p2 = m_points[2];
        if (length(at - p2) < 0.01)
            return;
        Ink &ink = m_target.ink;
        std::vector<QRect> &areas = m_target.areas;
        std::vector<Piece> &next = m_target.nextPieces;
        areas.clear();
        areas.push_back(ink.setTail({}));
        if (m_samples >= 2) {
            const QPointF p0 = m_samples >= 3 ? m_points[0] : p1 - (p2 - p1);
            next.clear();
            curve(p0, p1, p2, at, m_radii[1], m_radii[2], next);
            for (const Piece &piece : next)
                areas.push_back(ink.add(piece));
        }
        next.assign(1, Piece{p2, at, m_radii[2], r});
        areas.push_back(ink.setTail(next));
        m_points = {p1, p2, at};
        m_radii = {m_radii[1], m_radii[2], r};
        ++m_samples;
        m_target.show(areas);
    }

    std::array<QPointF, 3> m_points; // the last three samples, the latest last
    std::array<qreal, 3> m_radii{};
    int m_samples = 0;
    bool m_pending = false; // a tablet's first sample, waiting for a pressure to trust
};

// A shape that follows the pointer from where the button went down. Only what
// the shape covered before and covers now is drawn again: pieces it keeps stay
// as they are, unless a piece that goes overlapped them.
class ShapeMark : public Mark
{
public:
    using Mark::Mark;

    void begin(QPointF p, qreal) override
    {
        m_anchor = m_tool.toDevice(p);
        m_target.pieces.clear();
        drawTo(m_anchor);
    }
    void move(QPointF p, qreal) override { drawTo(m_tool.toDevice(p)); }

private:
    void drawTo(QPointF to)
    {
        Ink &ink = m_target.ink;
        std::vector<Piece> &pieces = m_target.pieces, &next = m_target.nextPieces;
        std::vector<QRect> &areas = m_target.areas;
        const qreal head = (4 * m_tool.pen + 12) / m_tool.viewScale * m_tool.deviceScale;
        shapePieces(m_tool.shape, m_anchor, to, m_tool.radius(1), head, next);
        match(pieces, next);
        areas.clear();
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (!m_keptOld[i]) {
                areas.push_back(pieces[i].bounds());
                ink.clear(areas.back());
            }
        }
        const size_t cleared = areas.size();
        for (size_t i = 0; i < next.size(); ++i) {
            const Piece &piece = next[i];
            if (!m_keptNew[i]) {
                areas.push_back(ink.add(piece));
                continue;
            }
            // Inline: a call for each pair of pieces costs more than the test.
            const QRect b = piece.bounds();
            if (std::any_of(areas.begin(), areas.begin() + long(cleared), [&b](const QRect &gone) {
                    return gone.left() <= b.right() && b.left() <= gone.right() && gone.top() <= b.bottom() &&
                           b.top() <= gone.bottom();
                }))
                ink.add(piece);
        }
        std::swap(pieces, next);
        m_target.show(areas);
    }

    // Which pieces the shape keeps, found through a table of the old ones by
    // their numbers. A pair missed only costs drawing it again.
    void match(const std::vector<Piece> &old, const std::vector<Piece> &next)
    {
        m_keptOld.assign(old.size(), 0);
        m_keptNew.assign(next.size(), 0);
        // An ellipse moves every piece; the search would find nothing.
        if (m_tool.shape == Shape::Ellipse || old.empty())
            return;
        size_t size = 16;
        while (size < 2 * old.size())
            size *= 2;
        const size_t mask = size - 1;
        // Each slot holds an old piece's number and its key, which settles most
        // comparisons before the numbers are looked at.
        m_table.assign(size, Slot{});
        for (size_t i = 0; i < old.size(); ++i) {
            const size_t k = key(old[i]);
            size_t slot = k & mask;
            while (m_table[slot].index >= 0)
                slot = (slot + 1) & mask;
            m_table[slot] = Slot{int(i), k};
        }
        for (size_t j = 0; j < next.size(); ++j) {
            const size_t k = key(next[j]);
            for (size_t slot = k & mask; m_table[slot].index >= 0; slot = (slot + 1) & mask) {
                const Slot &s = m_table[slot];
                if (s.key == k && samePiece(old[size_t(s.index)], next[j])) {
                    m_keptNew[j] = 1;
                    m_keptOld[size_t(s.index)] = 1;
                    break;
                }
            }
        }
    }
    static size_t key(const Piece &p)
    {
        quint64 h = 0;
        for (const qreal v : {p.a.x(), p.a.y(), p.b.x(), p.b.y()}) {
            quint64 bits;
            std::memcpy(&bits, &v, sizeof bits);
            h = (h ^ bits) * 0x9E3779B97F4A7C15ULL;
        }
        // A product carries its bits upwards only, and the table looks at the
        // low ones: the high ones, where a point's whole pixels lie, are folded
        // down, or every piece would seek the same slot.
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        return size_t(h ^ (h >> 33));
    }

    QPointF m_anchor;
    std::vector<char> m_keptOld, m_keptNew;
    struct Slot
    {
        int index = -1;
        size_t key = 0;
    };
    std::vector<Slot> m_table;
};

QFont textFont(const MarkTool &tool)
{
    QFont font;
    // Sized as the screen shows it now; zooming later leaves it as it is.
    font.setPixelSize(std::max(6, int(std::lround((14 + 4 * tool.pen) / tool.viewScale * tool.deviceScale))));
    return font;
}

} // namespace

std::unique_ptr<Mark> makeMark(MarkTarget &target, const MarkTool &tool)
{
    if (tool.eraser)
        return std::make_unique<EraserMark>(target, tool);
    if (tool.kit == Kit::Laser)
        return makeLaserMark(target, tool);
    const QImage *layer = target.surface->screenLayer();
    if (!layer)
        return nullptr;
    if (tool.kit == Kit::Steps)
        return makeStepMark(target, tool);
    const Ink::Look look = !tool.highlighter ? Ink::Look::Pen
                           : tool.seeThrough ? Ink::Look::Veil
                           : tool.darkPage   ? Ink::Look::HighlighterOnDark
                                             : Ink::Look::Highlighter;
    if (!target.ink.begin(*layer, look, tool.color))
        return nullptr;
    if (tool.kit == Kit::Redact)
        return makeRedactMark(target, tool);
    if (tool.shape != Shape::Free)
        return std::make_unique<ShapeMark>(target, tool);
    return std::make_unique<StrokeMark>(target, tool);
}

TextMark::TextMark(MarkTarget &target, const MarkTool &tool, QPointF at)
    : m_target(target), m_tool(tool), m_at(tool.toDevice(at)), m_font(textFont(tool))
{
    const QImage *layer = target.surface->screenLayer();
    m_ok = layer && target.ink.begin(*layer, Ink::Look::Pen, tool.color);
    if (m_ok)
        render(true);
}

TextMark::~TextMark()
{
    end();
}

void TextMark::type(const QString &commit, const QString &preedit, int replaceFrom, int replaceLength, int preeditCaret)
{
    if (!m_ok)
        return;
    // The caret is always at the end of the text: a replacement counts back from there.
    const qsizetype start = std::clamp<qsizetype>(m_text.size() + replaceFrom, 0, m_text.size());
    const qsizetype length = std::clamp<qsizetype>(replaceLength, 0, m_text.size() - start);
    m_text.replace(start, length, commit);
    m_preedit = preedit;
    m_preeditCaret = preeditCaret < 0 ? -1 : std::min<int>(preeditCaret, int(preedit.size()));
    render(true);
}

void TextMark::backspace()
{
    if (!m_ok || m_text.isEmpty())
        return;
    m_text.chop(m_text.size() >= 2 && m_text.back().isLowSurrogate() ? 2 : 1);
    render(true);
}

void TextMark::end()
{
    if (!m_ok)
        return;
    m_preedit.clear();
    m_preeditCaret = -1;
    render(false);
    m_target.ink.end();
    m_ok = false;
}

QPointF TextMark::caretAt(const QFontMetricsF &metrics) const
{
    // At the end of the text, or where the input method puts it in what it composes.
    const QString before = m_text + (m_preeditCaret < 0 ? m_preedit : m_preedit.left(m_preeditCaret));
    return QPointF(m_at.x() + metrics.horizontalAdvance(before.section(QLatin1Char('\n'), -1)),
                   m_at.y() + before.count(QLatin1Char('\n')) * metrics.lineSpacing());
}

QRectF TextMark::cursor() const
{
    const QFontMetricsF metrics(m_font);
    const qreal s = m_tool.deviceScale;
    return QRectF(caretAt(metrics) / s, QSizeF(1, metrics.height()) / s);
}

void TextMark::render(bool caret)
{
    const QFontMetricsF metrics(m_font);
    const QStringList lines = (m_text + m_preedit).split(QLatin1Char('\n'));
    qreal width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const qreal caretWidth = std::max<qreal>(1, m_tool.deviceScale);
    const QSizeF size(width + caretWidth, lines.size() * metrics.lineSpacing());
    // Text that would run off the right or the bottom of the screen moves back
    // onto it, as far as its own size allows.
    const QSizeF screen(m_target.surface->deviceArea());
    m_at.setX(std::max<qreal>(0, std::min(m_at.x(), screen.width() - size.width())));
    m_at.setY(std::max<qreal>(0, std::min(m_at.y(), screen.height() - size.height())));
    const int slack = int(std::ceil(metrics.height() / 4)); // overhangs of the glyphs
    const QRect area = QRectF(m_at, size).toAlignedRect().adjusted(-slack, -slack, slack, slack);

    Ink &ink = m_target.ink;
    std::vector<QRect> &areas = m_target.areas;
    areas.clear();
    if (!m_area.isNull()) {
        areas.push_back(m_area);
        ink.clear(m_area);
    }
    ink.prepare(area);
    {
        QPainter p(&ink.coverage());
        p.setClipRect(area);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::white);
        p.setFont(m_font);
        const int last = int(lines.size()) - 1;
        const QString lastTyped = m_text.section(QLatin1Char('\n'), -1);
        for (int i = 0; i <= last; ++i) {
            const QPointF baseline(m_at.x(), m_at.y() + metrics.ascent() + i * metrics.lineSpacing());
            if (i < last || m_preedit.isEmpty()) {
                p.drawText(baseline, lines.at(i));
                continue;
            }
            // What the input method is still composing, underlined after the text.
            p.drawText(baseline, lastTyped);
            QFont underlined = m_font;
            underlined.setUnderline(true);
            p.setFont(underlined);
            p.drawText(baseline + QPointF(metrics.horizontalAdvance(lastTyped), 0), m_preedit);
            p.setFont(m_font);
        }
        if (caret)
            p.fillRect(QRectF(caretAt(metrics), QSizeF(caretWidth, metrics.height())), Qt::white);
    }
    areas.push_back(area);
    m_area = area;
    m_target.show(areas);
}

} // namespace present
