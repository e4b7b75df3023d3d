// Loading a picture, redrawing it at a scale, and the filters.
#include "app/Main.h"

#include "forms/App.h"
#include "forms/ScratchFolder.h"
#include "forms/ScreenCapture.h"
#include "forms/ScreenSettle.h"
#include "forms/StepAside.h"
#include "imaging/Filter.h"
#include "imaging/PictureFile.h"
#include "imaging/PictureSave.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeData>
#include <QScreen>
#include <QThread>
#include <QWindow>
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

void Main::reportUnreadable(const QString &what)
{
    m_platform.MsgBox(QStringLiteral("画像を読み込めませんでした。") + QStringLiteral("\r\n") +
                          QDir::toNativeSeparators(what),
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
        const QString previous = CDialog.FileName;
        CDialog.ShowOpen();
        CDialog.CancelError = false;
        loadPicture(CDialog.FileName, previous);
    } catch (const forms::CancelError &) {
        CDialog.CancelError = false;
    }
}

void Main::LoadPictureFile(const QString &path)
{
    // The file becomes the remembered one for the scale commands, as the load
    // command's dialog makes it.
    const QString previous = CDialog.FileName;
    CDialog.FileName = path;
    loadPicture(path, previous);
}

void Main::loadPicture(const QString &path, const QString &previousFile)
{
    // A file the user chose shows one of its pixels to a logical pixel.
    const qreal previousScale = m_fileScale;
    m_fileScale = 1;
    const imaging::Picture picture = m_pictures.read(path);
    if (!picture.ok()) {
        // Nothing changes, but the user learns why nothing happened.
        reportUnreadable(path);
        return;
    }
    beginStep(canvas::History::Extent::Whole, previousFile, previousScale);
    m_surface.setPicture(picture.image);
    m_tools.setPictureLoaded(true);
    endStep();
}

