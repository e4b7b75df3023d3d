#include "present/Session.h"

#include "canvas/ToolState.h"
#include "forms/ColorWord.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace present {

namespace {

// Length of a vector (std::hypot guards against overflow no screen point needs,
// at several times the cost).
qreal length(QPointF v)
{
    return std::sqrt(v.x() * v.x() + v.y() * v.y());
}

// Radians between an arrow's shaft and each side of its head.
constexpr qreal HeadAngle = 0.45;

QRgb rgbOf(std::int32_t word)
{
    return forms::toQColor(word).rgb();
}

// Straight sides come in pieces of this length from their fixed end, so that a
// side that only grows keeps all its pieces but the last.
constexpr qreal Chunk = 48;

bool samePiece(const Piece &x, const Piece &y)
{
    // Exactly the same numbers: a kept piece is computed the same way each time.
    return x.a.x() == y.a.x() && x.a.y() == y.a.y() && x.b.x() == y.b.x() && x.b.y() == y.b.y() && x.ra == y.ra &&
           x.rb == y.rb;
}

void shapePieces(Session::Shape shape, QPointF a, QPointF b, qreal r, qreal head, std::vector<Piece> &out)
{
    out.clear();
    auto piece = [&](QPointF from, QPointF to) { out.push_back(Piece{from, to, r, r}); };
    auto side = [&](QPointF from, QPointF to) {
        const QPointF d = to - from;
        const qreal along = length(d);
        const int n = std::max(1, int(std::ceil(along / Chunk)));
        const QPointF step = along > 0 ? d / along * Chunk : QPointF();
        for (int i = 0; i < n; ++i)
            piece(from + step * i, i == n - 1 ? to : from + step * (i + 1));
    };
    switch (shape) {
    case Session::Shape::Free:
    case Session::Shape::Line:
        side(a, b);
        break;
    case Session::Shape::Rectangle: {
        // Each side from the end that stays when the pointer moves along it.
        const QPointF c(b.x(), a.y()), d(a.x(), b.y());
        side(a, c);
        side(c, b);
        side(d, b);
        side(a, d);
        break;
    }
    case Session::Shape::Arrow: {
        side(a, b);
        const QPointF shaft = b - a;
        const qreal along = length(shaft);
        if (along > 0) {
            // A short arrow keeps some shaft before its head.
            const qreal side = std::min(head, 0.6 * along);
            const qreal angle = std::atan2(shaft.y(), shaft.x());
            for (qreal turn : {HeadAngle, -HeadAngle})
                piece(b, b - side * QPointF(std::cos(angle + turn), std::sin(angle + turn)));
        }
        break;
    }
    case Session::Shape::Ellipse: {
        // The ellipse inscribed in the box the drag spans, as short pieces.
        const QPointF c = (a + b) / 2;
        const qreal rx = std::abs(b.x() - a.x()) / 2, ry = std::abs(b.y() - a.y()) / 2;
        const int n = std::clamp(int(2 * M_PI * std::max(rx, ry) / 6), 8, 256);
        QPointF from(c.x() + rx, c.y());
        for (int i = 1; i <= n; ++i) {
            const qreal t = 2 * M_PI * i / n;
            const QPointF to(c.x() + rx * std::cos(t), c.y() + ry * std::sin(t));
            piece(from, to);
            from = to;
        }
        break;
    }
    }
}

QFont textFont(int pen, qreal zoom, qreal scale)
{
    QFont font;
    font.setPixelSize(std::max(6, int(std::lround((14 + 4 * pen) / zoom * scale))));
    return font;
}

// The stretch from b to c of the centripetal Catmull-Rom curve through a, b, c
// and d, as straight pieces within a quarter pixel of it (none shorter than four
// pixels: what they would add no one sees); the radius goes evenly from rb to rc.
void curve(QPointF a, QPointF b, QPointF c, QPointF d, qreal rb, qreal rc, std::vector<Piece> &out)
{
    auto knot = [](QPointF from, QPointF to) {
        return std::max<qreal>(1e-3, std::sqrt(length(to - from)));
    };
    const qreal ab = knot(a, b), bc = knot(b, c), cd = knot(c, d);
    const QPointF mb = ((b - a) / ab - (c - a) / (ab + bc) + (c - b) / bc) * bc;
    const QPointF mc = ((c - b) / bc - (d - b) / (bc + cd) + (d - c) / cd) * bc;
    // As a cubic Bezier: how far its control points stray from the chord sets
    // how many pieces it takes.
    const QPointF c1 = b + mb / 3, c2 = c - mc / 3, chord = c - b;
    const QPointF e1 = c1 - (b + chord / 3), e2 = c2 - (b + chord * 2 / 3);
    const qreal away = 0.75 * std::max(length(e1), length(e2));
    const int most = std::clamp(int(length(chord) / 4), 1, 64);
    const int n = std::clamp(int(std::ceil(std::sqrt(away / 0.25))), 1, most);
    QPointF from = b;
    qreal fromR = rb;
    for (int i = 1; i <= n; ++i) {
        const qreal t = qreal(i) / n, u = 1 - t;
        const QPointF to = u * u * u * b + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * c;
        const qreal toR = rb + (rc - rb) * t;
        out.push_back(Piece{from, to, fromR, toR});
        from = to;
        fromR = toR;
    }
}

} // namespace

