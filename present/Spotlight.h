#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QRgb>
#include <utility>
#include <vector>

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

    // Whether the view is painted at one device pixel to a view pixel, where
    // the circle's edge is exactly its rows' spans; on a scaled one the edge
    // falls between them and what changes is taken a pixel wider.
    void setExact(bool exact) { m_spare = exact ? 0 : 1; }

    // The picture changed inside `area` (its logical pixels).
    void pictureChanged(const QImage &picture, const QRect &area);

    // Dims `area` outside the circle.
    void paint(QPainter &p, const QRect &area) const;
    // The same on the window's own pixels in one pass: the picture's `region`
    // (view pixels, at one to one) copied to `offset` in the window, dimmed
    // outside the circle when the spotlight is on. Both are 32-bit images.
    void copy(const QImage &picture, QImage &window, const QRegion &region, QPoint offset) const;

private:
    QRect circle() const;
    // row[first, end) is from[first, end) dimmed.
    static void dimRun(const QRgb *from, QRgb *row, int first, int end);
    // What changes when the circle moves from `from` to the centre now: the
    // two crescents, in bands of rows.
    QRegion crescents(QPointF from) const;

    // The lit spans of every row of a circle whose centre lies at `within` in
    // its pixel, for two such, kept between moves.
    struct Rows
    {
        QPointF within{-1, -1};
        qreal radius = 0;
        int top = 0;
        std::vector<std::pair<int, int>> spans;
    };
    // Those spans moved to a circle's whole pixels.
    struct Circle
    {
        const Rows *rows = nullptr;
        int x = 0, y = 0;
        // The pixels of row y that the circle lights, [first, end).
        std::pair<int, int> at(int row) const
        {
            const int i = row - y - rows->top;
            if (i < 0 || i >= int(rows->spans.size()))
                return {0, 0};
            const auto span = rows->spans[size_t(i)];
            return {span.first + x, span.second + x};
        }
    };
    Circle rowsOf(QPointF centre) const;
    // Dims `area` but the circle's spans, a rectangle a run.
    static void paintSpans(QPainter &p, const QRect &area, const Circle &circle);
    mutable Rows m_rows[2];
    mutable int m_older = 0;
    // The picture dimmed, kept while the spotlight is on so that a move only
    // copies pixels: made whole at the first copy, then kept up to date by
    // pictureChanged(). The picture it was made from, by its serial number.
    const QImage &dimmed(const QImage &picture) const;
    void dimRows(const QImage &picture, const QRect &area) const;
    mutable QImage m_dim;
    mutable std::vector<QRect> m_rects; // a move's, kept from move to move
    mutable qint64 m_dimOf = -1;

    bool m_on = false;
    int m_spare = 1;
    qreal m_radius = StartRadius;
    QPointF m_centre;
};

} // namespace present
