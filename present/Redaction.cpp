#include "present/Redaction.h"

#include "canvas/Surface.h"
#include "present/Geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace present {

namespace {

// The edges of `count` even parts of [from, from + length).
int edge(int from, int length, int count, int i)
{
    return from + int(qint64(length) * i / count);
}

void meanOf(QImage &image, const QRect &block)
{
    std::array<quint64, 4> sum{};
    for (int y = block.top(); y <= block.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = block.left(); x <= block.right(); ++x) {
            const QRgb p = row[x];
            sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
        }
    }
    const quint64 n = quint64(block.width()) * quint64(block.height());
    const QRgb mean = qRgba(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n), int(sum[3] / n));
    for (int y = block.top(); y <= block.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)) + block.left(), block.width(), mean);
}

void fillBlack(QImage &image, const QRect &rect)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom() && image.depth() == 32; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)) + r.left(), r.width(), qRgb(0, 0, 0));
}

} // namespace

void pixelate(QImage &image, const QRect &rect, int block)
{
    const QRect r = rect.intersected(image.rect());
    if (r.isEmpty() || image.depth() != 32 || block < 1)
        return;
    const int across = std::max(1, r.width() / block), down = std::max(1, r.height() / block);
    for (int j = 0; j < down; ++j) {
        for (int i = 0; i < across; ++i) {
            const QPoint from(edge(r.left(), r.width(), across, i), edge(r.top(), r.height(), down, j));
            const QPoint to(edge(r.left(), r.width(), across, i + 1), edge(r.top(), r.height(), down, j + 1));
            meanOf(image, QRect(from, to - QPoint(1, 1)));
        }
    }
}

namespace {

class RedactMark : public Mark
{
public:
    using Mark::Mark;

    void begin(QPointF at, qreal) override
    {
        m_anchor = m_tool.toDevice(at);
        m_to = m_anchor;
        outline();
    }
    void move(QPointF at, qreal) override
    {
        m_to = m_tool.toDevice(at);
        outline();
    }
    void end() override
    {
        m_target.areas.clear();
        takeOutlineOff();
        m_target.show(m_target.areas);
        const QRect area = QRectF(m_anchor, m_to).normalized().toAlignedRect();
        const bool live = m_tool.live;
        const int block = std::max(RedactBlock, int(std::ceil(RedactBlock * m_tool.deviceScale)));
        m_target.surface->drawScreen(area, [live, block](QImage &layer, const QRect &clip) {
            if (live)
                fillBlack(layer, clip);
            else
                pixelate(layer, clip, block);
        });
    }

private:
    void takeOutlineOff()
    {
        for (const Piece &old : m_target.pieces) {
            m_target.areas.push_back(old.bounds());
            m_target.ink.clear(m_target.areas.back());
        }
        m_target.pieces.clear();
    }
    // A thin frame in the pen colour shows what the release will cover.
    void outline()
    {
        m_target.areas.clear();
        takeOutlineOff();
        shapePieces(Shape::Rectangle, m_anchor, m_to, std::max<qreal>(1, m_tool.deviceScale), 0, m_target.pieces);
        for (const Piece &piece : m_target.pieces)
            m_target.areas.push_back(m_target.ink.add(piece));
        m_target.show(m_target.areas);
    }

    QPointF m_anchor, m_to;
};

} // namespace

std::unique_ptr<Mark> makeRedactMark(MarkTarget &target, const MarkTool &tool)
{
    return std::make_unique<RedactMark>(target, tool);
}

} // namespace present