Session::Session(const QImage &screen, canvas::ToolState &tools)
    : m_tools(tools), m_highlighterColor(forms::colorWord(255, 220, 0))
{
    m_scale = screen.devicePixelRatio() > 0 ? screen.devicePixelRatio() : 1;
    m_device = screen.size();
    Sheet &first = sheet(Page::Screen);
    first.surface.setArea(QSize(int(std::lround(screen.width() / m_scale)), int(std::lround(screen.height() / m_scale))),
                          m_scale);
    first.surface.setPicture(screen); // one picture pixel to a device pixel
    m_zoom.setView(QSizeF(first.surface.area()));
}

Session::Sheet &Session::sheet(Page page)
{
    std::unique_ptr<Sheet> &s = m_pages[size_t(page)];
    if (!s) {
        s = std::make_unique<Sheet>();
        s->surface.setArea(m_pages[0] ? m_pages[0]->surface.area() : QSize(), m_scale);
        if (page != Page::Screen)
            s->surface.setBackColor(page == Page::White ? forms::colorWord(255, 255, 255) : 0);
        // The marks live on the screen layer alone (nothing repaints this
        // surface from its persistent layer); the persistent layer keeps what lies
        // beneath, which Del and the eraser go back to. One layer to draw into.
        s->surface.setAutoRedraw(false);
        s->surface.setChangeListener([this, page](const QRect &area) {
            if (page == m_page && m_listener)
                m_listener(area);
        });
    }
    return *s;
}

void Session::setChangeListener(std::function<void(const QRect &)> listener)
{
    m_listener = std::move(listener);
}

QImage Session::shown()
{
    endText();
    // The area in logical pixels is rounded up: on a fractional scale its device
    // size may pass the monitor's by a row or column that no screen pixel fills.
    const QImage image = surface().visibleImage();
    if (image.isNull() || image.size() == m_device)
        return image;
    return image.copy(QRect(QPoint(0, 0), m_device));
}

qreal Session::radius(qreal pressure) const
{
    const int pen = m_markPen;
    const qreal width = m_markHighlighter ? 10 + 6 * pen : pen;
    // Widths are what the screen shows: on a zoomed view they are narrower on the
    // picture, never under a pixel.
    const qreal onPicture = std::max<qreal>(1, width / m_zoom.factor());
    const qreal share = 1.0 / 3 + 2.0 / 3 * std::clamp<qreal>(pressure, 0, 1);
    return onPicture * share * m_scale / 2;
}

