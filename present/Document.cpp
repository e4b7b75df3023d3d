#include "present/Document.h"

#include "canvas/ToolState.h"
#include "forms/ColorWord.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace present {

namespace {

QRgb rgbOf(std::int32_t word)
{
    return forms::toQColor(word).rgb();
}

// A step's state: the number the next numbered step shows after it (0: the
// step leaves the numbering as it is).
canvas::DocumentState numbered(int next)
{
    canvas::DocumentState state;
    state.number = next;
    return state;
}

} // namespace

Document::Document(const QImage &screen, canvas::ToolState &tools)
    : m_tools(tools), m_highlighterColor(forms::colorWord(255, 220, 0))
{
    m_scale = screen.devicePixelRatio() > 0 ? screen.devicePixelRatio() : 1;
    m_device = screen.size();
    Sheet &first = sheet(Page::Screen);
    // Rounded up: on a fractional scale the device size may then pass the
    // monitor's by a row or column, which shown() leaves out.
    first.surface.setArea(
        QSize(int(std::lround(screen.width() / m_scale)), int(std::lround(screen.height() / m_scale))), m_scale);
    first.surface.setPicture(screen); // one picture pixel to a device pixel
    showLaser();
}

Document::Document(QSize device, qreal scale, canvas::ToolState &tools)
    : m_tools(tools), m_highlighterColor(forms::colorWord(255, 220, 0))
{
    m_live = true;
    m_scale = scale > 0 ? scale : 1;
    m_device = device;
    Sheet &first = sheet(Page::Screen);
    first.surface.setSeeThrough(true);
    first.surface.setArea(
        QSize(int(std::lround(device.width() / m_scale)), int(std::lround(device.height() / m_scale))), m_scale);
    showLaser();
}

void Document::showLaser()
{
    m_target.laser = &m_laser;
    m_laser.setChangeListener([this](const QRect &device) {
        if (!m_listener)
            return;
        const QRectF logical(QPointF(device.topLeft()) / m_scale, QSizeF(device.size()) / m_scale);
        m_listener(logical.toAlignedRect());
    });
}

Document::Sheet &Document::sheet(Page page)
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

void Document::setChangeListener(std::function<void(const QRect &)> listener)
{
    m_listener = std::move(listener);
}

QImage Document::shown()
{
    endText();
    return showing();
}

QImage Document::showing()
{
    const QImage image = surface().visibleImage();
    if (image.isNull() || image.size() == m_device)
        return image;
    return image.copy(QRect(QPoint(0, 0), m_device));
}

MarkTool Document::tool(Shape shape, Input input, qreal viewScale) const
{
    MarkTool t;
    t.shape = shape;
    t.input = input;
    // The presenter's tools take the eraser's place too, but not the tablet's
    // eraser end.
    t.eraser = input == Input::TabletEraser || (m_tools.eraserMode() && m_kit == Kit::None);
    t.kit = t.eraser ? Kit::None : m_kit;
    t.highlighter = m_highlighter && t.kit == Kit::None;
    t.live = m_live;
    t.pen = m_tools.penSizeIndex() + 1;
    t.eraserHalf = m_tools.eraserHalfSize();
    t.color = rgbOf(m_highlighter ? m_highlighterColor : m_tools.penColor());
    t.viewScale = viewScale > 0 ? viewScale : 1;
    t.deviceScale = m_scale;
    t.seeThrough = m_pages[size_t(m_page)]->surface.seeThrough();
    return t;
}

bool Document::darkAround(QPointF deviceAt)
{
    // What lies around the point where the mark begins decides for the whole
    // mark: a page, a board or a dark theme's window.
    const QImage *layer = surface().screenLayer();
    if (!layer)
        return false;
    const QRect around = QRect(deviceAt.toPoint() - QPoint(16, 16), QSize(33, 33)).intersected(layer->rect());
    qint64 sum = 0;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(layer->constScanLine(y));
        for (int x = around.left(); x <= around.right(); ++x)
            sum += qGray(row[x]);
    }
    const qint64 n = qint64(around.width()) * around.height();
    return n > 0 && sum < 128 * n;
}

void Document::press(QPointF at, Shape shape, Input input, qreal pressure, qreal viewScale)
{
    endText();
    release();
    MarkTool t = tool(shape, input, viewScale);
    // Laser ink is no step: the history never hears of it.
    m_recording = t.kit != Kit::Laser;
    if (m_recording) {
        t.number = t.kit == Kit::Steps ? m_pages[size_t(m_page)]->nextNumber : 0;
        history().begin(numbered(t.number), canvas::History::Extent::Touched);
        m_closing = numbered(t.number ? t.number + 1 : 0);
    }
    m_drawing = true;
    if (t.highlighter && !t.eraser && !t.seeThrough)
        t.darkPage = darkAround(t.toDevice(at));
    m_target.surface = &surface();
    m_mark = makeMark(m_target, t);
    m_shaping = m_mark && !t.eraser && t.shape != Shape::Free;
    if (m_mark)
        m_mark->begin(at, pressure);
}

