#pragma once

#include <QImage>
#include <QString>
#include <optional>

class QScreen;

namespace forms {

// Takes the whole of a screen, in its device pixels.
//
// X11 lets a program read the screen: Qt's screen grabbing does it. Wayland does
// not; there the desktop's screenshot portal (org.freedesktop.portal.Screenshot
// on the session bus) takes it, without asking, and answers on the request's
// Response signal with the file it wrote.
std::optional<QImage> grabScreen(QScreen *screen);

// The portal's way, for Wayland. Empty when the portal is missing, refuses, or
// does not answer within `timeoutMs`. The file it answers with is read like any
// picture file (a regular file only) and left where it is.
std::optional<QImage> portalScreenshot(int timeoutMs = 10000);

// Whether screens are taken through the portal here.
bool screenshotsNeedThePortal();

} // namespace forms
