// The toolbar: buttons, their looks on mouse events, the reset over the window
// background, tooltips and show/hide.
#include "app/Main.h"

#include "forms/LineControl.h"
#include "forms/PictureBox.h"
#include "toolbar/ButtonLooks.h"

#include <QAction>
#include <QLabel>

using toolbar::Look;
using toolbar::applyLook;

namespace {

forms::PictureBox *makeButton(QWidget *parent, const QString &name, int left, int top)
{
    auto *button = new forms::PictureBox(parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 17, 17);
    // The last applied look survives any repaint by the window system.
    button->setAutoRedraw(true);
    button->setPicture(QImage(QStringLiteral(":/resources/toolbar/%1.xpm").arg(name.toLower())));
    return button;
}

QLabel *makeLabel(QWidget *parent, const QString &caption, int left, int top, int width)
{
    auto *label = new QLabel(caption, parent);
    label->setGeometry(left, top, width, 12);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    return label;
}

} // namespace

void Main::createToolbar()
{
    const int tbarLeft[10] = {112, 132, 172, 224, 244, 264, 284, 304, 352, 372};
    for (int i = 0; i < 10; ++i) {
        TBar[i] = makeButton(Client, QStringLiteral("TBar%1").arg(i), tbarLeft[i], 0);
        connect(TBar[i], &forms::PictureBox::Click, this, [this, i] { TBar_Click(i); });
        connect(TBar[i], &forms::PictureBox::MouseDown, this,
                [this, i](int b, int s, float x, float y) { TBar_MouseDown(i, b, s, x, y); });
        connect(TBar[i], &forms::PictureBox::MouseMove, this,
                [this, i](int b, int s, float x, float y) { TBar_MouseMove(i, b, s, x, y); });
        connect(TBar[i], &forms::PictureBox::MouseUp, this,
                [this, i](int b, int s, float x, float y) { TBar_MouseUp(i, b, s, x, y); });
    }
    const QPoint tbarbAt[14] = {{40, 0},   {60, 0},   {152, 0},  {44, 24},  {64, 24},
                                {84, 24},  {104, 24}, {124, 24}, {144, 24}, {164, 24},
                                {184, 24}, {204, 24}, {228, 24}, {248, 24}};
    for (int i = 0; i < 14; ++i) {
        TBarB[i] = makeButton(Client, QStringLiteral("TBarB%1").arg(i), tbarbAt[i].x(), tbarbAt[i].y());
        connect(TBarB[i], &forms::PictureBox::Click, this, [this, i] { TBarB_Click(i); });
        connect(TBarB[i], &forms::PictureBox::MouseMove, this,
                [this, i](int b, int s, float x, float y) { TBarB_MouseMove(i, b, s, x, y); });
    }

    ToolBarTip[0] = makeLabel(Client, QStringLiteral("モード"), 8, 4, 31);
    ToolBarTip[1] = makeLabel(Client, QStringLiteral("機能"), 84, 4, 24);
    ToolBarTip[2] = makeLabel(Client, QStringLiteral("サイズ"), 8, 28, 34);
    ToolBarTip[3] = makeLabel(Client, QStringLiteral("色"), 396, 4, 12);
    ToolBarTip[4] = makeLabel(Client, QStringLiteral("調整"), 196, 4, 24);
    ToolBarTip[5] = makeLabel(Client, QStringLiteral("加工"), 328, 4, 24);

    const QColor grey(128, 128, 128);
    const QColor text = palette().color(QPalette::WindowText);
    Sepa[0] = new forms::LineControl({80, 0}, {80, 20}, grey, Client);
    Sepa[1] = new forms::LineControl({192, 0}, {192, 20}, grey, Client);
    Sepa[2] = new forms::LineControl({324, 0}, {324, 20}, grey, Client);
    Sepa[3] = new forms::LineControl({392, 0}, {392, 20}, grey, Client);
    Sepa[4] = new forms::LineControl({432, 0}, {432, 20}, grey, Client);
    Sepa[5] = new forms::LineControl({224, 20}, {224, 44}, grey, Client, 1, Qt::DotLine);
    Sepa[6] = new forms::LineControl({268, 20}, {268, 44}, grey, Client);
    TopLine[0] = new forms::LineControl({4, 20}, {432, 20}, text, Client);
    TopLine[1] = new forms::LineControl({4, 44}, {268, 44}, text, Client);
}

void Main::SetTBarBPressed(int Index, bool Pressed)
{
    applyLook(*TBarB[Index], Pressed ? Look::Pressed : Look::Plain);
}

void Main::TBar_MouseDown(int Index, int, int, float, float)
{
    applyLook(*TBar[Index], Look::Pressed);
}

