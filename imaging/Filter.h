#pragma once

#include <QImage>
#include <cstdint>

// Monochrome and sepia colour transforms. Colours are colour words
// (red + 256 * green + 65536 * blue).
namespace Filter {

// Luma Y = R * 0.299 + G * 0.587 + B * 0.114 in double precision, rounded to the
// nearest integer with halves to even.
std::int32_t Luma(std::int32_t Colour);

std::int32_t ClampLevel(std::int32_t Value);
std::int32_t MonochromePixel(std::int32_t Colour);
std::int32_t SepiaPixel(std::int32_t Colour);

// Copy the Width x Height rectangle at (SrcX, SrcY) of Src to (DestX, DestY) of Dest,
// passing every pixel through the colour function. Parts outside either image are
// left alone; a width or height of 0 or less copies nothing. Src and Dest may be the
// same image.
void MonochromeBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest, int DestX, int DestY);
void SepiaBlt(const QImage &Src, int SrcX, int SrcY, int Width, int Height, QImage &Dest, int DestX, int DestY);

// Whole-scanline forms over 0xAARRGGBB pixels (QImage::Format_RGB32): out may equal in.
void MonochromeLine(const std::uint32_t *in, std::uint32_t *out, int count);
void SepiaLine(const std::uint32_t *in, std::uint32_t *out, int count);

namespace detail {
// The scanline code for each instruction set, for tests that must cover them all.
enum class Isa { Baseline, SSE41, AVX2, AVX512 };
bool supported(Isa isa);
void toneLine(Isa isa, bool sepia, const std::uint32_t *in, std::uint32_t *out, int count);
} // namespace detail

} // namespace Filter
