#pragma once

#include <QRegion>
#include <vector>

namespace wayland {

// What each of a few shared-memory buffers lacks of the picture. A buffer
// handed back by the compositor still holds the picture as it was when it was
// last filled: reused, it must get whatever changed since in the others, as
// well as what changes now, and no more.
class DamageLedger
{
public:
    explicit DamageLedger(int buffers = 3);

    int buffers() const { return int(m_missing.size()); }
    // Every buffer lacks the whole `area` (new buffers, a new size).
    void reset(const QRect &area);
    // The region buffer `index` must be given so that it shows the picture
    // once `touched` has changed; from then on the others lack `touched` too.
    QRegion take(int index, const QRegion &touched);
    // What buffer `index` lacks so far.
    QRegion missing(int index) const;

private:
    std::vector<QRegion> m_missing;
};

} // namespace wayland
