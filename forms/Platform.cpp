#include "forms/Platform.h"

namespace forms {

bool CommonDialog::ShowColor()
{
    // Without the RGB-init flag the dialog does not start at the current Color.
    const std::int32_t initial = (Flags & cdlCCRGBInit) ? Color : 0;
    const auto chosen = m_platform.showColorDialog(initial, Flags);
    if (!chosen) {
        if (CancelError)
            throw forms::CancelError();
        return false; // Color keeps the last accepted colour
    }
    Color = *chosen & 0xFFFFFF;
    return true;
}

void CommonDialog::ShowOpen()
{
    const auto chosen = m_platform.showOpenDialog(Filter, FileName, Flags);
    if (!chosen) {
        if (CancelError)
            throw forms::CancelError();
        return;
    }
    FileName = *chosen;
}

} // namespace forms
