#pragma once

#include "forms/Platform.h"

#include <QPointer>

class QNetworkAccessManager;

namespace forms {

class QtPlatform : public Platform
{
public:
    QtPlatform();
    ~QtPlatform() override;

    // Dialogs are shown over this window when it is set.
    void setDialogParent(QWidget *parent) override { m_parent = parent; }

    int MsgBox(const QString &prompt, int style, const QString &title) override;
    std::optional<std::int32_t> showColorDialog(std::int32_t initial, int flags) override;
    std::optional<QString> showOpenDialog(const QString &filter, const QString &fileName, int flags) override;
    std::optional<QString> showSaveDialog(const QString &filter, const QString &fileName) override;
    ClipboardContent clipboard() override;
    void setClipboardImage(const QImage &image) override;
    std::optional<QImage> captureScreen(QScreen *screen) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool openUrl(const QUrl &url) override;
    void httpGet(const QUrl &url) override;
    void sleep(int milliseconds) override;
    void setScreenMousePointer(int pointer) override;
    int screenMousePointer() const override { return m_pointer; }

private:
    QWidget *dialogParent() const;

    QPointer<QWidget> m_parent;
    QNetworkAccessManager *m_network = nullptr;
    int m_pointer = vbDefault;
};

// "desc|patterns|desc|patterns|" as Qt name filters, in the same order.
QStringList nameFiltersFromBarList(const QString &filter);

// Text for display: CR LF and lone CR become plain line feeds.
QString displayText(const QString &text);

} // namespace forms
