#include "framework/graphics/Palette.h"

#include <algorithm>
#include <array>

TPalette::TPalette(std::vector<TPaletteEntry> entries) : m_entries(std::move(entries))
{
    if (m_entries.empty() || m_entries.size() > MaxEntries)
        throw EInvalidGraphicOperation("Palette non valide");
}

const TPaletteEntry& TPalette::Entry(int index) const
{
    if (index < 0 || index >= Count())
        throw EInvalidGraphicOperation("Index de palette hors limites");
    return m_entries[static_cast<size_t>(index)];
}

int TPalette::GetEntries(int start, int count, TPaletteEntry* out) const
{
    if (start < 0 || start >= Count() || count <= 0)
        return 0;
    const int n = std::min(count, Count() - start);
    std::copy_n(m_entries.begin() + start, n, out);
    return n;
}

int TPalette::SetEntries(int start, int count, const TPaletteEntry* in)
{
    if (start < 0 || start >= Count() || count <= 0)
        return 0;
    const int n = std::min(count, Count() - start);
    std::copy_n(in, n, m_entries.begin() + start);
    return n;
}

std::unique_ptr<TPalette> TPalette::Clone() const
{
    return std::make_unique<TPalette>(m_entries);
}

int TPalette::NearestIndex(TColor rgb) const
{
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < Count(); ++i) {
        const TPaletteEntry& e = m_entries[static_cast<size_t>(i)];
        const int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0)
                break;
        }
    }
    return best;
}

namespace {
constexpr std::array<TPaletteEntry, 20> kStaticColors = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

std::vector<TPaletteEntry> halftoneEntries()
{
    std::vector<TPaletteEntry> entries(256);
    std::copy_n(kStaticColors.begin(), 10, entries.begin());
    std::copy_n(kStaticColors.begin() + 10, 10, entries.begin() + 246);
    // Cube: entry 10 + 36r + 6g + b holds (51r, 51g, 51b) for r, g, b in 0 .. 5.
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries[static_cast<size_t>(10 + 36 * r + 6 * g + b)] = {
                    static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0};
    // Greys: entry 225 + i holds i * 255 / 21 (rounded down) for i in 1 .. 20, which
    // falls between the cube's own greys and never repeats one of them.
    for (int i = 1; i <= 20; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / 21);
        entries[static_cast<size_t>(225 + i)] = {v, v, v, 0};
    }
    return entries;
}
} // namespace

const TPalette& DefaultPalette()
{
    static const TPalette palette(std::vector<TPaletteEntry>(kStaticColors.begin(), kStaticColors.end()));
    return palette;
}

const TPalette& HalftonePalette()
{
    static const TPalette palette(halftoneEntries());
    return palette;
}

std::unique_ptr<TPalette> CreateHalftonePalette()
{
    return HalftonePalette().Clone();
}
