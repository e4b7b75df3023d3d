// The presenter's kit in the drawing mode's window: the laser pen, the
// spotlight, numbered steps, redaction and the key card.
#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"

#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace present {

void DrawingWindow::runKit(const ModeKey &key, QPointF pointer)
{
    auto toggle = [this](Kit kit) {
        m_document->setKit(m_document->kit() == kit ? Kit::None : kit);
        showTool();
    };
    switch (key.command) {
    case Command::Laser:
        toggle(Kit::Laser);
        break;
    case Command::Steps:
        toggle(Kit::Steps);
        break;
    case Command::Redact:
        toggle(Kit::Redact);
        break;
    case Command::Spotlight:
        repaintView(m_spot.toggle(pointer, rect()));
        break;
    case Command::SpotlightSize:
        repaintView(m_spot.resize(key.arg, rect()));
        break;
    case Command::KeyCard:
        m_card.emplace(rect());
        repaintView(m_card->rect());
        break;
    default:
        break;
    }
}

void DrawingWindow::followPointer(QPointF at)
{
    const QRegion changed = m_spot.moveTo(at);
    if (!changed.isEmpty())
        repaintView(changed);
}

void DrawingWindow::hideKeyCard()
{
    if (!m_card)
        return;
    repaintView(m_card->rect());
    m_card.reset();
}

void DrawingWindow::laserFrame()
{
    // The frames of the fade at the display's rate; none once the ink is gone.
    const qint64 wait = m_document->laser().advance();
    if (wait < 0) {
        m_laserFrame.stop();
        return;
    }
    const qreal rate = screen() && screen()->refreshRate() > 1 ? screen()->refreshRate() : 60;
    m_laserFrame.setSingleShot(true);
    m_laserFrame.start(wait > 0 ? int(wait) : std::max(4, int(std::lround(1000 / rate))));
}

void DrawingWindow::paintKit(QPainter &p, const QRegion &region, bool dimmed)
{
    const QRect area = region.boundingRect();
    if (!dimmed)
        m_spot.paint(p, area);
    Laser &laser = m_document->laser();
    if (!laser.empty()) {
        // The laser's device pixels of the page, through the zoom, to the view.
        const qreal s = m_document->surface().deviceScale();
        p.save();
        p.scale(m_zoom.factor(), m_zoom.factor());
        p.translate(-m_zoom.offset());
        p.scale(1 / s, 1 / s);
        const QRectF picture(m_zoom.toPicture(area.topLeft()), QSizeF(area.size()) / m_zoom.factor());
        laser.paint(p, QRectF(picture.topLeft() * s, picture.size() * s).toAlignedRect().adjusted(-2, -2, 2, 2));
        p.restore();
    }
    if (m_card && m_card->rect().intersects(area))
        m_card->paint(p);
}

} // namespace present
