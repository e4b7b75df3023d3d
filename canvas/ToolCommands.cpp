// Pen width, eraser size and pen colour.
#include "app/Main.h"

#include "forms/PictureBox.h"

#include <QAction>

void Main::PenSize_Click(int Index)
{
    PicBox->setDrawWidth(Index + 1);
    PicBox->setMousePointer(forms::PictureBox::DefaultPointer);
    EraserMode = false;
    PenSizeIndex = std::int16_t(Index);

    EraserSize[0]->setChecked(false);
    EraserSize[1]->setChecked(false);
    for (QAction *item : PenSize)
        item->setChecked(false);
    PenSize[Index]->setChecked(true);

    SetTBarBPressed(0, true);
    SetTBarBPressed(1, false);
    for (int b = 3; b <= 13; ++b)
        SetTBarBPressed(b, false);
    SetTBarBPressed(Index + 3, true);
}

void Main::EraserSize_Click(int Index)
{
    PicBox->setMouseIcon(EraserLoader[Index]);
    PicBox->setMousePointer(forms::PictureBox::CustomPointer);
    EraserMode = true;
    EraserSizeIndex = std::int16_t(Index);

    for (QAction *item : PenSize)
        item->setChecked(false);
    EraserSize[0]->setChecked(false);
    EraserSize[1]->setChecked(false);
    EraserSize[Index]->setChecked(true);

    SetTBarBPressed(0, false);
    SetTBarBPressed(1, true);
    for (int b = 3; b <= 13; ++b)
        SetTBarBPressed(b, false);
    SetTBarBPressed(Index + 12, true);
}

void Main::CmdPenColor_Click()
{
    // A cancelled dialog leaves Color at the last accepted colour, so a cancel
    // changes nothing visible.
    CDialog.ShowColor();
    PenColor = QString::number(CDialog.Color);
    ColView->setBackColor(PenColor.toInt());
}

void Main::ColView_Click()
{
    CmdPenColor_Click();
}
