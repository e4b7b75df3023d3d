#include "imaging/Filter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Filter {

namespace {

// Round half to even, as the default floating-point rounding mode does.
inline int roundHalfEven(double v)
{
    return int(std::nearbyint(v));
}

inline double lumaSum(int r, int g, int b)
{
    // The sum in this order, without fused multiply-add (the build forbids
    // contraction), is what every path must reproduce bit for bit.
    return double(r) * 0.299 + double(g) * 0.587 + double(b) * 0.114;
}

inline std::uint32_t monoRgb32(std::uint32_t px)
{
    const int y = std::clamp(roundHalfEven(lumaSum((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF)), 0, 255);
    return 0xFF000000u | (std::uint32_t(y) << 16) | (std::uint32_t(y) << 8) | std::uint32_t(y);
}

inline std::uint32_t sepiaRgb32(std::uint32_t px)
{
    const int y = roundHalfEven(lumaSum((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF));
    const int r = ClampLevel(y + 30);
    const int g = ClampLevel(y);
    const int b = ClampLevel(y - 30);
    return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

using LineFn = void (*)(const std::uint32_t *, std::uint32_t *, int);

void blt(LineFn line, const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest,
         int DestX, int DestY)
{
    if (Width <= 0 || Height <= 0 || Src.isNull() || Dest.isNull())
        return;
    if (Src.format() != QImage::Format_RGB32 && Src.format() != QImage::Format_ARGB32)
        return;
    if (Dest.format() != QImage::Format_RGB32 && Dest.format() != QImage::Format_ARGB32)
        return;
    // Clip the rectangle against both images.
    int sx = SrcX, sy = SrcY, dx = DestX, dy = DestY, w = Width, h = Height;
    auto clipStart = [&](int &a, int &b, int &len) {
        const int cut = std::max({0, -a, -b});
        a += cut;
        b += cut;
        len -= cut;
    };
    clipStart(sx, dx, w);
    clipStart(sy, dy, h);
    w = std::min({w, Src.width() - sx, Dest.width() - dx});
    h = std::min({h, Src.height() - sy, Dest.height() - dy});
    if (w <= 0 || h <= 0)
        return;

    const bool sameImage = Src.constBits() == Dest.constBits();
    const bool inPlace = sameImage && sx == dx && sy == dy;
    // Overlapping but shifted rectangles go through a copy, as through an
    // off-screen bitmap.
    std::vector<std::uint32_t> copy;
    if (sameImage && !inPlace) {
        copy.resize(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y) {
            const auto *src = reinterpret_cast<const std::uint32_t *>(Src.constScanLine(sy + y)) + sx;
            std::copy(src, src + w, copy.begin() + std::ptrdiff_t(y) * w);
        }
    }
    for (int y = 0; y < h; ++y) {
        const std::uint32_t *in = sameImage && !inPlace
                                      ? copy.data() + std::ptrdiff_t(y) * w
                                      : reinterpret_cast<const std::uint32_t *>(Src.constScanLine(sy + y)) + sx;
        auto *out = reinterpret_cast<std::uint32_t *>(Dest.scanLine(dy + y)) + dx;
        line(in, out, w);
    }
}

} // namespace

std::int32_t Luma(std::int32_t Colour)
{
    return roundHalfEven(lumaSum(Colour & 0xFF, (Colour & 0xFF00) / 256, (Colour & 0xFF0000) / 65536));
}

std::int32_t ClampLevel(std::int32_t Value)
{
    if (Value > 255)
        return 255;
    if (Value < 0)
        return 0;
    return Value;
}

std::int32_t MonochromePixel(std::int32_t Colour)
{
    int g = Luma(Colour);
    if (g >= 255)
        g = 255;
    if (g <= 0)
        g = 0;
    return g + 256 * g + 65536 * g;
}

std::int32_t SepiaPixel(std::int32_t Colour)
{
    const int y = Luma(Colour);
    return ClampLevel(y + 30) + 256 * ClampLevel(y) + 65536 * ClampLevel(y - 30);
}

void MonochromeLine(const std::uint32_t *in, std::uint32_t *out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = monoRgb32(in[i]);
}

void SepiaLine(const std::uint32_t *in, std::uint32_t *out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = sepiaRgb32(in[i]);
}

void MonochromeBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest,
                   int DestX, int DestY)
{
    blt(&MonochromeLine, Src, SrcX, SrcY, Width, Height, Dest, DestX, DestY);
}

void SepiaBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest,
              int DestX, int DestY)
{
    blt(&SepiaLine, Src, SrcX, SrcY, Width, Height, Dest, DestX, DestY);
}

} // namespace Filter
