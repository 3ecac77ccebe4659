#pragma once

#include <cstddef>
#include <cstdint>

// Pixel formats of a bitmap. pfDevice is the screen's own format: 32-bit 0x00RRGGBB words,
// like pf32bit, but not a device-independent bitmap. pfCustom is a 16- or 32-bit
// bit-field format whose masks are not one of the standard ones.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Where red, green and blue sit inside a 16- or 32-bit pixel.
struct TBitFields {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    friend bool operator==(const TBitFields&, const TBitFields&) = default;
};

inline constexpr TBitFields kBitFields555 = {0x7C00, 0x03E0, 0x001F};
inline constexpr TBitFields kBitFields565 = {0xF800, 0x07E0, 0x001F};
inline constexpr TBitFields kBitFields888 = {0x00FF0000, 0x0000FF00, 0x000000FF};

// Bytes of a row of width pixels of bitsPerPixel, padded to alignment bits (32 for the
// rows of a device-independent bitmap, 16 for those of a monochrome bitmap buffer).
constexpr size_t RowBytes(int width, int bitsPerPixel, int alignment)
{
    const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel);
    const uint64_t a = static_cast<uint64_t>(alignment);
    return static_cast<size_t>((bits + a - 1) / a * a / 8);
}

int BitsPerPixelOf(TPixelFormat format);
