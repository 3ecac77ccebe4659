#include "framework/graphics/PixelCodec.h"

#include "framework/graphics/Bitmap.h"

#include <bit>

int BitsPerPixelOf(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit: return 32;
    case TPixelFormat::pfCustom: break;
    }
    return 0;
}

const std::vector<TPaletteEntry>& DefaultColorTable(int bitsPerPixel)
{
    static const std::vector<TPaletteEntry> mono = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    static const std::vector<TPaletteEntry> sixteen = {
        {0, 0, 0, 0},     {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},  {0, 0, 128, 0}, {128, 0, 128, 0},
        {0, 128, 128, 0}, {128, 128, 128, 0}, {192, 192, 192, 0}, {255, 0, 0, 0},    {0, 255, 0, 0}, {255, 255, 0, 0},
        {0, 0, 255, 0},   {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};
    if (bitsPerPixel == 1)
        return mono;
    if (bitsPerPixel == 4)
        return sixteen;
    return HalftonePalette().Entries();
}

PixelCodec::PixelCodec(const TBitmap& bitmap)
    : PixelCodec(bitmap.BitsPerPixel(), bitmap.BitFields(), bitmap.Palette() ? &bitmap.Palette()->Entries() : nullptr,
                 bitmap.Monochrome())
{}

PixelCodec::PixelCodec(int bitsPerPixel, TBitFields masks, const std::vector<TPaletteEntry>* table, bool monochrome)
    : m_bpp(bitsPerPixel), m_masks(masks), m_monochrome(monochrome && bitsPerPixel == 1)
{
    if (m_bpp <= 8) {
        m_table = table && !table->empty() && !m_monochrome ? table : &DefaultColorTable(m_bpp);
        m_keep = (1u << m_bpp) - 1;
        return;
    }
    if (m_bpp == 24)
        m_masks = kBitFields888;
    m_rgb24 = m_masks == kBitFields888;
    const uint32_t all = m_bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    m_masks = {m_masks.red & all, m_masks.green & all, m_masks.blue & all};
    m_keep = m_masks.red | m_masks.green | m_masks.blue;
    const uint32_t list[3] = {m_masks.red, m_masks.green, m_masks.blue};
    for (int c = 0; c < 3; ++c) {
        m_shift[c] = list[c] ? std::countr_zero(list[c]) : 0;
        m_max[c] = list[c] >> m_shift[c];
    }
}

bool PixelCodec::SameRaw(const PixelCodec& other) const
{
    if (m_rgb24 && other.m_rgb24)
        return true;
    if (m_bpp != other.m_bpp || m_monochrome != other.m_monochrome)
        return false;
    if (m_bpp <= 8)
        return m_monochrome || *m_table == *other.m_table;
    return m_masks == other.m_masks;
}

uint32_t PixelCodec::Read(const uint8_t* row, int x) const
{
    switch (m_bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return row[x];
    case 16: return static_cast<uint32_t>(row[2 * x]) | (static_cast<uint32_t>(row[2 * x + 1]) << 8);
    case 24: {
        const uint8_t* p = row + 3 * x;
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    default: {
        const uint8_t* p = row + 4 * x;
        return (static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                (static_cast<uint32_t>(p[3]) << 24)) &
               m_keep;
    }
    }
}

void PixelCodec::Write(uint8_t* row, int x, uint32_t raw) const
{
    switch (m_bpp) {
    case 1: {
        const auto bit = static_cast<uint8_t>(0x80u >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>((raw & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
        break;
    }
    case 4: {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (raw & 0xF))
                    : static_cast<uint8_t>((b & 0x0F) | ((raw & 0xF) << 4));
        break;
    }
    case 8: row[x] = static_cast<uint8_t>(raw); break;
    case 16:
        row[2 * x] = static_cast<uint8_t>(raw);
        row[2 * x + 1] = static_cast<uint8_t>(raw >> 8);
        break;
    case 24: {
        uint8_t* p = row + 3 * x;
        p[0] = static_cast<uint8_t>(raw);
        p[1] = static_cast<uint8_t>(raw >> 8);
        p[2] = static_cast<uint8_t>(raw >> 16);
        break;
    }
    default: {
        raw &= m_keep;
        uint8_t* p = row + 4 * x;
        p[0] = static_cast<uint8_t>(raw);
        p[1] = static_cast<uint8_t>(raw >> 8);
        p[2] = static_cast<uint8_t>(raw >> 16);
        p[3] = static_cast<uint8_t>(raw >> 24);
        break;
    }
    }
}

void PixelCodec::ReadRow(const uint8_t* row, int x, int count, uint32_t* out) const
{
    if (m_bpp == 32) {
        const auto* words = reinterpret_cast<const uint32_t*>(row) + x;
        for (int i = 0; i < count; ++i)
            out[i] = words[i] & m_keep;
        return;
    }
    if (m_bpp == 8) {
        for (int i = 0; i < count; ++i)
            out[i] = row[x + i];
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = Read(row, x + i);
}

void PixelCodec::WriteRow(uint8_t* row, int x, int count, const uint32_t* in) const
{
    if (m_bpp == 32) {
        auto* words = reinterpret_cast<uint32_t*>(row) + x;
        for (int i = 0; i < count; ++i)
            words[i] = in[i] & m_keep;
        return;
    }
    if (m_bpp == 8) {
        for (int i = 0; i < count; ++i)
            row[x + i] = static_cast<uint8_t>(in[i]);
        return;
    }
    for (int i = 0; i < count; ++i)
        Write(row, x + i, in[i]);
}

TColor PixelCodec::ToRGB(uint32_t raw) const
{
    if (m_bpp <= 8) {
        const auto& table = *m_table;
        if (raw >= table.size())
            return clBlack;
        const TPaletteEntry& e = table[raw];
        return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    if (m_rgb24)
        return SwapRB(raw);
    uint8_t c[3];
    for (int i = 0; i < 3; ++i) {
        const uint32_t mask = i == 0 ? m_masks.red : i == 1 ? m_masks.green : m_masks.blue;
        const uint32_t max = m_max[static_cast<size_t>(i)];
        const uint32_t v = (raw & mask) >> m_shift[static_cast<size_t>(i)];
        c[i] = max ? static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max) : 0;
    }
    return RGB(c[0], c[1], c[2]);
}

uint32_t PixelCodec::FromRGB(TColor rgb)
{
    rgb &= 0x00FFFFFF;
    if (m_monochrome)
        return GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb) >= 384 ? 1u : 0u;
    if (m_bpp <= 8) {
        if (!m_cache)
            m_cache = std::make_unique<std::array<CacheSlot, 4096>>();
        CacheSlot& slot = (*m_cache)[(rgb ^ (rgb >> 12)) & 4095];
        if (slot.key != rgb) {
            int best = 0;
            int bestDistance = INT32_MAX;
            const auto& table = *m_table;
            for (size_t i = 0; i < table.size() && i < (1u << m_bpp); ++i) {
                const int dr = table[i].peRed - GetRValue(rgb), dg = table[i].peGreen - GetGValue(rgb),
                          db = table[i].peBlue - GetBValue(rgb);
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = static_cast<int>(i);
                }
            }
            slot = {rgb, static_cast<uint32_t>(best)};
        }
        return slot.value;
    }
    if (m_rgb24)
        return SwapRB(rgb);
    const uint8_t c[3] = {GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)};
    uint32_t raw = 0;
    for (size_t i = 0; i < 3; ++i)
        raw |= ((static_cast<uint32_t>(c[i]) * m_max[i] + 127) / 255) << m_shift[i];
    return raw & m_keep;
}
