#include "toolbar/Toolbar.h"

#include "forms/LineControl.h"

#include <QLabel>
#include <QPalette>

namespace toolbar {

std::array<std::optional<Look>, ToolButtons> resetLooks(const Selection &s)
{
    std::array<std::optional<Look>, ToolButtons> looks;
    if (s.penSize)
        looks[1] = Look::Plain;
    else if (s.eraserSize)
        looks[0] = Look::Plain;
    if (!s.screenHold)
        looks[2] = Look::Plain;
    for (int i = 3; i <= 11; ++i)
        looks[size_t(i)] = s.penSize == i - 3 ? Look::Pressed : Look::Plain;
    for (int i = 12; i <= 13; ++i)
        if (s.eraserSize != i - 12)
            looks[size_t(i)] = Look::Plain;
    return looks;
}

namespace {

QLabel *makeLabel(QWidget *parent, const QString &caption, int left, int top, int width)
{
    auto *label = new QLabel(caption, parent);
    label->setGeometry(left, top, width, 12);
    // A label is a control of its own: the mouse over it is not over the window
    // background.
    label->setAttribute(Qt::WA_NoMousePropagation);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    return label;
}

} // namespace

Toolbar::Toolbar(QWidget *parent, const std::vector<ButtonRow> &rows) : QObject(parent)
{
    for (const ButtonRow &row : rows) {
        auto *button = new ToolButton(row.picture(), row.at, parent);
        if (row.hasPressedState) {
            m_tools.at(size_t(row.index)) = button;
            m_toolClicks.at(size_t(row.index)) = row.click;
        } else {
            m_commands.at(size_t(row.index)) = button;
            m_commandClicks.at(size_t(row.index)) = row.click;
        }
        connect(button, &forms::PictureBox::Click, this, row.click);
        if (row.hasPressedState) {
            connect(button, &forms::PictureBox::MouseMove, button, [button] { button->setLook(Look::Hover); });
        } else {
            connect(button, &forms::PictureBox::MouseDown, button, [button] { button->setLook(Look::Pressed); });
            connect(button, &forms::PictureBox::MouseMove, button, [button] { button->setLook(Look::Hover); });
            connect(button, &forms::PictureBox::MouseUp, button, [button] { button->setLook(Look::Plain); });
        }
        m_tips.emplace_back(button, row.tooltip);
    }

    m_decor = {
        makeLabel(parent, QStringLiteral("モード"), 8, 4, 31),  makeLabel(parent, QStringLiteral("機能"), 84, 4, 24),
        makeLabel(parent, QStringLiteral("サイズ"), 8, 28, 34), makeLabel(parent, QStringLiteral("色"), 396, 4, 12),
        makeLabel(parent, QStringLiteral("調整"), 196, 4, 24),  makeLabel(parent, QStringLiteral("加工"), 328, 4, 24),
    };
    const QColor grey(128, 128, 128);
    const QColor text = parent->palette().color(QPalette::WindowText);
    const std::pair<QPoint, QPoint> separators[] = {
        {{80, 0}, {80, 20}},   {{192, 0}, {192, 20}},  {{324, 0}, {324, 20}}, {{392, 0}, {392, 20}},
        {{432, 0}, {432, 20}}, {{224, 20}, {224, 44}}, {{268, 20}, {268, 44}}};
    for (size_t i = 0; i < std::size(separators); ++i) {
        const auto style = i == 5 ? Qt::DotLine : Qt::SolidLine;
        auto *line = new forms::LineControl(separators[i].first, separators[i].second, grey, parent, 1, style);
        line->setObjectName(QStringLiteral("Sepa%1").arg(i));
        m_decor.push_back(line);
    }
    auto *top0 = new forms::LineControl({4, 20}, {432, 20}, text, parent);
    auto *top1 = new forms::LineControl({4, 44}, {268, 44}, text, parent);
    top0->setObjectName(QStringLiteral("TopLine0"));
    top1->setObjectName(QStringLiteral("TopLine1"));
    m_decor.push_back(top0);
    m_decor.push_back(top1);
}

void Toolbar::click(bool toolButton, int index) const
{
    const std::function<void()> *click = nullptr;
    if (toolButton && index >= 0 && index < ToolButtons)
        click = &m_toolClicks[size_t(index)];
    else if (!toolButton && index >= 0 && index < CommandButtons)
        click = &m_commandClicks[size_t(index)];
    if (click && *click)
        (*click)();
}

void Toolbar::setPressed(int toolIndex, bool pressed)
{
    toolButton(toolIndex)->setLook(pressed ? Look::Pressed : Look::Plain);
}

void Toolbar::reset(const Selection &selection)
{
    for (ToolButton *button : m_commands)
        button->setLook(Look::Plain);
    const auto looks = resetLooks(selection);
    for (int i = 0; i < ToolButtons; ++i)
        if (looks[size_t(i)])
            m_tools[size_t(i)]->setLook(*looks[size_t(i)]);
}

void Toolbar::showToolTips()
{
    for (const auto &[button, text] : m_tips) {
        button->setToolTip(text);
        // Screen readers name the button by its tooltip.
        button->setAccessibleName(text);
    }
}

void Toolbar::setVisible(bool visible)
{
    for (ToolButton *button : m_commands)
        button->setVisible(visible);
    for (ToolButton *button : m_tools)
        button->setVisible(visible);
    for (QWidget *w : m_decor)
        w->setVisible(visible);
}

} // namespace toolbar
