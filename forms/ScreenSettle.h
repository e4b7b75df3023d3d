#pragma once

#include <memory>

namespace forms {

// Watches the whole screen for changes, from its making on: on X11 the DAMAGE
// of the root window, which covers every window on it, a compositor's included.
// A window that goes away uncovers what lay under it, which its owners draw
// again; waiting for that to end, rather than for a fixed time, lets the screen
// be taken as soon as it is whole.
class ScreenSettle
{
public:
    ScreenSettle();
    ~ScreenSettle();
    ScreenSettle(const ScreenSettle &) = delete;
    ScreenSettle &operator=(const ScreenSettle &) = delete;

    // Whether changes can be watched here (X11 with DAMAGE); elsewhere wait()
    // takes the whole of its limit.
    bool watching() const;
    // Returns once the screen has changed since the watch began and then stayed
    // still for `quietMs`, or `limitMs` after the call at the latest.
    void wait(int quietMs, int limitMs);

private:
    struct Watch;
    std::unique_ptr<Watch> m_watch;
};

} // namespace forms