void Session::press(QPointF viewPoint, Shape shape, Input input, qreal pressure)
{
    endText();
    release();
    history().begin({}, canvas::History::Extent::Touched);
    m_drawing = true;
    m_erasing = input == Input::TabletEraser || m_tools.eraserMode();
    m_markPen = m_tools.penSizeIndex() + 1;
    m_markHighlighter = m_highlighter;
    if (m_erasing) {
        erase(viewPoint);
        return;
    }
    const QImage *layer = surface().screenLayer();
    const QPointF at = toDevice(viewPoint);
    if (!layer || !m_ink.begin(*layer, m_markHighlighter ? highlighterLook(at) : Ink::Look::Pen,
                               rgbOf(m_markHighlighter ? m_highlighterColor : m_tools.penColor())))
        return; // no memory for the mark: the stroke draws nothing
    m_shape = shape;
    if (shape != Shape::Free) {
        m_anchor = at;
        m_pieces.clear();
        drawShape(at);
        return;
    }
    m_points = {at, at, at};
    m_samples = 1;
    m_pending = input == Input::TabletTip;
    if (m_pending)
        return;
    const qreal r = radius(pressure);
    m_radii = {r, r, r};
    m_areas.assign(1, m_ink.add(Piece{at, at, r, r}));
    compose(m_areas);
}

void Session::move(QPointF viewPoint, qreal pressure)
{
    if (!m_drawing)
        return;
    if (m_erasing) {
        erase(viewPoint);
        return;
    }
    if (!m_ink.active())
        return;
    const QPointF at = toDevice(viewPoint);
    if (m_shape != Shape::Free) {
        drawShape(at);
        return;
    }
    const qreal r = radius(pressure);
    if (m_pending) {
        // The tip's first pressure may be a spike: the stroke starts with this one.
        m_pending = false;
        m_radii = {r, r, r};
        m_ink.add(Piece{m_points[2], m_points[2], r, r});
    }
    drawStroke(at, r);
}

void Session::drawStroke(QPointF at, qreal r)
{
    // A curve through every sample (centripetal Catmull-Rom): far-apart samples
    // make a round line, not corners, and the line goes through each of them. A
    // stretch is final once the sample after it shows how the line goes on;
    // until then the last one is shown straight, and replaced.
    QPointF &p1 = m_points[1], &p2 = m_points[2];
    if (length(at - p2) < 0.01)
        return;
    m_areas.clear();
    m_areas.push_back(m_ink.setTail({}));
    if (m_samples >= 2) {
        const QPointF p0 = m_samples >= 3 ? m_points[0] : p1 - (p2 - p1);
        m_nextPieces.clear();
        curve(p0, p1, p2, at, m_radii[1], m_radii[2], m_nextPieces);
        for (const Piece &piece : m_nextPieces)
            m_areas.push_back(m_ink.add(piece));
    }
    m_nextPieces.assign(1, Piece{p2, at, m_radii[2], r});
    m_areas.push_back(m_ink.setTail(m_nextPieces));
    m_points = {p1, p2, at};
    m_radii = {m_radii[1], m_radii[2], r};
    ++m_samples;
    compose(m_areas);
}

void Session::drawShape(QPointF to)
{
    // Only what the shape covered before and covers now is drawn again: pieces
    // it keeps stay as they are, unless a piece that goes overlapped them.
    const qreal r = radius(1);
    const qreal head = (4 * m_markPen + 12) / m_zoom.factor() * m_scale;
    shapePieces(m_shape, m_anchor, to, r, head, m_nextPieces);
    // An ellipse moves every piece; the search would find nothing.
    const bool keeps = m_shape != Shape::Ellipse;
    auto holds = [keeps](const std::vector<Piece> &list, const Piece &p) {
        return keeps && std::any_of(list.begin(), list.end(), [&](const Piece &q) { return samePiece(p, q); });
    };
    m_areas.clear();
    for (const Piece &old : m_pieces) {
        if (!holds(m_nextPieces, old)) {
            m_areas.push_back(old.bounds());
            m_ink.clear(m_areas.back());
        }
    }
    const size_t cleared = m_areas.size();
    for (const Piece &piece : m_nextPieces) {
        if (!holds(m_pieces, piece)) {
            m_areas.push_back(m_ink.add(piece));
            continue;
        }
        const QRect bounds = piece.bounds();
        if (std::any_of(m_areas.begin(), m_areas.begin() + long(cleared),
                        [&](const QRect &gone) { return gone.intersects(bounds); }))
            m_ink.add(piece);
    }
    std::swap(m_pieces, m_nextPieces);
    compose(m_areas);
}

