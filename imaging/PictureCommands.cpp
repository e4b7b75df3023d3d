// Loading a picture and redrawing it at a scale.
#include "app/Main.h"

#include "app/AppInfo.h"
#include "forms/PictureBox.h"
#include "imaging/PictureFile.h"

#include <QDir>

#include <cmath>

namespace {

const int ScalePercent[5] = {25, 50, 100, 200, 400};

QString openFilter()
{
    return QStringLiteral("全ての対応ピクチャ形式 (*.bmp,*.dib,*.jpg)|*.bmp;*.dib;*.jpg|") +
           QStringLiteral("ビットマップ (*.bmp.*.dib)|*.bmp;*.dib|") +
           QStringLiteral("JPEGイメージ (*.jpg;*.jpeg)|*.jpg;*.jpeg|") +
           QStringLiteral("すべてのファイル (*.*)|*.*|");
}

} // namespace

static void reportUnreadable(forms::Platform &platform, const QString &path)
{
    platform.MsgBox(QStringLiteral("画像を読み込めませんでした。") + QStringLiteral("\r\n") +
                        QDir::toNativeSeparators(path),
                    forms::vbCritical, app::AppTitle());
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
            reportUnreadable(m_platform, CDialog.FileName);
            return;
        }
        PicBox->setPicture(picture.image);
        PicLoaded = true;
    } catch (const forms::CancelError &) {
        CDialog.CancelError = false;
    }
}

void Main::CmdPicRatio_Click(int Index)
{
    if (!PicLoaded) {
        m_platform.MsgBox(QStringLiteral("画像が読み込まれていません"), forms::vbCritical,
                          app::AppTitle());
        return;
    }
    if (Index < 0 || Index > 4)
        return;
    forms::BusyPointer busy(m_platform);
    const int P = ScalePercent[Index];
    // Only what lands on the surface is decoded; at 1/4 and 1/2 a JPEG is decoded
    // straight at the smaller size.
    imaging::LoadOptions options;
    options.reduceBy = P == 25 ? 4 : P == 50 ? 2 : 1;
    options.needed = QRect(0, 0, int(std::ceil(PicBox->ScaleWidth() * 100.0 / P)) + 2,
                           int(std::ceil(PicBox->ScaleHeight() * 100.0 / P)) + 2);
    PreLoad->setPicture(QImage()); // the last picture read goes before the next one comes
    const imaging::Picture picture = m_pictures.read(CDialog.FileName, options);
    if (!picture.ok()) {
        // The remembered file is gone or no longer a picture: leave the surface as
        // it is (the busy pointer goes back before the message shows).
        m_platform.setScreenMousePointer(forms::vbDefault);
        reportUnreadable(m_platform, CDialog.FileName);
        return;
    }
    PreLoad->setPicture(picture.image, picture.naturalSize);
    const double W = double(float(PreLoad->ScaleWidth())) * P / 100.0;
    const double H = double(float(PreLoad->ScaleHeight())) * P / 100.0;
    PicBox->setPicture(QImage());
    // The picture held covers part of the file (the rest would fall outside the
    // surface): it is drawn at the place and size that part has in the W x H whole.
    const QSizeF natural(PreLoad->ScaleWidth(), PreLoad->ScaleHeight());
    PicBox->PaintPicture(PreLoad->Picture(), 0, 0, W * picture.covers.width() / natural.width(),
                         H * picture.covers.height() / natural.height());
}
