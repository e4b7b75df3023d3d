#include "wayland/DamageLedger.h"

namespace wayland {

DamageLedger::DamageLedger(int buffers) : m_missing(std::size_t(std::max(buffers, 1))) {}

void DamageLedger::reset(const QRect &area)
{
    for (QRegion &r : m_missing)
        r = QRegion(area);
}

QRegion DamageLedger::take(int index, const QRegion &touched)
{
    if (index < 0 || index >= buffers())
        return {};
    const QRegion wanted = m_missing[std::size_t(index)] | touched;
    for (int i = 0; i < buffers(); ++i)
        m_missing[std::size_t(i)] = i == index ? QRegion() : m_missing[std::size_t(i)] | touched;
    return wanted;
}

QRegion DamageLedger::missing(int index) const
{
    return index >= 0 && index < buffers() ? m_missing[std::size_t(index)] : QRegion();
}

} // namespace wayland
