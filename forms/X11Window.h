#pragma once

#include <QRect>
#include <cstdint>

class QWindow;

namespace forms::x11 {

// What the X server alone can do for a top-level window: nothing on the other
// platforms (Wayland, offscreen), where each of these answers 0 or false.

// True when the program runs on X11.
bool active();
// True when a compositing manager runs on the program's screen: only then do
// see-through windows show what lies beneath them.
bool compositing();
// The window that has the keyboard focus now; 0 when there is none or none known.
std::uint32_t inputFocus();
// Gives the keyboard focus back to a window that had it, if it is still on the
// screen. False when it is gone (or this is not X11).
bool giveFocus(std::uint32_t window);
// The top-level window just above `window` in the stacking (as the window
// manager keeps it, or the X server without one); 0 when it is the top one.
std::uint32_t windowAbove(QWindow &window);
// Puts `window`, just mapped again, back just below `sibling` (from windowAbove):
// where it was in the stacking before it went away. Where the window manager
// restacks by no sibling, it goes below all the others instead.
void restackBelow(QWindow &window, std::uint32_t sibling);
// Places a window at exactly these device pixels and on top of all others, before
// it is mapped: Qt rounds a scaled window's logical size, one row or column past
// the monitor at x1.5.
void placeExactly(QWindow &window, const QRect &native);
// Lets the pointer through `window` to whatever lies beneath (an empty input
// shape), or takes it again (the whole window). Its picture is left whole.
void passPointerThrough(QWindow &window, bool on);
// Stacks `window` (one of ours that no window manager handles) just below the
// top-level window that holds `over` (a dialog, framed by the window manager).
void stackBelow(QWindow &window, QWindow &over);

} // namespace forms::x11
