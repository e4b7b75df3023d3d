#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>
#include <array>
#include <vector>

namespace present {

// One piece of a mark: every point within the radius of the segment a-b, the
// radius going evenly from ra at a to rb at b. Device pixels.
struct Piece
{
    QPointF a, b;
    qreal ra = 0.5, rb = 0.5;
    // The pixels it may reach, anti-aliased edge included.
    QRect bounds() const;
};

// Anti-aliased marks laid over a picture layer.
//
// A mark's coverage is kept apart from the layer, one byte a pixel, and the layer
// shows the picture as it was before the mark with the mark laid over it. Where
// pieces overlap, the coverage is the larger, not the sum, so a half-transparent
// stroke crossing itself is no darker there, and a shape that follows the pointer
// can be taken off again where it was. The picture before the mark is kept in
// 64-pixel tiles, each copied the first time the mark reaches it; the buffers
// last from mark to mark, so nothing is allocated while a mark grows.
class Ink
{
public:
    enum class Look {
        Pen,               // opaque, in the colour
        Highlighter,       // the colour multiplied over the picture at half strength
        HighlighterOnDark, // the colour screened over the picture at half strength
        Veil               // the colour laid over at half strength: the highlighter over
                           // a see-through page, which has nothing to multiply
    };
    static constexpr int Tile = 64;

    // Starts a mark over `layer`, which must stay in place until end().
    bool begin(const QImage &layer, Look look, QRgb color);
    void end();

    // Adds a piece to the coverage; returns what the layer must show again.
    QRect add(const Piece &piece);
    // Takes the coverage off inside `rect` (a shape about to be drawn elsewhere).
    void clear(const QRect &rect);
    // The coverage image itself, to paint what pieces cannot (text) inside
    // `rect`; call prepare(rect) first.
    QImage &coverage() { return m_cover; }
    void prepare(const QRect &rect);
    // Pieces that the next call takes off again, leaving the coverage beneath
    // them as it was: the stroke's last stretch, which the next sample replaces.
    // Returns what the layer must show again (old and new tail).
    QRect setTail(const std::vector<Piece> &tail);
    // The tail stays for good.
    void keepTail() { m_tailAreas.clear(); }

    // Writes the layer inside `rect` (in the layer's pixels): the picture before
    // the mark, with the mark over it.
    void compose(QImage &layer, const QRect &rect);

private:
    void addStraight(const Piece &piece, const QRect &r);
    // The layer's pixels inside r: `full` where the coverage is whole, `blend`
    // where it is partial, the picture before the mark where there is none.
    template <typename Full, typename Blend>
    void composeRows(QImage &layer, const QRect &r, Full full, Blend blend) const;
    QRect inside(const QRect &rect) const { return rect.intersected(m_cover.rect()); }

    uchar *coverRow(int y) const { return m_coverBits + y * m_coverStride; }
    uchar *beforeRow(int y) const { return m_beforeBits + y * m_beforeStride; }

    const QImage *m_layer = nullptr;
    uchar *m_coverBits = nullptr;
    uchar *m_beforeBits = nullptr;
    qsizetype m_coverStride = 0, m_beforeStride = 0;
    QImage m_before; // the layer's pixels as they were before the mark
    QImage m_cover;  // Format_Grayscale8: the mark's coverage
    std::vector<quint32> m_tileMark;
    quint32 m_generation = 0;
    int m_tilesX = 0;
    Look m_look = Look::Pen;
    QRgb m_color = 0;
    std::vector<QRect> m_tailAreas;                          // each tail piece's, in the order added
    std::vector<uchar> m_underTail;                          // the coverage beneath them, one after the other
    std::array<std::array<uchar, 256>, 3> m_fullHighlight{}; // each channel under full coverage
};

} // namespace present
