#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 24-bit rows as the DIB reader gives them (blue, green, red per pixel); not owned.
struct PixelRows {
    const uint8_t* top = nullptr;
    ptrdiff_t stride = 0; // bytes from one row to the next
    int width = 0;
    int height = 0;

    const uint8_t* Row(int y) const { return top + y * stride; }
    size_t Pixels() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

// One colour of an image and the number of its pixels.
struct ColorCount {
    uint32_t rgb = 0; // 0xRRGGBB
    uint32_t count = 0;
    friend bool operator==(const ColorCount&, const ColorCount&) = default;
};

inline uint32_t PackRgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

// Every distinct colour of the rows with its pixel count, in increasing order of rgb.
// Counted on up to `threads` threads; the result does not depend on their number.
// Raises "Invalid image dimensions" for 2^32 pixels or more.
std::vector<ColorCount> CountColors(const PixelRows& rows, int threads);
