#pragma once

#include <QImage>
#include <QString>
#include <optional>

class QScreen;

namespace forms {

// Takes the whole of a screen, in its device pixels.
//
// X11 lets a program read the screen: Qt's screen grabbing does it. Wayland does
// not. There a compositor that offers the screen copy protocol (the wlroots
// ones) hands out the monitor's own pixels; elsewhere the desktop's screenshot
// portal (org.freedesktop.portal.Screenshot on the session bus) takes the whole
// desktop and answers on the request's Response signal with the file it wrote.
std::optional<QImage> grabScreen(QScreen *screen);

// The portal's way, for Wayland. Empty when the portal is missing, refuses, or
// does not answer within `timeoutMs`. A desktop may first ask the user's leave
// in a dialog of its own, and wait on it for good: the program does not wait
// that long with its window away. The file it answers with is read like any
// picture file (a regular file only). It is removed only when the portal
// certainly made it for this request: a regular file born after the request
// went out. Any other file is left where it is.
std::optional<QImage> portalScreenshot(int timeoutMs = 10000);

// What became of the last capture.
enum class CaptureOutcome { Taken, Failed, Unanswered, Cancelled };
CaptureOutcome lastCaptureOutcome();
// Whether a capture waits for the portal's answer now (its loop runs events,
// so the calling key and `sketrin --draw` can come in meanwhile).
bool screenCaptureWaiting();
// Ends that wait at once: the capture comes back empty, as cancelled.
void cancelScreenCapture();
// What to tell the user about the last capture, which failed.
QString captureFailureMessage();

// One monitor cut from a picture of the whole desktop, as the portal gives it.
// `desktop` and `monitor` are logical geometries; the picture may be rendered at
// any scale. The crop comes at the monitor's own device size (resampled where
// the picture's scale is another) with the monitor's scale as its device pixel
// ratio.
QImage cropScreen(const QImage &desktopPicture, const QRect &desktop, const QRect &monitor, qreal monitorScale);

// Whether screens are taken through the portal here.
bool screenshotsNeedThePortal();

} // namespace forms
