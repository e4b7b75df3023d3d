#pragma once

#include "forms/Platform.h"

#include <QList>
#include <deque>
#include <functional>

namespace forms {

// A platform for tests: dialogs answer from queues filled beforehand, and every call
// is recorded. An empty queue answers OK / Cancel-less defaults: message boxes say
// OK (Yes to a Yes/No box), the colour and open dialogs are cancelled.
class ScriptedPlatform : public Platform
{
public:
    struct MsgBoxCall
    {
        QString prompt;
        int style = 0;
        QString title;
        int pointerWhenShown = vbDefault;
    };
    struct ProgramCall
    {
        QString program;
        QStringList arguments;
    };

    // Scripts
    std::deque<int> msgBoxAnswers;
    std::deque<std::optional<std::int32_t>> colorAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    ClipboardContent clipboardContent;
    std::deque<std::optional<QImage>> captureAnswers; // empty: the capture fails
    bool programStarts = true;

    // Records
    QList<MsgBoxCall> msgBoxes;
    QList<std::int32_t> colorDialogInitials;
    QList<QString> openDialogFilters;
    QList<int> openDialogFlags;
    QList<QString> saveDialogFilters;
    QList<QImage> copiedImages;
    int captures = 0;
    QList<ProgramCall> programs;
    QList<QUrl> openedUrls;
    QList<QUrl> httpGets;
    QList<int> sleeps;
    // Runs at the start of each pause, to see what the window shows during it.
    std::function<void()> onSleep;
    // Runs as a screen is taken, to see what is on the screen then.
    std::function<void()> onCapture;
    QList<int> pointerHistory;

    int MsgBox(const QString &prompt, int style, const QString &title) override;
    std::optional<std::int32_t> showColorDialog(std::int32_t initial, int flags) override;
    std::optional<QString> showOpenDialog(const QString &filter, const QString &fileName, int flags) override;
    std::optional<QString> showSaveDialog(const QString &filter, const QString &fileName) override;
    ClipboardContent clipboard() override { return clipboardContent; }
    void setClipboardImage(const QImage &image) override;
    std::optional<QImage> captureScreen(QScreen *) override
    {
        ++captures;
        if (onCapture)
            onCapture();
        if (captureAnswers.empty())
            return std::nullopt;
        auto answer = captureAnswers.front();
        captureAnswers.pop_front();
        return answer;
    }
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool openUrl(const QUrl &url) override;
    void httpGet(const QUrl &url) override;
    void sleep(int milliseconds) override;
    void setScreenMousePointer(int pointer) override;
    int screenMousePointer() const override { return m_pointer; }

private:
    int m_pointer = vbDefault;
};

} // namespace forms
