#pragma once

#include <QColor>
#include <cstdint>

namespace forms {

// A colour word packs red + 256 * green + 65536 * blue into one integer; it is the
// form in which the program stores and passes colours.
constexpr std::int32_t colorWord(int r, int g, int b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

inline QColor toQColor(std::int32_t word)
{
    return QColor(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF);
}

inline std::int32_t fromQColor(const QColor &c)
{
    return colorWord(c.red(), c.green(), c.blue());
}

} // namespace forms
