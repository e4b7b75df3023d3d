// The toolbar's table, its looks and show/hide.
#include "app/Main.h"

#include "forms/PictureBox.h"
#include "toolbar/Toolbar.h"

#include <QAction>

std::vector<toolbar::ButtonRow> Main::toolbarTable()
{
    using Row = toolbar::ButtonRow;
    // The hold button switches to whichever side is not on now.
    auto switchHold = [this] { CmdPicRemain_Click(m_tools.screenHold() ? 0 : 1); };
    std::vector<Row> rows = {
        // Tool buttons, with a pressed state.
        {true, 0, {40, 0}, QStringLiteral("ペンモード"), [this] { PenSize_Click(m_tools.penSizeIndex()); }},
        {true, 1, {60, 0}, QStringLiteral("消しゴムモード"), [this] { EraserSize_Click(m_tools.eraserSizeIndex()); }},
        {true, 2, {152, 0}, QStringLiteral("画面保持 ON/OFF"), switchHold},
        {true, 12, {228, 24}, QStringLiteral("消しゴム 小"), [this] { EraserSize_Click(0); }},
        {true, 13, {248, 24}, QStringLiteral("消しゴム 大"), [this] { EraserSize_Click(1); }},
        // Command buttons.
        {false, 0, {112, 0}, QStringLiteral("画像読み込み..."), [this] { CmdPicLoad_Click(); }},
        {false, 1, {132, 0}, QStringLiteral("画面クリア"), [this] { CmdPicClear_Click(); }},
        {false, 2, {172, 0}, QStringLiteral("ペンの色..."), [this] { CmdPenColor_Click(); }},
        {false, 8, {352, 0}, QStringLiteral("モノクロ加工"), [this] { CmdPicFilter_Click(0); }},
        {false, 9, {372, 0}, QStringLiteral("セピア加工"), [this] { CmdPicFilter_Click(1); }},
    };
    const QString ratios[5] = {QStringLiteral("1/4倍"), QStringLiteral("1/2倍"), QStringLiteral("等倍"),
                               QStringLiteral("2倍"), QStringLiteral("4倍")};
    for (int i = 0; i < 5; ++i) {
        const QString tip = QStringLiteral("画像 %1読み込み").arg(ratios[i]);
        rows.push_back({false, 3 + i, {224 + 20 * i, 0}, tip, [this, i] { CmdPicRatio_Click(i); }});
    }
    for (int i = 0; i < 9; ++i) {
        const QString tip = QStringLiteral("ペン 太さ") + QString::number(i + 1);
        rows.push_back({true, 3 + i, {44 + 20 * i, 24}, tip, [this, i] { PenSize_Click(i); }});
    }
    return rows;
}

void Main::SetTBarBPressed(int Index, bool Pressed)
{
    TBar->setPressed(Index, Pressed);
}

void Main::TBar_Click(int Index)
{
    TBar->click(false, Index);
}

void Main::TBarB_Click(int Index)
{
    TBar->click(true, Index);
}

void Main::Form_MouseMove(int, int, float, float)
{
    TBar->reset({m_tools.checkedPenSize(), m_tools.checkedEraserSize(), m_tools.screenHold()});
}

void Main::SetToolTips()
{
    TBar->showToolTips();
    ColView->setToolTip(QStringLiteral("ペンの色"));
    ColView->setAccessibleName(QStringLiteral("ペンの色"));
}

void Main::CmdToolBarVisible_Click()
{
    m_tools.setToolbarShown(!m_tools.toolbarShown());
    showToolbar();
    Form_Resize();
}

void Main::showToolbar()
{
    const bool v = m_tools.toolbarShown();
    TBar->setVisible(v);
    ColView->setVisible(v);
    CmdToolBarVisible->setText(v ? QStringLiteral("ツールバーの非表示(&T)") : QStringLiteral("ツールバーの表示(&T)"));
}
