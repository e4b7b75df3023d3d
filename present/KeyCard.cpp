#include "present/KeyCard.h"

#include <QFontMetricsF>
#include <QKeySequence>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace present {

namespace {

const QString &title()
{
    static const QString text = QStringLiteral("描画モードのキー");
    return text;
}

} // namespace

QString keyName(const ModeKey &key)
{
    return QKeySequence(QKeyCombination(key.modifiers, Qt::Key(key.key))).toString(QKeySequence::NativeText);
}

std::vector<KeyCardRow> keyCardRows()
{
    std::vector<KeyCardRow> rows;
    for (const ModeKey &k : modeKeys())
        rows.push_back({keyName(k), k.what});
    return rows;
}

KeyCard::KeyCard(const QRect &area) : m_rows(keyCardRows())
{
    for (int size = 16; size > 6; --size)
        if (layOut(area, size))
            return;
    layOut(area, 6); // the smallest, whether it fits or not
}

bool KeyCard::layOut(const QRect &area, int pixelSize)
{
    m_font = QFont();
    m_font.setPixelSize(pixelSize);
    QFont bold = m_font;
    bold.setBold(true);
    const QFontMetricsF metrics(m_font), boldMetrics(bold);
    m_keyWidth = 0;
    qreal whatWidth = boldMetrics.horizontalAdvance(title());
    for (const KeyCardRow &row : m_rows) {
        m_keyWidth = std::max(m_keyWidth, boldMetrics.horizontalAdvance(row.key));
        whatWidth = std::max(whatWidth, metrics.horizontalAdvance(row.what));
    }
    m_line = std::ceil(metrics.height() * 1.3);
    m_margin = std::ceil(metrics.height());
    m_keyWidth += m_margin;
    m_columnWidth = m_keyWidth + whatWidth + 2 * m_margin;
    const int n = int(m_rows.size());
    // As few columns as let the card fit the area's height, and then its width.
    for (m_columns = 1; m_columns <= n; ++m_columns) {
        m_perColumn = (n + m_columns - 1) / m_columns;
        const QSizeF size(m_columns * m_columnWidth + m_margin, (m_perColumn + 1.5) * m_line + 2 * m_margin);
        if (size.height() > area.height() * 0.92)
            continue;
        if (size.width() > area.width() * 0.96)
            return false;
        m_rect = QRectF(QPointF(), size).toAlignedRect();
        m_rect.moveCenter(area.center());
        return true;
    }
    return false;
}

void KeyCard::paint(QPainter &p) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(QColor(24, 24, 28, 240));
    p.drawRoundedRect(QRectF(m_rect).adjusted(0.5, 0.5, -0.5, -0.5), m_margin / 2, m_margin / 2);
    QFont bold = m_font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::white);
    const QPointF origin = QPointF(m_rect.topLeft()) + QPointF(m_margin, m_margin);
    p.drawText(QRectF(origin, QSizeF(m_rect.width() - 2 * m_margin, m_line)), Qt::AlignLeft | Qt::AlignVCenter,
               title());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const int column = int(i) / m_perColumn, line = int(i) % m_perColumn;
        const QPointF at = origin + QPointF(column * m_columnWidth, (line + 1.5) * m_line);
        p.setFont(bold);
        p.setPen(QColor(255, 214, 90));
        p.drawText(QRectF(at, QSizeF(m_keyWidth, m_line)), Qt::AlignLeft | Qt::AlignVCenter, m_rows[i].key);
        p.setFont(m_font);
        p.setPen(QColor(235, 235, 235));
        p.drawText(QRectF(at + QPointF(m_keyWidth, 0), QSizeF(m_columnWidth - m_keyWidth, m_line)),
                   Qt::AlignLeft | Qt::AlignVCenter, m_rows[i].what);
    }
    p.restore();
}

} // namespace present
