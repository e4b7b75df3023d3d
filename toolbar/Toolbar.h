#pragma once

#include "toolbar/ToolButton.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QLabel;

namespace forms {
class LineControl;
}

namespace toolbar {

// One row of the button table.
struct ButtonRow
{
    // Command buttons (TBar) run a command and only light up while the mouse is on
    // them; tool buttons (TBarB) also show a pressed look for the selection.
    bool hasPressedState = false;
    int index = 0;
    QPoint at;
    QString tooltip;
    std::function<void()> click; // what a click does
    QString picture() const { return QStringLiteral("%1%2").arg(hasPressedState ? "TBarB" : "TBar").arg(index); }
};

constexpr int CommandButtons = 10;
constexpr int ToolButtons = 14;

// What the tool buttons show: the pen width or eraser size that is selected (one
// of them is), and screen hold.
struct Selection
{
    std::optional<int> penSize;
    std::optional<int> eraserSize;
    bool screenHold = false;
};

// The looks the reset over the window background gives the tool buttons; a button
// without one keeps its last look: the current tool's button, the hold button
// while hold is on, and the selected eraser size.
std::array<std::optional<Look>, ToolButtons> resetLooks(const Selection &selection);

// The toolbar: its buttons, built from the table, the group labels and the lines.
class Toolbar : public QObject
{
    Q_OBJECT

public:
    Toolbar(QWidget *parent, const std::vector<ButtonRow> &rows);

    ToolButton *commandButton(int index) const { return m_commands.at(size_t(index)); }
    ToolButton *toolButton(int index) const { return m_tools.at(size_t(index)); }

    // Runs what a click on the button does.
    void click(bool toolButton, int index) const;
    void setPressed(int toolIndex, bool pressed);
    // The mouse moved over the window background.
    void reset(const Selection &selection);
    void showToolTips();
    void setVisible(bool visible);

private:
    std::array<ToolButton *, CommandButtons> m_commands{};
    std::array<ToolButton *, ToolButtons> m_tools{};
    std::vector<std::pair<ToolButton *, QString>> m_tips;
    std::array<std::function<void()>, CommandButtons> m_commandClicks;
    std::array<std::function<void()>, ToolButtons> m_toolClicks;
    std::vector<QWidget *> m_decor; // labels and lines
};

} // namespace toolbar