namespace {

// The one local file a drop or the clipboard names, if it names exactly one.
QString singleLocalFile(const QList<QUrl> &urls)
{
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace

void Main::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && !singleLocalFile(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent *event)
{
    const QString path = event->mimeData()->hasUrls() ? singleLocalFile(event->mimeData()->urls()) : QString();
    if (path.isEmpty())
        return; // text, several files, a folder: nothing happens
    event->acceptProposedAction();
    LoadPictureFile(path);
}

void Main::CmdPicPaste_Click()
{
    const forms::ClipboardContent content = m_platform.clipboard();
    if (!content.image.isNull()) {
        QImage image = content.image;
        image.setDevicePixelRatio(1); // a pasted picture shows at one pixel to a pixel
        loadPictureWithoutFile(image, QStringLiteral("クリップボードの画像"));
        return;
    }
    const QString path = singleLocalFile(content.urls.mid(0, 1));
    if (!path.isEmpty()) {
        LoadPictureFile(path);
        return;
    }
    m_platform.MsgBox(QStringLiteral("クリップボードに画像がありません"), forms::vbInformation, forms::AppTitle());
}

void Main::loadPictureWithoutFile(const QImage &picture, const QString &source)
{
    // The picture becomes a file of its own, so that the scale commands read it
    // again like any picture file. PNG keeps every pixel, so the picture shows at
    // once as the file will read back, while the file is written beside the
    // program; whatever reads it next waits for it.
    finishPasteWrite();
    if (!m_pasteDir)
        m_pasteDir = std::make_unique<forms::ScratchFolder>();
    const QString path = m_pasteDir->filePath(QStringLiteral("paste-%1.png").arg(++m_pastes));
    if (!m_pasteDir->isValid() || picture.sizeInBytes() > qint64(imaging::AllocationLimitMiB) << 20) {
        reportUnreadable(source); // the file was never written: name what the user did
        return;
    }
    m_pasteWritePath = path;
    m_pasteWrite =
        std::async(std::launch::async, [picture, path] { return imaging::savePicture(picture, path, imaging::Fast); });
    const QString previous = CDialog.FileName;
    const qreal previousScale = m_fileScale;
    CDialog.FileName = path;
    // The file holds the picture's own pixels; at 100% they show as they do now.
    m_fileScale = picture.devicePixelRatio();
    beginStep(canvas::History::Extent::Whole, previous, previousScale);
    m_surface.setPicture(picture);
    m_tools.setPictureLoaded(true);
    endStep();
}

void Main::stepAside(forms::StepAside &aside)
{
    // Hiding and showing the window is ours, not the window system's: the
    // surface comes back as it was, held or not.
    m_surface.holdWindowRepaints(true);
    if (!isVisible())
        return;
    // Off the screen first, really: until the window system has taken the window
    // away and what lay under it has been drawn again. The screen is watched
    // from before the window goes, so that no redrawing is missed.
    forms::ScreenSettle settle;
    aside.leave();
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && windowHandle()->isExposed() && waited.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(2);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // Still for a while after its last change: the programs beneath have drawn.
    // Never more than the fixed wait this replaces, where nothing can be watched.
    settle.wait(25, 150);
}

void Main::comeBack(forms::StepAside &aside, bool activate)
{
    if (aside.away()) {
        // Without activation the window manager neither focuses the window nor
        // puts it over the active one. Qt reads the attribute when it creates
        // the native window, and this property of it on each show.
        setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        if (windowHandle())
            windowHandle()->setProperty("_q_showWithoutActivating", !activate);
        aside.comeBack(); // where it was, as it was
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        if (windowHandle())
            windowHandle()->setProperty("_q_showWithoutActivating", QVariant());
        if (activate && !isMinimized()) {
            raise();
            activateWindow();
        }
    }
    m_surface.holdWindowRepaints(false);
}

void Main::CmdScreenCapture_Click()
{
    endStroke();
    forms::BusyPointer busy(m_platform);
    QScreen *on = screen();
    forms::StepAside aside(*this);
    stepAside(aside);
    // In device pixels: on a scaled screen the picture keeps them, and shows sharp.
    const std::optional<QImage> shot = m_platform.captureScreen(on);
    comeBack(aside);
    if (!shot) {
        m_platform.setScreenMousePointer(forms::vbDefault);
        m_platform.MsgBox(forms::captureFailureMessage(), forms::vbCritical, forms::AppTitle());
        return;
    }
    loadPictureWithoutFile(*shot, QStringLiteral("取り込んだ画面"));
}

void Main::finishPasteWrite()
{
    if (m_pasteWrite.valid())
        m_pasteWrite.get(); // a failure shows when the file is read
    m_pasteWritePath.clear();
}

void Main::forgetUnusedPictureFiles()
{
    if (!m_pasteDir || !m_pasteDir->isValid())
        return;
    QSet<QString> needed = m_history.files();
    needed << CDialog.FileName << m_pasteWritePath;
    const QDir dir(m_pasteDir->path());
    for (const QString &name : dir.entryList({QStringLiteral("paste-*.png")}, QDir::Files)) {
        const QString path = dir.filePath(name);
        if (!needed.contains(path))
            QFile::remove(path);
    }
}

void Main::CmdPicSave_Click()
{
    savePicture(m_surface.visibleImage());
}

void Main::savePicture(const QImage &image)
{
    const QString filter = QStringLiteral("PNG 画像 (*.png)|*.png|") +
                           QStringLiteral("JPEG 画像 (*.jpg)|*.jpg;*.jpeg|") +
                           QStringLiteral("ビットマップ (*.bmp)|*.bmp|");
    const std::optional<QString> chosen = m_platform.showSaveDialog(filter, QString());
    if (!chosen)
        return;
    // A name of a type that cannot be written becomes a PNG named so. The dialog
    // asked about replacing the name it was given, not this one.
    const QString path = imaging::savePathFor(*chosen);
    if (path != *chosen && QFileInfo::exists(path) &&
        m_platform.MsgBox(QDir::toNativeSeparators(path) + QStringLiteral(" は既に存在します。") +
                              QStringLiteral("\r\n") + QStringLiteral("上書きしますか?"),
                          forms::vbOKCancel | forms::vbExclamation | forms::vbDefaultButton2,
                          forms::AppTitle()) != forms::vbOK)
        return;
    forms::BusyPointer busy(m_platform);
    const QString error = imaging::savePicture(image, path);
    if (!error.isEmpty()) {
        m_platform.setScreenMousePointer(forms::vbDefault);
        m_platform.MsgBox(QStringLiteral("画像を保存できませんでした。") + QStringLiteral("\r\n") +
                              QDir::toNativeSeparators(path),
                          forms::vbCritical, forms::AppTitle());
    }
}

void Main::CmdScreenCopy_Click()
{
    QImage image = m_surface.visibleImage();
    image.setDevicePixelRatio(1);
    if (!image.isNull())
        m_platform.setClipboardImage(image);
}

void Main::CmdPicRatio_Click(int Index)
{
    if (!requirePicture(QStringLiteral("画像が読み込まれていません")))
        return;
    if (Index < 0 || Index > 4)
        return;
    forms::BusyPointer busy(m_platform);
    finishPasteWrite();
    const int P = ScalePercent[Index];
    // Only what lands on the surface is decoded; at 1/4 and 1/2 a JPEG is decoded
    // straight at the smaller size.
    imaging::LoadOptions options;
    options.reduceBy = P == 25 ? 4 : P == 50 ? 2 : 1;
    const QSize area = m_surface.area();
    const qreal fileScale = m_fileScale > 0 ? m_fileScale : 1;
    options.needed = QRect(0, 0, int(std::ceil(area.width() * fileScale * 100.0 / P)) + 2,
                           int(std::ceil(area.height() * fileScale * 100.0 / P)) + 2);
    const imaging::Picture picture = m_pictures.read(CDialog.FileName, options);
    if (!picture.ok()) {
        // The remembered file is gone or no longer a picture: leave the surface as
        // it is (the busy pointer goes back before the message shows).
        m_platform.setScreenMousePointer(forms::vbDefault);
        reportUnreadable(CDialog.FileName);
        return;
    }
    beginStep(canvas::History::Extent::Whole);
    // The natural size is what the picture showed when it came: a captured
    // screen's file holds device pixels.
    const QSizeF natural(picture.naturalSize);
    const double W = double(float(natural.width() / fileScale)) * P / 100.0;
    const double H = double(float(natural.height() / fileScale)) * P / 100.0;
    m_surface.setPicture(QImage());
    // The picture held covers part of the file (the rest would fall outside the
    // surface): it is drawn at the place and size that part has in the W x H whole.
    m_surface.PaintPicture(picture.image, 0, 0, W * picture.covers.width() / natural.width(),
                           H * picture.covers.height() / natural.height());
    endStep();
}

void Main::CmdPicFilter_Click(int Index)
{
    if (!requirePicture(QStringLiteral("画像が読み込まれていません。")))
        return;
    forms::BusyPointer busy(m_platform);
    beginStep(canvas::History::Extent::Whole);
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
    endStep();
}
