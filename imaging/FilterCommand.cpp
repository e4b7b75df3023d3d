// The monochrome and sepia commands over the whole surface.
#include "app/Main.h"

#include "app/AppInfo.h"
#include "forms/PictureBox.h"
#include "imaging/Filter.h"

#include <QAction>

void Main::CmdPicFilter_Click(int Index)
{
    if (!PicLoaded) {
        m_platform.MsgBox(QStringLiteral("画像が読み込まれていません。"), forms::vbCritical,
                          app::AppTitle());
        return;
    }
    forms::BusyPointer busy(m_platform);
    PicBox->setAutoRedraw(true);
    // The whole interior, in the persistent image's own pixels (more than one to a
    // logical pixel on a scaled screen, and each of them is toned).
    QImage &image = PicBox->PersistentImage();
    const QSize area = PicBox->DeviceAreaSize();
    const int W = area.width();
    const int H = area.height();
    if (Index == 0)
        Filter::MonochromeBlt(image, 0, 0, W, H, image, 0, 0);
    else if (Index == 1)
        Filter::SepiaBlt(image, 0, 0, W, H, image, 0, 0);
    PicBox->Refresh();
    // Screen hold goes back to what its indicators show.
    PicBox->setAutoRedraw(CmdPicRemain[1]->isChecked());
}
