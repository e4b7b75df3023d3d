#include "forms/QtPlatform.h"

#include "forms/ColorWord.h"
#include "forms/ScreenCapture.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>

namespace forms {

QStringList nameFiltersFromBarList(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i);
        QString patterns = parts.at(i + 1);
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses; the description keeps its
        // own text, and HideNameFilterDetails shows only that.
        filters << description + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

QString displayText(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

namespace {

// QMessageBox wraps anything wider than about 500 pixels; a prompt is written in
// the lines it should show, so only a line too wide for the screen may wrap.
void keepLinesWhole(QMessageBox &box)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    QScreen *screen = box.parentWidget() ? box.parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!label || !screen)
        return;
    const QFontMetrics metrics = label->fontMetrics();
    int widest = 0;
    for (const QString &line : label->text().split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    // The icon, the margins and the frame take some of the screen's width.
    const QWidget *icon = box.findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label"));
    const int around =
        (icon ? icon->sizeHint().width() : 0) + 4 * box.style()->pixelMetric(QStyle::PM_LayoutLeftMargin) + 40;
    if (widest + around <= screen->availableGeometry().width())
        label->setMinimumWidth(widest + 1);
}

} // namespace

QtPlatform::QtPlatform() = default;

QWidget *QtPlatform::dialogParent() const
{
    return m_parent.data();
}

QtPlatform::~QtPlatform()
{
    delete m_network;
}

int QtPlatform::MsgBox(const QString &prompt, int style, const QString &title)
{
    // Over the window that asks: a modal window's boxes open centred over it.
    QWidget *over = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : dialogParent();
    QMessageBox box(over);
    box.setWindowTitle(title);
    box.setText(displayText(prompt));
    switch (style & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    if ((style & 0x7) == vbYesNo) {
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        QPushButton *no = box.addButton(QMessageBox::No);
        box.setEscapeButton(no);
        box.setDefaultButton(style & vbDefaultButton2 ? no : yes);
        keepLinesWhole(box);
        box.exec();
        return box.clickedButton() == yes ? vbYes : vbNo;
    }
    QPushButton *ok = box.addButton(QMessageBox::Ok);
    QPushButton *cancel = nullptr;
    if ((style & 0x7) == vbOKCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton((style & vbDefaultButton2) && cancel ? cancel : ok);
    keepLinesWhole(box);
    box.exec();
    return box.clickedButton() == ok ? vbOK : vbCancel;
}

std::optional<std::int32_t> QtPlatform::showColorDialog(std::int32_t initial, int flags)
{
    Q_UNUSED(flags);
    QColorDialog dialog(toQColor(initial), dialogParent());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return fromQColor(dialog.selectedColor());
}

std::optional<QString> QtPlatform::showOpenDialog(const QString &filter, const QString &fileName, int flags)
{
    Q_UNUSED(flags);
    QFileDialog dialog(dialogParent());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = nameFiltersFromBarList(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!fileName.isEmpty()) {
        const QFileInfo info(fileName);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtPlatform::showSaveDialog(const QString &filter, const QString &fileName)
{
    QFileDialog dialog(dialogParent());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = nameFiltersFromBarList(filter);
    // A name typed without an ending gets the chosen type's.
    auto suffixOf = [](const QString &nameFilter) {
        const int star = nameFilter.indexOf(QLatin1String("*."));
        return star < 0 ? QString() : nameFilter.mid(star + 2).section(QLatin1Char(' '), 0, 0).remove(QLatin1Char(')'));
    };
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
        dialog.setDefaultSuffix(suffixOf(filters.first()));
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffixOf](const QString &f) { dialog.setDefaultSuffix(suffixOf(f)); });
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QImage> QtPlatform::captureScreen(QScreen *screen)
{
    return grabScreen(screen);
}

ClipboardContent QtPlatform::clipboard()
{
    ClipboardContent content;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return content;
    if (data->hasImage())
        content.image = qvariant_cast<QImage>(data->imageData());
    if (data->hasUrls())
        content.urls = data->urls();
    return content;
}

void QtPlatform::setClipboardImage(const QImage &image)
{
    QGuiApplication::clipboard()->setImage(image);
}

bool QtPlatform::startProgram(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool QtPlatform::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void QtPlatform::httpGet(const QUrl &url)
{
    if (!m_network)
        m_network = new QNetworkAccessManager;
    QNetworkRequest request(url);
    // The answer is never read: redirects are not followed, the request gives up
    // after ten seconds, and the reply is dropped as soon as the server starts to
    // answer, so that a slow, endless or looping answer costs nothing.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(10000);
    QNetworkReply *reply = m_network->get(request);
    reply->setReadBufferSize(1);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

void QtPlatform::sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtPlatform::setScreenMousePointer(int pointer)
{
    if (pointer == vbHourglass) {
        if (m_pointer != vbHourglass)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    m_pointer = pointer;
}

} // namespace forms
