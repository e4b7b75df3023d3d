#include "present/Steps.h"

#include "canvas/Surface.h"

#include <QFont>
#include <QPainter>
#include <cmath>

namespace present {

QRgb numeralOn(QRgb color)
{
    const int luma = (299 * qRed(color) + 587 * qGreen(color) + 114 * qBlue(color)) / 1000;
    return luma > 150 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
}

namespace {

class StepMark : public Mark
{
public:
    using Mark::Mark;

    void begin(QPointF at, qreal) override
    {
        // Sized as the screen shows it now, as text is.
        const qreal diameter = (16 + 4 * m_tool.pen) / m_tool.viewScale * m_tool.deviceScale;
        const QPointF centre = m_tool.toDevice(at);
        const QRectF circle(centre - QPointF(diameter, diameter) / 2, QSizeF(diameter, diameter));
        m_target.surface->drawScreen(circle.toAlignedRect().adjusted(-1, -1, 1, 1),
                                     [&](QImage &layer, const QRect &clip) { draw(layer, clip, circle); });
    }
    void move(QPointF, qreal) override {}

private:
    void draw(QImage &layer, const QRect &clip, const QRectF &circle) const
    {
        QPainter p(&layer);
        // The layer's own pixels, whatever its scale.
        p.setWorldTransform(QTransform::fromScale(1 / layer.devicePixelRatio(), 1 / layer.devicePixelRatio()));
        p.setClipRect(clip);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgb(m_tool.color));
        p.drawEllipse(circle);
        const QString numeral = QString::number(m_tool.number);
        QFont font;
        font.setBold(true);
        const qreal share = numeral.size() == 1 ? 0.62 : numeral.size() == 2 ? 0.5 : 0.38;
        font.setPixelSize(std::max(4, int(std::lround(circle.height() * share))));
        p.setFont(font);
        p.setPen(QColor::fromRgb(numeralOn(m_tool.color)));
        p.drawText(circle, Qt::AlignCenter, numeral);
    }
};

} // namespace

std::unique_ptr<Mark> makeStepMark(MarkTarget &target, const MarkTool &tool)
{
    return std::make_unique<StepMark>(target, tool);
}

} // namespace present
