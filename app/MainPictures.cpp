// Loading a picture, redrawing it at a scale, and the filters.
#include "app/Main.h"

#include "forms/App.h"
#include "imaging/Filter.h"
#include "imaging/PictureFile.h"

#include <QDir>
#include <cmath>

namespace {

const int ScalePercent[5] = {25, 50, 100, 200, 400};

QString openFilter()
{
    return QStringLiteral("全ての対応ピクチャ形式 (*.bmp,*.dib,*.jpg)|*.bmp;*.dib;*.jpg|") +
           QStringLiteral("ビットマップ (*.bmp.*.dib)|*.bmp;*.dib|") +
           QStringLiteral("JPEGイメージ (*.jpg;*.jpeg)|*.jpg;*.jpeg|") + QStringLiteral("すべてのファイル (*.*)|*.*|");
}

} // namespace

void Main::reportUnreadable(const QString &path)
{
    m_platform.MsgBox(QStringLiteral("画像を読み込めませんでした。") + QStringLiteral("\r\n") +
                          QDir::toNativeSeparators(path),
                      forms::vbCritical, forms::AppTitle());
}

bool Main::requirePicture(const QString &message)
{
    if (!m_tools.pictureLoaded())
        m_platform.MsgBox(message, forms::vbCritical, forms::AppTitle());
    return m_tools.pictureLoaded();
}

void Main::CmdPicLoad_Click()
{
    try {
        CDialog.CancelError = true;
        CDialog.Filter = openFilter();
        CDialog.Flags = 0x201004;
        CDialog.ShowOpen();
        CDialog.CancelError = false;
        const imaging::Picture picture = m_pictures.read(CDialog.FileName);
        if (!picture.ok()) {
            // Nothing changes, but the user learns why nothing happened.
            reportUnreadable(CDialog.FileName);
            return;
        }
        m_surface.setPicture(picture.image);
        m_tools.setPictureLoaded(true);
    } catch (const forms::CancelError &) {
        CDialog.CancelError = false;
    }
}

void Main::CmdPicRatio_Click(int Index)
{
    if (!requirePicture(QStringLiteral("画像が読み込まれていません")))
        return;
    if (Index < 0 || Index > 4)
        return;
    forms::BusyPointer busy(m_platform);
    const int P = ScalePercent[Index];
    // Only what lands on the surface is decoded; at 1/4 and 1/2 a JPEG is decoded
    // straight at the smaller size.
    imaging::LoadOptions options;
    options.reduceBy = P == 25 ? 4 : P == 50 ? 2 : 1;
    const QSize area = m_surface.area();
    options.needed =
        QRect(0, 0, int(std::ceil(area.width() * 100.0 / P)) + 2, int(std::ceil(area.height() * 100.0 / P)) + 2);
    const imaging::Picture picture = m_pictures.read(CDialog.FileName, options);
    if (!picture.ok()) {
        // The remembered file is gone or no longer a picture: leave the surface as
        // it is (the busy pointer goes back before the message shows).
        m_platform.setScreenMousePointer(forms::vbDefault);
        reportUnreadable(CDialog.FileName);
        return;
    }
    const QSizeF natural(picture.naturalSize);
    const double W = double(float(natural.width())) * P / 100.0;
    const double H = double(float(natural.height())) * P / 100.0;
    m_surface.setPicture(QImage());
    // The picture held covers part of the file (the rest would fall outside the
    // surface): it is drawn at the place and size that part has in the W x H whole.
    m_surface.PaintPicture(picture.image, 0, 0, W * picture.covers.width() / natural.width(),
                           H * picture.covers.height() / natural.height());
}

void Main::CmdPicFilter_Click(int Index)
{
    if (!requirePicture(QStringLiteral("画像が読み込まれていません。")))
        return;
    forms::BusyPointer busy(m_platform);
    m_surface.setAutoRedraw(true);
    if (m_surface.layersAvailable()) {
        // The whole interior, in the persistent image's own pixels (more than one to
        // a logical pixel on a scaled screen, and each of them is toned).
        QImage &image = m_surface.persistentLayer();
        const QSize area = m_surface.deviceArea();
        if (Index == 0)
            Filter::MonochromeBlt(image, 0, 0, area.width(), area.height(), image, 0, 0);
        else if (Index == 1)
            Filter::SepiaBlt(image, 0, 0, area.width(), area.height(), image, 0, 0);
    }
    m_surface.Refresh();
    // Screen hold goes back to what its indicators show.
    m_surface.setAutoRedraw(m_tools.screenHold());
}
