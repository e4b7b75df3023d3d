#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <optional>
#include <stdexcept>

class QScreen;
class QWidget;

namespace forms {

// Message box styles and answers, with the values the handlers pass and compare.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// Screen.MousePointer values.
enum ScreenPointer : int { vbDefault = 0, vbHourglass = 11 };

// What the clipboard holds that a picture can come from.
struct ClipboardContent
{
    QImage image;     // a picture itself (a screen shot, say)
    QList<QUrl> urls; // files copied in a file manager
};

// Everything that shows a dialog or reaches outside the process goes through this
// seam. QtPlatform is the real one; ScriptedPlatform answers from a script in tests.
class Platform
{
public:
    virtual ~Platform() = default;

    // The window that dialogs and message boxes open over (and belong to): the
    // main window, or the drawing mode's while the main window is away.
    virtual void setDialogParent(QWidget *parent) { Q_UNUSED(parent); }

    // A modal message box; returns the button pressed (vbOK, vbCancel, vbYes, vbNo).
    virtual int MsgBox(const QString &prompt, int style, const QString &title) = 0;
    // The colour dialog, opened at `initial`; nullopt when cancelled.
    virtual std::optional<std::int32_t> showColorDialog(std::int32_t initial, int flags) = 0;
    // The open-file dialog; `filter` is in "description|patterns|..." form and the
    // first entry is selected. nullopt when cancelled.
    virtual std::optional<QString> showOpenDialog(const QString &filter, const QString &fileName, int flags) = 0;
    // The save-file dialog, offering the types of `filter` (the first selected);
    // it asks before replacing a file. nullopt when cancelled.
    virtual std::optional<QString> showSaveDialog(const QString &filter, const QString &fileName) = 0;
    virtual ClipboardContent clipboard() = 0;
    virtual void setClipboardImage(const QImage &image) = 0;
    // The whole of a screen, in device pixels; nullopt when it cannot be taken.
    virtual std::optional<QImage> captureScreen(QScreen *screen) = 0;
    // Starts a program without waiting and without a shell; false if it could not start.
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    // Opens an address with the desktop's handler; returns at once.
    virtual bool openUrl(const QUrl &url) = 0;
    // Starts an HTTP GET whose answer is never read.
    virtual void httpGet(const QUrl &url) = 0;
    // Blocks the calling thread.
    virtual void sleep(int milliseconds) = 0;
    // Screen.MousePointer: vbHourglass over the whole application, or vbDefault.
    virtual void setScreenMousePointer(int pointer) = 0;
    virtual int screenMousePointer() const = 0;
};

// Raised by a dialog that was cancelled while CancelError is set.
class CancelError : public std::runtime_error
{
public:
    CancelError() : std::runtime_error("cancelled") {}
};

// The one shared common-dialog object. Its settings persist between uses, so what
// one dialog sets carries over to the next.
class CommonDialog
{
public:
    explicit CommonDialog(Platform &platform) : m_platform(platform) {}

    std::int32_t Color = 0;
    QString FileName;
    QString Filter;
    int Flags = 0;
    bool CancelError = false;

    // Flag 1 asks the colour dialog to start at Color.
    static constexpr int cdlCCRGBInit = 0x1;

    // Whether a colour was accepted (a cancel returns false when CancelError is off).
    bool ShowColor();
    void ShowOpen();

private:
    Platform &m_platform;
};

// Shows the hourglass for as long as it lives, and the default pointer afterwards.
class BusyPointer
{
public:
    explicit BusyPointer(Platform &platform) : m_platform(platform) { m_platform.setScreenMousePointer(vbHourglass); }
    ~BusyPointer() { m_platform.setScreenMousePointer(vbDefault); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    Platform &m_platform;
};

} // namespace forms