void Main::TBar_MouseMove(int Index, int, int, float, float)
{
    applyLook(*TBar[Index], Look::Hover);
}

void Main::TBar_MouseUp(int Index, int, int, float, float)
{
    applyLook(*TBar[Index], Look::Plain);
}

void Main::TBar_Click(int Index)
{
    switch (Index) {
    case 0:
        CmdPicLoad_Click();
        break;
    case 1:
        CmdPicClear_Click();
        break;
    case 2:
        CmdPenColor_Click();
        break;
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        CmdPicRatio_Click(Index - 3);
        break;
    case 8:
    case 9:
        CmdPicFilter_Click(Index - 8);
        break;
    default:
        break;
    }
}

void Main::TBarB_MouseMove(int Index, int, int, float, float)
{
    applyLook(*TBarB[Index], Look::Hover);
}

void Main::TBarB_Click(int Index)
{
    if (Index == 0)
        PenSize_Click(PenSizeIndex);
    else if (Index == 1)
        EraserSize_Click(EraserSizeIndex);
    else if (Index == 2)
        CmdPicRemain_Click(CmdPicRemain[0]->isChecked() ? 1 : 0);
    else if (Index >= 3 && Index <= 11)
        PenSize_Click(Index - 3);
    else if (Index == 12 || Index == 13)
        EraserSize_Click(Index - 12);
}

void Main::Form_MouseMove(int, int, float, float)
{
    // The state comes from the menus' check marks. Buttons left untouched keep
    // their last look: the current tool's button, the hold button while hold is on,
    // and the checked eraser-size button.
    for (forms::PictureBox *button : TBar)
        applyLook(*button, Look::Plain);

    bool anyPenSize = false;
    for (QAction *item : PenSize)
        anyPenSize = anyPenSize || item->isChecked();
    if (anyPenSize)
        applyLook(*TBarB[1], Look::Plain);
    else if (EraserSize[0]->isChecked() || EraserSize[1]->isChecked())
        applyLook(*TBarB[0], Look::Plain);

    if (CmdPicRemain[0]->isChecked())
        applyLook(*TBarB[2], Look::Plain);

    for (int i = 3; i <= 11; ++i) {
        if (PenSize[i - 3]->isChecked())
            SetTBarBPressed(i, true);
        else
            applyLook(*TBarB[i], Look::Plain);
    }
    for (int i = 12; i <= 13; ++i) {
        if (!EraserSize[i - 12]->isChecked())
            applyLook(*TBarB[i], Look::Plain);
    }
}

void Main::SetToolTips()
{
    auto tip = [](QWidget *control, const QString &text) {
        control->setToolTip(text);
        // Screen readers name the button by its tooltip.
        control->setAccessibleName(text);
    };
    tip(TBarB[0], QStringLiteral("ペンモード"));
    tip(TBarB[1], QStringLiteral("消しゴムモード"));
    tip(TBar[0], QStringLiteral("画像読み込み..."));
    tip(TBar[1], QStringLiteral("画面クリア"));
    tip(TBarB[2], QStringLiteral("画面保持 ON/OFF"));
    tip(TBar[2], QStringLiteral("ペンの色..."));
    tip(TBar[3], QStringLiteral("画像 1/4倍読み込み"));
    tip(TBar[4], QStringLiteral("画像 1/2倍読み込み"));
    tip(TBar[5], QStringLiteral("画像 等倍読み込み"));
    tip(TBar[6], QStringLiteral("画像 2倍読み込み"));
    tip(TBar[7], QStringLiteral("画像 4倍読み込み"));
    tip(TBar[8], QStringLiteral("モノクロ加工"));
    tip(TBar[9], QStringLiteral("セピア加工"));
    tip(ColView, QStringLiteral("ペンの色"));
    for (int i = 3; i <= 11; ++i)
        tip(TBarB[i], QStringLiteral("ペン 太さ") + QString::number(i - 2));
    tip(TBarB[12], QStringLiteral("消しゴム 小"));
    tip(TBarB[13], QStringLiteral("消しゴム 大"));
}

void Main::CmdToolBarVisible_Click()
{
    const bool v = !ToolBarShown;
    for (forms::PictureBox *button : TBar)
        button->setVisible(v);
    for (forms::PictureBox *button : TBarB)
        button->setVisible(v);
    ColView->setVisible(v);
    for (forms::LineControl *line : TopLine)
        line->setVisible(v);
    for (forms::LineControl *line : Sepa)
        line->setVisible(v);
    for (QLabel *label : ToolBarTip)
        label->setVisible(v);
    ToolBarShown = v;
    CmdToolBarVisible->setText(v ? QStringLiteral("ツールバーの非表示(&T)")
                                 : QStringLiteral("ツールバーの表示(&T)"));
    Form_Resize();
}
