#pragma once

#include "framework/graphics/Color.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/PixelFormat.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// Reads and writes the raw pixel values of one bitmap's rows and converts them to and
// from colours. Raw values: the index for 1, 4 and 8 bits, the 16-bit word for 16 bits,
// 0x00RRGGBB for 24 and 32 bits (the byte order of the rows). Used by the canvas and the
// bitmap for one operation at a time; it points into the bitmap's palette.
class PixelCodec {
public:
    explicit PixelCodec(const TBitmap& bitmap);
    PixelCodec(int bitsPerPixel, TBitFields masks, const std::vector<TPaletteEntry>* table, bool monochrome);

    int BitsPerPixel() const { return m_bpp; }
    // A one-bit bitmap without colour table: copies to and from colour follow the text
    // and background colours.
    bool Monochrome() const { return m_monochrome; }
    bool Indexed() const { return m_bpp <= 8; }
    // Raw 0x00RRGGBB words: 24 and 32 bits with the standard masks.
    bool Rgb24() const { return m_rgb24; }
    uint32_t Keep() const { return m_keep; }
    // Raw values of the two codecs mean the same colours.
    bool SameRaw(const PixelCodec& other) const;

    void ReadRow(const uint8_t* row, int x, int count, uint32_t* out) const;
    void WriteRow(uint8_t* row, int x, int count, const uint32_t* in) const;
    uint32_t Read(const uint8_t* row, int x) const;
    void Write(uint8_t* row, int x, uint32_t raw) const;

    // 0x00BBGGRR of a raw value.
    TColor ToRGB(uint32_t raw) const;
    // The raw value for a colour: the nearest entry (lowest index among equals) for
    // indexed formats, white or black by brightness for a monochrome bitmap.
    uint32_t FromRGB(TColor rgb);

    const std::vector<TPaletteEntry>& Table() const { return *m_table; }

private:
    int m_bpp;
    TBitFields m_masks;
    const std::vector<TPaletteEntry>* m_table = nullptr;
    bool m_monochrome = false;
    bool m_rgb24 = false;
    uint32_t m_keep = 0;
    std::array<int, 3> m_shift{};
    std::array<uint32_t, 3> m_max{};
    struct CacheSlot {
        uint32_t key = 0xFFFFFFFF;
        uint32_t value = 0;
    };
    std::unique_ptr<std::array<CacheSlot, 4096>> m_cache;
};

inline uint32_t SwapRB(uint32_t v)
{
    return (v & 0x0000FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
}

// The colour table a bitmap of this depth uses when it has no palette.
const std::vector<TPaletteEntry>& DefaultColorTable(int bitsPerPixel);
