#pragma once

#include "framework/core/Object.h"
#include "framework/graphics/Color.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TPaletteEntry {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
    friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Palette entry flags.
inline constexpr uint8_t pcReserved = 0x01;
inline constexpr uint8_t pcExplicit = 0x02;
inline constexpr uint8_t pcNoCollapse = 0x04;

// A logical palette: version 0x300 and 1 to 256 entries. Identity is the object's
// address ("is this the same palette?"); owners hold palettes in std::unique_ptr.
class TPalette : public TObject {
    CARNELO_CLASS(TPalette, TObject)
public:
    static constexpr uint16_t Version = 0x300;
    static constexpr int MaxEntries = 256;

    // Raises EInvalidGraphicOperation for no entries or more than 256.
    explicit TPalette(std::vector<TPaletteEntry> entries);

    int Count() const { return static_cast<int>(m_entries.size()); }
    // Raises EInvalidGraphicOperation for an index outside 0 .. Count() - 1.
    const TPaletteEntry& Entry(int index) const;
    const std::vector<TPaletteEntry>& Entries() const { return m_entries; }
    // Copies up to count entries from start; returns how many were copied.
    int GetEntries(int start, int count, TPaletteEntry* out) const;
    int SetEntries(int start, int count, const TPaletteEntry* in);

    // A new palette with the same entries (a different object).
    std::unique_ptr<TPalette> Clone() const;
    bool SameEntries(const TPalette& other) const { return m_entries == other.m_entries; }

    // The entry nearest to the colour (squared distance in RGB); the lowest index among
    // equals.
    int NearestIndex(TColor rgb) const;

private:
    std::vector<TPaletteEntry> m_entries;
};

// The stock default palette: the 20 static colours, (0,0,0) ... (192,220,192) (166,202,240)
// then (255,251,240) (160,160,164) ... (255,255,255). Shared; never freed.
const TPalette& DefaultPalette();

// 256 entries: the first ten static colours at 0 to 9, the last ten at 246 to 255, a
// 6 x 6 x 6 colour cube at 10 to 225 and twenty greys at 226 to 245. Shared; never freed.
const TPalette& HalftonePalette();

// A new palette made of the halftone entries, for owners that need their own object.
std::unique_ptr<TPalette> CreateHalftonePalette();
