#include "canvas/History.h"

#include <algorithm>
#include <cmath>

namespace canvas {

History::History(Surface &surface) : m_surface(surface)
{
    m_surface.setChangeHook([this](const QRect &deviceRect) { aboutToChange(deviceRect); });
}

History::~History()
{
    m_surface.setChangeHook({});
}

void History::begin(const DocumentState &before, Extent extent)
{
    if (m_open)
        end(before); // what the open step left is what this one starts from
    m_open.emplace();
    m_open->before = before;
    m_open->scale = m_surface.deviceScale();
    if (extent == Extent::Whole) {
        // The whole layers, also beyond a window grown smaller: such a command
        // repaints all of them.
        m_open->whole = true;
        keep(*m_open, m_surface.snapshotLayers());
    }
}

void History::take(Step &step, const QRect &deviceRect)
{
    if (step.oversized)
        return;
    const qreal s = m_surface.deviceScale();
    const QRect logical(
        QPoint(int(std::floor(deviceRect.left() / s)), int(std::floor(deviceRect.top() / s))),
        QPoint(int(std::ceil((deviceRect.right() + 1) / s)) - 1, int(std::ceil((deviceRect.bottom() + 1) / s)) - 1));
    keep(step, m_surface.snapshot(logical));
}

void History::keep(Step &step, Surface::Snapshot &&shot)
{
    if (shot.failed) {
        // No memory for the record: as a step too large to keep.
        dropRecord(step);
        return;
    }
    if (!shot.holds())
        return;
    step.bytes += shot.bytes();
    step.patches.push_back(std::move(shot));
    if (step.bytes > m_budget)
        dropRecord(step);
}

void History::dropRecord(Step &step)
{
    // Not recorded, and undo cannot reach past it, so the history before it goes
    // too. The step itself goes on.
    step.oversized = true;
    step.patches.clear();
    step.patches.shrink_to_fit();
    step.bytes = 0;
}

void History::aboutToChange(const QRect &deviceRect)
{
    if (!m_open || m_open->whole || m_open->oversized)
        return;
    Step &step = *m_open;
    const int tx0 = std::max(0, deviceRect.left()) / Tile, tx1 = std::max(0, deviceRect.right()) / Tile;
    const int ty0 = std::max(0, deviceRect.top()) / Tile, ty1 = std::max(0, deviceRect.bottom()) / Tile;
    for (int ty = ty0; ty <= ty1; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) {
            const quint64 key = (quint64(quint32(tx)) << 32) | quint32(ty);
            if (step.tiles.contains(key))
                continue;
            step.tiles.insert(key);
            take(step, QRect(tx * Tile, ty * Tile, Tile, Tile));
        }
}

void History::end(const DocumentState &after)
{
    if (!m_open)
        return;
    Step step = std::move(*m_open);
    m_open.reset();
    step.tiles.clear();
    if (step.oversized) {
        clear();
        return;
    }
    if (step.before == after && std::all_of(step.patches.begin(), step.patches.end(),
                                            [this](const Surface::Snapshot &p) { return m_surface.matches(p); }))
        return; // nothing changed: the redo history stays
    step.after = after;
    // The pictures a step keeps count as its patches do: a captured or pasted
    // screen is as large as the layers.
    if (step.before.picture.cacheKey() != after.picture.cacheKey())
        step.bytes += step.before.picture.sizeInBytes() + after.picture.sizeInBytes();
    if (step.bytes > m_budget) {
        clear(); // as a step too large to record: undo cannot reach past it
        return;
    }
    // A new step drops what could have been redone.
    for (const Step &dropped : m_redo)
        m_bytes -= dropped.bytes;
    m_redo.clear();
    m_bytes += step.bytes;
    m_undo.push_back(std::move(step));
    while (m_bytes > m_budget && !m_undo.empty())
        dropOldest();
}

void History::cancel()
{
    m_open.reset();
}

void History::dropOldest()
{
    m_bytes -= m_undo.front().bytes;
    m_undo.pop_front();
}

bool History::swapBack(Step &step, bool undoing)
{
    if (!qFuzzyCompare(step.scale, m_surface.deviceScale()))
        return false; // recorded on a screen of another scale
    // On a fractional scale neighbouring tiles share a row or column of device
    // pixels, taken once before the step and again, already changed, by a later
    // tile. Undo puts the patches back last-to-first, so that the earliest record
    // of a pixel lands last; redo then replays them in the order they were taken.
    if (undoing) {
        for (auto it = step.patches.rbegin(); it != step.patches.rend(); ++it)
            m_surface.swap(*it);
    } else {
        for (Surface::Snapshot &patch : step.patches)
            m_surface.swap(patch);
    }
    return true;
}

std::optional<DocumentState> History::undo(const DocumentState &now)
{
    return move(now, m_undo, m_redo, false);
}

std::optional<DocumentState> History::redo(const DocumentState &now)
{
    return move(now, m_redo, m_undo, true);
}

std::optional<DocumentState> History::move(const DocumentState &now, std::deque<Step> &from, std::deque<Step> &to,
                                           bool redoing)
{
    if (m_open)
        end(now); // a stroke still open counts as done
    if (from.empty())
        return std::nullopt;
    Step step = std::move(from.back());
    from.pop_back();
    if (!swapBack(step, !redoing)) {
        clear();
        return std::nullopt;
    }
    const DocumentState state = redoing ? step.after : step.before;
    to.push_back(std::move(step));
    return state;
}

QSet<QString> History::files() const
{
    QSet<QString> files;
    for (const std::deque<Step> *steps : {&m_undo, &m_redo})
        for (const Step &step : *steps)
            files << step.before.file << step.after.file;
    if (m_open)
        files << m_open->before.file;
    return files;
}

void History::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_bytes = 0;
}

} // namespace canvas
