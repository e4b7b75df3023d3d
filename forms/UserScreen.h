#pragma once

#include <QByteArray>
#include <QString>

class QScreen;

namespace forms {

// The monitor the user is on, on Wayland.
//
// There a program learns where the pointer is only while it is over one of its
// own windows, so the pointer cannot say it. The desktop can: sway names its
// focused output over its IPC socket ($SWAYSOCK), KWin its active output on
// the session bus. Elsewhere the compositor is let choose, as it does for every
// new window (where the user is): a small see-through window is shown, and the
// monitor it was put on is taken. `guess` is kept when nothing tells.
QScreen *screenOfTheUser(QScreen *guess);

// The name of the focused output in sway's answer to GET_OUTPUTS (a JSON
// list of outputs); empty when none is focused.
QString focusedSwayOutput(const QByteArray &outputsJson);

} // namespace forms
