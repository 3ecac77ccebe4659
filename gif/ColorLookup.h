#pragma once

#include "framework/core/Object.h"
#include "framework/graphics/Palette.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Answers, for one RGB triple, which entry of a target palette to use and the colour of
// that entry. Made for one reduction and handed to a dithering engine, which asks it
// once per pixel.
class TColorLookup : public TObject {
    CARNELO_CLASS(TColorLookup, TObject)
public:
    // Entries of the target palette; 0 means the reduction produces nothing.
    int Colors() const { return m_colors; }
    // Returns the index and writes that entry's colour into r, g, b.
    virtual uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) = 0;

protected:
    explicit TColorLookup(int colors) : m_colors(colors) {}

private:
    int m_colors;
};

// Any palette of up to 256 entries, searched by the sum of absolute channel differences
// (lowest index among equals). A 15-bit cell cache answers for every colour of its
// 8 x 8 x 8 cell: the palette's own colours own their cells from the start (lowest index
// first), and any other cell keeps the index found for the first colour asked in it.
class TFastColorLookup : public TColorLookup {
    CARNELO_CLASS(TFastColorLookup, TColorLookup)
public:
    // A null palette gives a lookup of no colours.
    explicit TFastColorLookup(const TPalette* palette);

    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override
    {
        int16_t& cached = (*m_inverse)[Cell(red, green, blue)];
        if (cached < 0)
            cached = static_cast<int16_t>(nearest(red, green, blue));
        const TPaletteEntry& entry = m_entries[static_cast<uint8_t>(cached)];
        r = entry.peRed;
        g = entry.peGreen;
        b = entry.peBlue;
        return static_cast<uint8_t>(cached);
    }

    // Red in bits 0 to 4, green in 5 to 9, blue in 10 to 14.
    static int Cell(uint8_t red, uint8_t green, uint8_t blue)
    {
        return ((blue & 0xF8) << 7) | ((green & 0xF8) << 2) | (red >> 3);
    }
    // The cached index of a cell, -1 while it has none.
    int CachedIndex(int cell) const { return (*m_inverse)[static_cast<size_t>(cell)]; }

private:
    int nearest(uint8_t red, uint8_t green, uint8_t blue) const;

    std::array<TPaletteEntry, 256> m_entries{};
    std::unique_ptr<std::array<int16_t, 32768>> m_inverse;
};

// Any palette of up to 256 entries, searched exactly: the entry at the least squared
// distance, the lowest index among equals. The first colour asked in a 4 x 4 x 4 cell
// lists the few entries that can be nearest to any colour of that cell, nearest to the
// cell's centre first; later colours of the cell compare only those.
class NearestColorLookup : public TColorLookup {
    CARNELO_CLASS(NearestColorLookup, TColorLookup)
public:
    // A null palette gives a lookup of no colours.
    explicit NearestColorLookup(const TPalette* palette);

    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override
    {
        const size_t cell = (size_t{red} >> CellShift << (2 * CellBits)) | (size_t{green} >> CellShift << CellBits) |
                            (size_t{blue} >> CellShift);
        int32_t start = m_cellStart[cell];
        if (start < 0)
            start = listCandidates(cell);
        const Candidate* candidate = &m_candidates[static_cast<size_t>(start)];
        const Candidate* const end = candidate + 1 + candidate->bound;
        int best = 0, bestDistance = 1 << 30;
        for (++candidate; candidate < end && candidate->bound <= bestDistance; ++candidate) {
            const TPaletteEntry& e = m_entries[candidate->index];
            const int dr = e.peRed - red, dg = e.peGreen - green, db = e.peBlue - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance || (distance == bestDistance && candidate->index < best)) {
                bestDistance = distance;
                best = candidate->index;
            }
        }
        const TPaletteEntry& entry = m_entries[static_cast<size_t>(best)];
        r = entry.peRed;
        g = entry.peGreen;
        b = entry.peBlue;
        return static_cast<uint8_t>(best);
    }

private:
    static constexpr int CellBits = 6;
    static constexpr int CellShift = 8 - CellBits;

    // A cell's list starts with a header whose bound is the number of candidates; each
    // candidate's bound is a squared distance no colour of the cell comes closer than.
    struct Candidate {
        int32_t bound;
        uint8_t index;
    };
    int32_t listCandidates(size_t cell);

    std::array<TPaletteEntry, 256> m_entries{};
    // The entries' channels, doubled, one array each, so that the listing loop runs in
    // vector registers; floats hold every sum of squares of it exactly.
    std::array<std::array<float, 256>, 3> m_doubled{};
    std::vector<int32_t> m_cellStart;
    std::vector<Candidate> m_candidates;
};

// The 6 x 6 x 6 cube of NetscapePalette: level (c + 3) / 51 per channel, index
// 36 r + 6 g + b. Ignores the palette it is given.
class TNetscapeColorLookup : public TColorLookup {
    CARNELO_CLASS(TNetscapeColorLookup, TColorLookup)
public:
    explicit TNetscapeColorLookup(const TPalette* = nullptr) : TColorLookup(216) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// The grey of Gray256Palette: (77 R + 150 G + 29 B) / 256. Ignores the palette.
class TGrayScaleLookup : public TColorLookup {
    CARNELO_CLASS(TGrayScaleLookup, TColorLookup)
public:
    explicit TGrayScaleLookup(const TPalette* = nullptr) : TColorLookup(256) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// BlackWhitePalette: white (1) when 77 R + 150 G + 29 B exceeds 32512, else black (0).
// Ignores the palette.
class TMonochromeLookup : public TColorLookup {
    CARNELO_CLASS(TMonochromeLookup, TColorLookup)
public:
    explicit TMonochromeLookup(const TPalette* = nullptr) : TColorLookup(2) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};