QRect Session::compose(const std::vector<QRect> &areas)
{
    // Rectangles that lie close together are shown as one where that adds little
    // (the pieces of a side before and after it moved); far apart ones stay
    // apart (the two far sides of a rectangle being dragged).
    m_merged.clear();
    for (const QRect &a : areas) {
        if (a.isEmpty())
            continue;
        auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
        const auto into = std::find_if(m_merged.begin(), m_merged.end(), [&](const QRect &m) {
            return area(m | a) <= (area(m) + area(a)) * 5 / 4;
        });
        if (into == m_merged.end())
            m_merged.push_back(a);
        else
            *into |= a;
    }
    QRect touched;
    for (const QRect &a : m_merged)
        touched |= surface().drawScreen(a, [this](QImage &layer, const QRect &clip) { m_ink.compose(layer, clip); });
    return touched;
}

void Session::release()
{
    if (!m_drawing)
        return;
    m_drawing = false;
    if (m_ink.active() && m_shape == Shape::Free) {
        if (m_pending) {
            // A tap: no pressure but the untrusted one, so the lightest.
            const qreal r = radius(0);
            m_areas.assign(1, m_ink.add(Piece{m_points[2], m_points[2], r, r}));
            compose(m_areas);
        } else {
            m_ink.keepTail(); // shown as it is
        }
    }
    m_pending = false;
    m_ink.end();
    history().end({});
}

void Session::erase(QPointF viewPoint)
{
    const QPointF at = m_zoom.toPicture(viewPoint);
    const qreal zoom = m_zoom.factor();
    surface().setDrawWidth(std::max(1, int(std::lround((m_tools.penSizeIndex() + 1) / zoom))));
    const int half = std::max(1, int(std::lround(m_tools.eraserHalfSize() / zoom)));
    surface().UncoverSquare(float(at.x()), float(at.y()), half);
}

Ink::Look Session::highlighterLook(QPointF at)
{
    // What lies around the point where the mark begins decides for the whole
    // mark: a page, a board or a dark theme's window.
    const QImage *layer = surface().screenLayer();
    const QRect around = QRect(at.toPoint() - QPoint(16, 16), QSize(33, 33)).intersected(layer->rect());
    qint64 sum = 0;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(layer->constScanLine(y));
        for (int x = around.left(); x <= around.right(); ++x)
            sum += qGray(row[x]);
    }
    const qint64 n = qint64(around.width()) * around.height();
    return n > 0 && sum < 128 * n ? Ink::Look::HighlighterOnDark : Ink::Look::Highlighter;
}

void Session::setHighlighter(bool on)
{
    m_highlighter = on;
}

void Session::chooseColor(std::int32_t colorWord)
{
    m_tools.setPenColor(colorWord);
    m_highlighterColor = colorWord & 0xFFFFFF;
}

void Session::startText(QPointF viewPoint)
{
    endText();
    release();
    const QImage *layer = surface().screenLayer();
    history().begin({}, canvas::History::Extent::Touched);
    if (!layer || !m_ink.begin(*layer, Ink::Look::Pen, rgbOf(m_tools.penColor()))) {
        history().cancel();
        return;
    }
    m_typing = true;
    m_textAt = toDevice(viewPoint);
    // Sized as the screen shows it now; zooming later leaves it as it is.
    m_textFont = textFont(m_tools.penSizeIndex() + 1, m_zoom.factor(), m_scale);
    m_text.clear();
    m_preedit.clear();
    m_textArea = QRect();
    renderText(true);
}

void Session::typeText(const QString &commit, const QString &preedit, int replaceFrom, int replaceLength,
                       int preeditCaret)
{
    if (!m_typing)
        return;
    // The caret is always at the end of the text: a replacement counts back from there.
    const qsizetype start = std::clamp<qsizetype>(m_text.size() + replaceFrom, 0, m_text.size());
    const qsizetype length = std::clamp<qsizetype>(replaceLength, 0, m_text.size() - start);
    m_text.replace(start, length, commit);
    m_preedit = preedit;
    m_preeditCaret = preeditCaret < 0 ? -1 : std::min<int>(preeditCaret, int(preedit.size()));
    renderText(true);
}