void Document::move(QPointF at, qreal pressure)
{
    if (m_drawing && m_mark)
        m_mark->move(at, pressure);
}

void Document::release()
{
    if (!m_drawing)
        return;
    m_drawing = false;
    if (m_mark)
        m_mark->end();
    m_mark.reset();
    m_ink.end();
    if (!m_recording)
        return;
    m_recording = false;
    history().end(m_closing);
    if (m_closing.number)
        m_pages[size_t(m_page)]->nextNumber = m_closing.number;
}

void Document::compose(const std::vector<QRect> &areas)
{
    // Rectangles are shown as one where that costs less: a row costs about as
    // much to start as sixteen pixels to show, so the pieces of a side before
    // and after it moved go together, side by side or overlapping, while far
    // apart ones stay apart (the two far sides of a rectangle being dragged).
    auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
    auto cheaperAsOne = [&](const QRect &m, const QRect &a) {
        const QRect both = m | a;
        return area(both) - area(m) - area(a) <= 16 * qint64(m.height() + a.height() - both.height());
    };
    m_merged.clear();
    for (const QRect &a : areas) {
        if (a.isEmpty())
            continue;
        const auto into =
            std::find_if(m_merged.begin(), m_merged.end(), [&](const QRect &m) { return cheaperAsOne(m, a); });
        if (into == m_merged.end())
            m_merged.push_back(a);
        else
            *into |= a;
    }
    // Again over what came of it: a side grown whole from its pieces may now go
    // with the same side before it moved.
    for (size_t i = 0; i < m_merged.size(); ++i) {
        for (size_t j = i + 1; j < m_merged.size(); ++j) {
            if (cheaperAsOne(m_merged[i], m_merged[j])) {
                m_merged[i] |= m_merged[j];
                m_merged.erase(m_merged.begin() + long(j));
                j = i; // what grew may go with those passed over
            }
        }
    }
    for (const QRect &a : m_merged)
        surface().drawScreen(a, [this](QImage &layer, const QRect &clip) { m_ink.compose(layer, clip); });
}

void Document::chooseColor(std::int32_t colorWord)
{
    m_tools.setPenColor(colorWord);
    m_highlighterColor = colorWord & 0xFFFFFF;
}

void Document::startText(QPointF at, qreal viewScale)
{
    endText();
    release();
    history().begin({}, canvas::History::Extent::Touched);
    MarkTool t = tool(Shape::Free, Input::Mouse, viewScale);
    t.color = rgbOf(m_tools.penColor());
    m_target.surface = &surface();
    m_text = std::make_unique<TextMark>(m_target, t, at);
    m_lastText.clear();
    if (!m_text->ok()) {
        m_text.reset();
        history().cancel();
    }
}

void Document::typeText(const QString &commit, const QString &preedit, int replaceFrom, int replaceLength,
                        int preeditCaret)
{
    if (m_text)
        m_text->type(commit, preedit, replaceFrom, replaceLength, preeditCaret);
}

void Document::backspace()
{
    if (m_text)
        m_text->backspace();
}

void Document::endText()
{
    if (!m_text)
        return;
    m_text->end();
    m_lastText = m_text->text();
    m_text.reset();
    history().end({});
}

void Document::toggleBoard(Page board)
{
    endText();
    release();
    m_page = m_page == board ? Page::Screen : board;
    sheet(m_page);
    if (m_listener)
        m_listener(surface().bounds());
}

void Document::clear()
{
    endText();
    release();
    // The numbering starts again from 1; undoing the clear brings it back.
    int &next = m_pages[size_t(m_page)]->nextNumber;
    history().begin(numbered(next), canvas::History::Extent::Whole);
    surface().Cls();
    history().end(numbered(1));
    next = 1;
}

bool Document::undo()
{
    endText();
    release();
    return restoreNumber(history().undo({}));
}

bool Document::redo()
{
    endText();
    release();
    return restoreNumber(history().redo({}));
}

bool Document::restoreNumber(const std::optional<canvas::DocumentState> &state)
{
    if (state && state->number)
        m_pages[size_t(m_page)]->nextNumber = state->number;
    return state.has_value();
}

QImage layOver(const QImage &screen, const QImage &marks)
{
    QImage out = screen.convertToFormat(QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const qreal scale = out.devicePixelRatio();
    out.setDevicePixelRatio(1);
    QImage ink = marks;
    ink.setDevicePixelRatio(1);
    {
        QPainter p(&out);
        p.drawImage(QPoint(0, 0), ink);
    }
    out.setDevicePixelRatio(scale);
    return out;
}

} // namespace present
