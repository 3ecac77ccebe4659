#include "gif/ColorLookup.h"

#include <algorithm>
#include <cmath>
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

NearestColorLookup::NearestColorLookup(const TPalette* palette)
    : TColorLookup(palette ? std::min(palette->Count(), TPalette::MaxEntries) : 0),
      m_cellStart(size_t{1} << (3 * CellBits), -1)
{
    if (palette)
        palette->GetEntries(0, Colors(), m_entries.data());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_doubled[0][i] = float(2 * m_entries[i].peRed);
        m_doubled[1][i] = float(2 * m_entries[i].peGreen);
        m_doubled[2][i] = float(2 * m_entries[i].peBlue);
    }
}

int32_t NearestColorLookup::listCandidates(size_t cell)
{
    // In doubled coordinates the cell's centre is whole: side s from 2c to 2c + 2(s - 1).
    constexpr int side = 1 << CellShift;
    const float centre[3] = {float(int((cell >> (2 * CellBits)) << CellShift) * 2 + side - 1),
                             float(int(((cell >> CellBits) & ((1 << CellBits) - 1)) << CellShift) * 2 + side - 1),
                             float(int((cell & ((1 << CellBits) - 1)) << CellShift) * 2 + side - 1)};
    const double radius = std::sqrt(3.0) * (side - 1) / 2;
    std::array<float, 256> distance2; // to the centre, in doubled coordinates
    for (size_t i = 0; i < 256; ++i) {
        const float dr = m_doubled[0][i] - centre[0], dg = m_doubled[1][i] - centre[1],
                    db = m_doubled[2][i] - centre[2];
        distance2[i] = dr * dr + dg * dg + db * db;
    }
    const float nearest2 = *std::min_element(distance2.begin(), distance2.begin() + std::max(Colors(), 1));
    // Any colour of the cell is within radius of the centre, so an entry farther than
    // the nearest one's distance plus twice that can never win.
    const double reach = std::sqrt(double(nearest2)) / 2 + 2 * radius + 1e-9;
    const auto reach2 = float(4 * reach * reach);
    std::array<uint8_t, 256> listed{};
    int count = 0;
    for (int i = 0; i < Colors(); ++i)
        if (distance2[size_t(i)] <= reach2)
            listed[size_t(count++)] = uint8_t(i);
    std::sort(listed.begin(), listed.begin() + count, [&](uint8_t a, uint8_t b) {
        return distance2[a] < distance2[b] || (distance2[a] == distance2[b] && a < b);
    });
    const auto start = static_cast<int32_t>(m_candidates.size());
    m_candidates.push_back({count, 0});
    for (int i = 0; i < count; ++i) {
        const double gap = std::max(0.0, std::sqrt(double(distance2[listed[size_t(i)]])) / 2 - radius - 1e-9);
        m_candidates.push_back({static_cast<int32_t>(std::floor(gap * gap)), listed[size_t(i)]});
    }
    m_cellStart[cell] = start;
    return start;
}

uint8_t TNetscapeColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
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
