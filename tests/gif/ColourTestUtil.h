#pragma once

#include "framework/graphics/Bitmap.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The message of the exception of type E that f throws, or "(no exception)".
template <typename E>
std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no exception)";
}

using Rgb = std::array<int, 3>;

// A 24-bit bitmap whose pixel (x, y) has colour(x, y).
inline std::unique_ptr<TBitmap> filledBitmap(int width, int height, const std::function<Rgb(int x, int y)>& colour)
{
    auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bitmap->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            *p++ = uint8_t(c[2]);
            *p++ = uint8_t(c[1]);
            *p++ = uint8_t(c[0]);
        }
    }
    return bitmap;
}

// A one-row 24-bit bitmap of the colours.
inline std::unique_ptr<TBitmap> rowOf(const std::vector<Rgb>& colours)
{
    return filledBitmap(int(colours.size()), 1, [&](int x, int) { return colours[size_t(x)]; });
}
