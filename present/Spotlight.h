#pragma once

#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QRgb>
#include <utility>
#include <vector>

class QImage;

class QPainter;
namespace present {

// The spotlight: everything is dimmed but a sharp-edged circle around the
// pointer. It is a way of looking at the page, nothing drawn on it: never a
// step, never saved. View coordinates (logical pixels of the window).
class Spotlight
{
public:
    static constexpr qreal MinRadius = 40;
    static constexpr qreal StartRadius = 120;
    static constexpr qreal Step = 1.25;  // one [ or ] key
    static constexpr int DimAlpha = 153; // 60 % darker

    bool on() const { return m_on; }
    qreal radius() const { return m_radius; }
    QPointF centre() const { return m_centre; }

    // Each returns what must be painted again.
    QRegion toggle(QPointF at, const QRect &view);
    QRegion moveTo(QPointF at);
    // Smaller (negative steps) or larger, from MinRadius to half the view's height.
    QRegion resize(int steps, const QRect &view);

    // Dims `area` outside the circle.
    void paint(QPainter &p, const QRect &area) const;
    // The same on the window's own pixels, where the view's `area` lies at
    // `offset` (a view pixel to a window pixel).
    void dim(QImage &window, const QRect &area, QPoint offset) const;

private:
    QRect circle() const;
    // Dims row[first, end).
    static void dimRun(QRgb *row, int first, int end);
    // What changes when the circle moves from `from` to the centre now: the
    // two crescents, in bands of rows.
    QRegion crescents(QPointF from) const;

    // The lit spans of every row of a circle, for the circle now and the one
    // before: each is worked out once for a move.
    struct Rows
    {
        QPointF centre;
        qreal radius = 0;
        int top = 0;
        std::vector<std::pair<int, int>> spans;
        // The pixels of row y that the circle lights, [first, end).
        std::pair<int, int> at(int y) const;
    };
    const Rows &rowsOf(QPointF centre) const;
    mutable Rows m_rows[2];
    mutable int m_older = 0;

    bool m_on = false;
    qreal m_radius = StartRadius;
    QPointF m_centre;
};

} // namespace present
