// Clearing the surface and screen hold.
#include "app/Main.h"

#include "app/AppInfo.h"
#include "forms/PictureBox.h"

#include <QAction>

void Main::CmdPicClear_Click()
{
    PicBox->setPicture(QImage());
    PicLoaded = false;
    PicBox->setAutoRedraw(true);
    PicBox->Cls();
    PicBox->setAutoRedraw(false);
    PicBox->Cls();
    PicBox->Refresh();
    m_pictures.forget(); // no picture is loaded now: nothing to keep in memory
    // Screen hold goes back to what its indicators show, so that strokes drawn
    // after a clear are kept when "ON" is ticked.
    PicBox->setAutoRedraw(CmdPicRemain[1]->isChecked());
}

void Main::CmdPicRemain_Click(int Index)
{
    if (Index != 0 && !PicBox->layersAvailable()) {
        // No memory for a persistent image of this size: say so rather than claim
        // to keep what cannot be kept.
        m_platform.MsgBox(QStringLiteral("画面が大きすぎるため、画面保持を使用できません。"), forms::vbCritical,
                          app::AppTitle());
        Index = 0;
    }
    if (Index != 0) {
        PicBox->setAutoRedraw(true);
        CmdPicRemain[0]->setChecked(false);
        CmdPicRemain[1]->setChecked(true);
        SetTBarBPressed(2, true);
    } else {
        PicBox->setAutoRedraw(false);
        CmdPicRemain[0]->setChecked(true);
        CmdPicRemain[1]->setChecked(false);
        SetTBarBPressed(2, false);
    }
}

void Main::CmdPicRemainExplain_Click()
{
    const QString prompt =
        QStringLiteral("Sketrinより前面に他のアプリケーションを重ねると、それまでに書いた部分は消えますが") +
        QStringLiteral("\r\n") +
        QStringLiteral("この機能は、それをメモリに保持しておき消えないようにする機能です。") +
        QStringLiteral("\r\n") +
        QStringLiteral("しかし多くのマシンパワーを必要とし、さらにバッファは限られているので、領域が大きすぎると") +
        QStringLiteral("\r\n") + QStringLiteral("使用できません。");
    m_platform.MsgBox(prompt, forms::vbInformation, QStringLiteral("機能説明"));
}
