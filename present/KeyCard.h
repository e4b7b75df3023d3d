#pragma once

#include "present/Keys.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace present {

// One line of the key card: a key as the keyboard names it, and what it does.
struct KeyCardRow
{
    QString key;
    QString what;
};

// The key's name with its modifiers ("F1", "Ctrl+Z", "[").
QString keyName(const ModeKey &key);
// Every key of the mode, in the order of the table the keys are dispatched from.
std::vector<KeyCardRow> keyCardRows();

// The key card laid out for an area (a screen): in columns, as few as fit,
// centred in it, its type made smaller where the area is too small for it.
class KeyCard
{
public:
    explicit KeyCard(const QRect &area);
    QRect rect() const { return m_rect; }
    int columns() const { return m_columns; }
    void paint(QPainter &p) const;

private:
    bool layOut(const QRect &area, int pixelSize);

    std::vector<KeyCardRow> m_rows;
    QFont m_font;
    QRect m_rect;
    int m_columns = 1;
    int m_perColumn = 1;
    qreal m_keyWidth = 0, m_columnWidth = 0, m_line = 0, m_margin = 0;
};

} // namespace present
