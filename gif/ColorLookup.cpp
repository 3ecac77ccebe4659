#include "gif/ColorLookup.h"

#include <algorithm>
#include <cstdlib>

TFastColorLookup::TFastColorLookup(const TPalette* palette)
    : TColorLookup(palette ? std::min(palette->Count(), TPalette::MaxEntries) : 0),
      m_inverse(std::make_unique<std::array<int16_t, 32768>>())
{
    if (palette)
        palette->GetEntries(0, Colors(), m_entries.data());
    m_inverse->fill(-1);
    // Exact palette colours are found at once; among entries sharing a cell the lowest
    // index owns it.
    for (int i = 0; i < Colors(); ++i) {
        const TPaletteEntry& e = m_entries[static_cast<size_t>(i)];
        int16_t& cell = (*m_inverse)[static_cast<size_t>(Cell(e.peRed, e.peGreen, e.peBlue))];
        if (cell < 0)
            cell = static_cast<int16_t>(i);
    }
}

int TFastColorLookup::nearest(uint8_t red, uint8_t green, uint8_t blue) const
{
    // Above any real distance (3 x 255), so the first entry always replaces it.
    int bestDistance = 0x30000;
    int best = 0;
    for (int i = 0; i < Colors(); ++i) {
        const TPaletteEntry& e = m_entries[static_cast<size_t>(i)];
        const int distance = std::abs(e.peRed - red) + std::abs(e.peGreen - green) + std::abs(e.peBlue - blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

uint8_t TNetscapeColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                         uint8_t& b)
{
    // (255 + 3) / 51 = 5 keeps every level within the cube.
    const int rl = (red + 3) / 51, gl = (green + 3) / 51, bl = (blue + 3) / 51;
    r = static_cast<uint8_t>(51 * rl);
    g = static_cast<uint8_t>(51 * gl);
    b = static_cast<uint8_t>(51 * bl);
    return static_cast<uint8_t>(36 * rl + 6 * gl + bl);
}

uint8_t TGrayScaleLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    // The weights sum to 256, so y stays within 0 .. 255.
    const auto y = static_cast<uint8_t>((77 * red + 150 * green + 29 * blue) >> 8);
    r = g = b = y;
    return y;
}

uint8_t TMonochromeLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    const bool white = 77 * red + 150 * green + 29 * blue > 32512;
    r = g = b = white ? 255 : 0;
    return white ? 1 : 0;
}