void Session::backspace()
{
    if (!m_typing || m_text.isEmpty())
        return;
    m_text.chop(m_text.size() >= 2 && m_text.back().isLowSurrogate() ? 2 : 1);
    renderText(true);
}

void Session::endText()
{
    if (!m_typing)
        return;
    m_typing = false;
    m_preedit.clear();
    m_preeditCaret = -1;
    renderText(false);
    m_ink.end();
    history().end({});
}


QPointF Session::caretAt(const QFontMetricsF &metrics) const
{
    // At the end of the text, or where the input method puts it in what it composes.
    const QString before = m_text + (m_preeditCaret < 0 ? m_preedit : m_preedit.left(m_preeditCaret));
    return QPointF(m_textAt.x() + metrics.horizontalAdvance(before.section(QLatin1Char('\n'), -1)),
                   m_textAt.y() + before.count(QLatin1Char('\n')) * metrics.lineSpacing());
}

QRectF Session::textCursor() const
{
    const QFontMetricsF metrics(m_textFont);
    const QRectF device(caretAt(metrics), QSizeF(1, metrics.height()));
    return QRectF(m_zoom.toView(device.topLeft() / m_scale), device.size() / m_scale * m_zoom.factor());
}

void Session::renderText(bool caret)
{
    const QFont &font = m_textFont;
    const QFontMetricsF metrics(font);
    const QStringList lines = (m_text + m_preedit).split(QLatin1Char('\n'));
    qreal width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const qreal caretWidth = std::max<qreal>(1, m_scale);
    const QSizeF size(width + caretWidth, lines.size() * metrics.lineSpacing());
    // Text that would run off the right or the bottom of the screen moves back
    // onto it, as far as its own size allows.
    const QSizeF screen(surface().deviceArea());
    m_textAt.setX(std::max<qreal>(0, std::min(m_textAt.x(), screen.width() - size.width())));
    m_textAt.setY(std::max<qreal>(0, std::min(m_textAt.y(), screen.height() - size.height())));
    const QRectF box(m_textAt, size);
    const int slack = int(std::ceil(metrics.height() / 4)); // overhangs of the glyphs
    const QRect area = box.toAlignedRect().adjusted(-slack, -slack, slack, slack);

    m_areas.clear();
    if (!m_textArea.isNull()) {
        m_areas.push_back(m_textArea);
        m_ink.clear(m_textArea);
    }
    m_ink.prepare(area);
    {
        QPainter p(&m_ink.coverage());
        p.setClipRect(area);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::white);
        p.setFont(font);
        const int preeditLine = int(lines.size()) - 1;
        const qreal preeditStart = metrics.horizontalAdvance(m_text.section(QLatin1Char('\n'), -1));
        for (int i = 0; i < lines.size(); ++i) {
            const QPointF baseline(m_textAt.x(), m_textAt.y() + metrics.ascent() + i * metrics.lineSpacing());
            if (i == preeditLine && !m_preedit.isEmpty()) {
                // What the input method is still composing, underlined after the text.
                p.drawText(baseline, m_text.section(QLatin1Char('\n'), -1));
                QFont underlined = font;
                underlined.setUnderline(true);
                p.setFont(underlined);
                p.drawText(baseline + QPointF(preeditStart, 0), m_preedit);
                p.setFont(font);
            } else {
                p.drawText(baseline, lines.at(i));
            }
        }
        if (caret)
            p.fillRect(QRectF(caretAt(metrics), QSizeF(caretWidth, metrics.height())), Qt::white);
    }
    m_areas.push_back(area);
    m_textArea = area;
    compose(m_areas);
}

void Session::toggleBoard(Page board)
{
    endText();
    release();
    m_page = m_page == board ? Page::Screen : board;
    sheet(m_page);
    if (m_listener)
        m_listener(surface().bounds());
}

void Session::clear()
{
    endText();
    release();
    history().begin({}, canvas::History::Extent::Whole);
    surface().Cls();
    history().end({});
}

bool Session::undo()
{
    endText();
    release();
    return history().undo({}).has_value();
}

bool Session::redo()
{
    endText();
    release();
    return history().redo({}).has_value();
}

} // namespace present
