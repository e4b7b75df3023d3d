#include "forms/ScriptedPlatform.h"

#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 wrongly reports the moved-from std::optional<QString> as uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace forms {

// The next scripted answer, or the fallback once the script has run out.
template <typename T>
static T next(std::deque<T> &queue, const T &fallback)
{
    if (queue.empty())
        return fallback;
    T value(std::move(queue.front()));
    queue.pop_front();
    return value;
}

int ScriptedPlatform::MsgBox(const QString &prompt, int style, const QString &title)
{
    msgBoxes.append({prompt, style, title, m_pointer});
    // Enter on the default button, when the script says nothing.
    return next(msgBoxAnswers, int((style & 0x7) == vbYesNo ? vbYes : vbOK));
}

std::optional<std::int32_t> ScriptedPlatform::showColorDialog(std::int32_t initial, int)
{
    colorDialogInitials.append(initial);
    return next(colorAnswers, std::optional<std::int32_t>());
}

std::optional<QString> ScriptedPlatform::showOpenDialog(const QString &filter, const QString &, int flags)
{
    openDialogFilters.append(filter);
    openDialogFlags.append(flags);
    return next(openAnswers, std::optional<QString>());
}

bool ScriptedPlatform::startProgram(const QString &program, const QStringList &arguments)
{
    programs.append({program, arguments});
    return programStarts;
}

bool ScriptedPlatform::openUrl(const QUrl &url)
{
    openedUrls.append(url);
    return true;
}

void ScriptedPlatform::httpGet(const QUrl &url)
{
    httpGets.append(url);
}

std::optional<QString> ScriptedPlatform::showSaveDialog(const QString &filter, const QString &)
{
    saveDialogFilters.append(filter);
    if (saveAnswers.empty())
        return std::nullopt;
    const auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void ScriptedPlatform::setClipboardImage(const QImage &image)
{
    copiedImages.append(image);
    clipboardContent = {image, {}};
}

void ScriptedPlatform::sleep(int milliseconds)
{
    sleeps.append(milliseconds);
    if (onSleep)
        onSleep();
}

void ScriptedPlatform::setScreenMousePointer(int pointer)
{
    m_pointer = pointer;
    pointerHistory.append(pointer);
}

} // namespace forms
