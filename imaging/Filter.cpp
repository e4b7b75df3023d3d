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

using LineFn = void (*)(const std::uint32_t *, std::uint32_t *, int);

void blt(LineFn line, const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest, int DestX, int DestY)
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

namespace {

// The fast path. For every colour, S = 299 R + 587 G + 114 B is exact, and the
// luma rounds to the integer nearest S / 1000, which float arithmetic finds
// exactly (its error is far below the 0.001 between candidates). Only when S / 1000
// ends in exactly .5 does the double formula's own rounding decide; such colours
// (about one in a thousand) are redone with it.
constexpr int Chunk = 128;

#if defined(__GNUC__) && defined(__x86_64__)
#define SKETRIN_X86 1
#define SKETRIN_INLINE inline __attribute__((always_inline))
#else
#define SKETRIN_X86 0
#define SKETRIN_INLINE inline
#endif

template <bool Sepia>
SKETRIN_INLINE std::uint32_t tone(int y)
{
    if (Sepia) {
        const std::uint32_t r = std::uint32_t(y + 30 > 255 ? 255 : y + 30);
        const std::uint32_t b = std::uint32_t(y - 30 < 0 ? 0 : y - 30);
        return 0xFF000000u | (r << 16) | (std::uint32_t(y) << 8) | b;
    }
    return 0xFF000000u | (std::uint32_t(y) * 0x010101u);
}

// Marks the ties in `tie` and returns whether there was any.
template <bool Sepia>
SKETRIN_INLINE bool fastChunk(const std::uint32_t *in, std::uint32_t *out, std::uint32_t *__restrict kept,
                              std::uint8_t *__restrict tie, int count)
{
    int any = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = in[i];
        kept[i] = p;
        const int s = 299 * int((p >> 16) & 0xFF) + 587 * int((p >> 8) & 0xFF) + 114 * int(p & 0xFF);
        const int y = int(float(s) * 0.001f + 0.5f);
        const int d = 1000 * y - s;
        const int t = (d == 500) | (d == -500);
        tie[i] = std::uint8_t(t);
        any |= t;
        out[i] = tone<Sepia>(y);
    }
    return any != 0;
}

template <bool Sepia>
SKETRIN_INLINE void fixTies(const std::uint32_t *in, std::uint32_t *out, const std::uint8_t *tie, int count)
{
    for (int i = 0; i < count; ++i) {
        if (tie[i]) {
            const std::uint32_t p = in[i];
            out[i] = tone<Sepia>(roundHalfEven(lumaSum((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)));
        }
    }
}

template <bool Sepia>
SKETRIN_INLINE void toneLine(const std::uint32_t *in, std::uint32_t *out, int count)
{
    std::uint32_t source[Chunk];
    std::uint8_t tie[Chunk];
    for (int start = 0; start < count; start += Chunk) {
        const int n = std::min(Chunk, count - start);
        // The input is kept aside as it is read, so that the ties can be redone
        // when the line is processed in place.
        if (fastChunk<Sepia>(in + start, out + start, source, tie, n))
            fixTies<Sepia>(source, out + start, tie, n);
    }
}

// One copy of the loop per instruction set; the program runs on any x86-64 and
// picks the widest one the processor has when it starts.
using ToneFn = void (*)(const std::uint32_t *, std::uint32_t *, int);

void monoBaseline(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<false>(in, out, n);
}
void sepiaBaseline(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<true>(in, out, n);
}
#if SKETRIN_X86
__attribute__((target("sse4.1"))) void monoSse41(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<false>(in, out, n);
}
__attribute__((target("sse4.1"))) void sepiaSse41(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<true>(in, out, n);
}
__attribute__((target("avx2"))) void monoAvx2(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<false>(in, out, n);
}
__attribute__((target("avx2"))) void sepiaAvx2(const std::uint32_t *in, std::uint32_t *out, int n)
{
    toneLine<true>(in, out, n);
}
__attribute__((target("avx512f,avx512bw,avx512vl,avx512dq"))) void monoAvx512(const std::uint32_t *in,
                                                                              std::uint32_t *out, int n)
{
    toneLine<false>(in, out, n);
}
__attribute__((target("avx512f,avx512bw,avx512vl,avx512dq"))) void sepiaAvx512(const std::uint32_t *in,
                                                                               std::uint32_t *out, int n)
{
    toneLine<true>(in, out, n);
}
#endif

ToneFn toneFor(detail::Isa isa, bool sepia)
{
    switch (isa) {
#if SKETRIN_X86
    case detail::Isa::AVX512:
        return sepia ? sepiaAvx512 : monoAvx512;
    case detail::Isa::AVX2:
        return sepia ? sepiaAvx2 : monoAvx2;
    case detail::Isa::SSE41:
        return sepia ? sepiaSse41 : monoSse41;
#endif
    default:
        return sepia ? sepiaBaseline : monoBaseline;
    }
}

detail::Isa bestIsa()
{
#if SKETRIN_X86
    if (detail::supported(detail::Isa::AVX512))
        return detail::Isa::AVX512;
    if (detail::supported(detail::Isa::AVX2))
        return detail::Isa::AVX2;
    if (detail::supported(detail::Isa::SSE41))
        return detail::Isa::SSE41;
#endif
    return detail::Isa::Baseline;
}

const ToneFn monoLine = toneFor(bestIsa(), false);
const ToneFn sepiaLine = toneFor(bestIsa(), true);

} // namespace

namespace detail {

bool supported(Isa isa)
{
    switch (isa) {
    case Isa::Baseline:
        return true;
#if SKETRIN_X86
    case Isa::SSE41:
        __builtin_cpu_init(); // may run before the runtime's own initialisation
        return __builtin_cpu_supports("sse4.1");
    case Isa::AVX2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case Isa::AVX512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
#endif
    default:
        return false;
    }
}

void toneLine(Isa isa, bool sepia, const std::uint32_t *in, std::uint32_t *out, int count)
{
    toneFor(isa, sepia)(in, out, count);
}

} // namespace detail

void MonochromeLine(const std::uint32_t *in, std::uint32_t *out, int count)
{
    monoLine(in, out, count);
}

void SepiaLine(const std::uint32_t *in, std::uint32_t *out, int count)
{
    sepiaLine(in, out, count);
}

void MonochromeBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest, int DestX, int DestY)
{
    blt(&MonochromeLine, Src, SrcX, SrcY, Width, Height, Dest, DestX, DestY);
}

void SepiaBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest, int DestX, int DestY)
{
    blt(&SepiaLine, Src, SrcX, SrcY, Width, Height, Dest, DestX, DestY);
}

} // namespace Filter
