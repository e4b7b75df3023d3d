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
// does not answer within `timeoutMs`: long enough for a desktop that asks the
// user's leave the first time a program takes the screen. The file it answers with is read like any
// picture file (a regular file only) and left where it is.
std::optional<QImage> portalScreenshot(int timeoutMs = 120000);

// One monitor cut from a picture of the whole desktop, as the portal gives it.
// `desktop` and `monitor` are logical geometries; the picture may be rendered at
// any scale. The crop comes at the monitor's own device size (resampled where
// the picture's scale is another) with the monitor's scale as its device pixel
// ratio.
QImage cropScreen(const QImage &desktopPicture, const QRect &desktop, const QRect &monitor, qreal monitorScale);

// Whether screens are taken through the portal here.
bool screenshotsNeedThePortal();

} // namespace forms
