// The monochrome and sepia commands over the whole surface.
#include "app/Main.h"

#include "app/AppInfo.h"
#include "forms/PictureBox.h"
#include "imaging/Filter.h"

#include <QAction>
#include <cmath>

void Main::CmdPicFilter_Click(int Index)
{
    if (!PicLoaded) {
        m_platform.MsgBox(QStringLiteral("画像が読み込まれていません。"), forms::vbCritical,
                          app::AppTitle());
        return;
    }
    forms::BusyPointer busy(m_platform);
    PicBox->setAutoRedraw(true);
    const int W = int(std::nearbyint(double(PicBox->ScaleWidth())));
    const int H = int(std::nearbyint(double(PicBox->ScaleHeight())));
    QImage &image = PicBox->PersistentImage();
    if (Index == 0)
        Filter::MonochromeBlt(image, 0, 0, W, H, image, 0, 0);
    else if (Index == 1)
        Filter::SepiaBlt(image, 0, 0, W, H, image, 0, 0);
    PicBox->Refresh();
    // Screen hold goes back to what its indicators show.
    PicBox->setAutoRedraw(CmdPicRemain[1]->isChecked());
}
