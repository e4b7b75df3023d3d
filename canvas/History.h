#pragma once

#include "canvas/Surface.h"

#include <QImage>
#include <QSet>
#include <QString>
#include <deque>
#include <optional>

namespace canvas {

// What a step changes besides pixels.
struct DocumentState
{
    QImage picture;             // the background picture
    bool pictureLoaded = false; // PicLoaded
    QString file;               // the remembered file of the scale commands
    qreal fileScale = 1;        // the file's pixels to a logical pixel at 100%
    int number = 0;             // the drawing mode's next numbered step (0: not a numbered step's)

    bool operator==(const DocumentState &o) const
    {
        return picture.cacheKey() == o.picture.cacheKey() && pictureLoaded == o.pictureLoaded && file == o.file &&
               qFuzzyCompare(fileScale, o.fileScale) && number == o.number;
    }
};

// One step of the history: what it changed, before and after.
struct HistoryStep
{
    std::vector<Surface::Snapshot> patches;
    DocumentState before;
    DocumentState after;
    qint64 bytes = 0;
    qreal scale = 1;
    QSet<quint64> tiles; // taken so far, while open
    bool whole = false;
    bool oversized = false;
};

// Undo and redo of the surface, step by step.
//
// A step records only what it changes: the tiles of both layers that its
// drawing is about to touch (a stroke), or the whole of both layers (a command
// that repaints everything), each taken once, before it changes. A step that changes nothing is not kept. Undo swaps
// the recorded pixels with the layers', so the same records then hold what redo puts back; nothing is kept twice. The
// history stays within a memory budget, dropping the oldest steps first; a step larger than the whole budget, or one
// there is no memory to record, is not recorded, and the history before it goes
// with it.
class History
{
public:
    static constexpr qint64 DefaultBudget = qint64(256) << 20;
    static constexpr int Tile = 64; // device pixels

    explicit History(Surface &surface);
    ~History();
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    void setBudget(qint64 bytes) { m_budget = bytes; }
    qint64 budget() const { return m_budget; }

    enum class Extent { Touched, Whole };
    // Opens a step. A step already open is closed first.
    void begin(const DocumentState &before, Extent extent);
    // Closes the open step; one that changed nothing is dropped.
    void end(const DocumentState &after);
    // Drops the open step (the command changed nothing after all).
    void cancel();
    bool recording() const { return m_open.has_value(); }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // Puts the surface back as it was before the last step; returns the state to
    // restore with it.
    // `now` closes a step still open (a stroke whose button is still down).
    std::optional<DocumentState> undo(const DocumentState &now);
    std::optional<DocumentState> redo(const DocumentState &now);
    void clear();

    int steps() const { return int(m_undo.size() + m_redo.size()); }
    // The files that the steps kept name, so that those no step needs can go.
    QSet<QString> files() const;
    qint64 bytes() const { return m_bytes; }

private:
    using Step = HistoryStep;

    void aboutToChange(const QRect &deviceRect);
    void take(Step &step, const QRect &area);
    void keep(Step &step, Surface::Snapshot &&shot);
    static void dropRecord(Step &step);
    bool swapBack(Step &step, bool undoing);
    std::optional<DocumentState> move(const DocumentState &now, std::deque<Step> &from, std::deque<Step> &to,
                                      bool redoing);
    void dropOldest();

    Surface &m_surface;
    qint64 m_budget = DefaultBudget;
    qint64 m_bytes = 0;
    std::optional<Step> m_open;
    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
};

} // namespace canvas
