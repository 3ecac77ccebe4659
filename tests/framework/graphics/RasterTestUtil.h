#pragma once

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Fills a bitmap with random colours; returns them row by row as 0x00BBGGRR.
inline std::vector<TColor> FillRandom(TBitmap& bitmap, std::mt19937& random)
{
    std::vector<TColor> colors;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor c = random() & 0x00FFFFFF;
            bitmap.Canvas().SetPixel(x, y, c);
            colors.push_back(bitmap.Canvas().Pixel(x, y));
        }
    return colors;
}

// The pixels of a bitmap as text rows, one character per pixel from the legend
// (colour -> character); '?' for any other colour. Failures then show a picture.
inline std::string Picture(TBitmap& bitmap, const std::vector<std::pair<TColor, char>>& legend)
{
    std::string out;
    TCanvas reader(bitmap); // the bitmap's own canvas may have an origin or clip set
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor c = reader.Pixel(x, y);
            char ch = '?';
            for (const auto& [color, symbol] : legend)
                if (color == c)
                    ch = symbol;
            out += ch;
        }
        out += '\n';
    }
    return out;
}

// Little-endian byte builder for file layouts.
class Bytes {
public:
    Bytes& u8(uint32_t v)
    {
        m_data.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& raw(const std::vector<uint8_t>& v)
    {
        m_data.insert(m_data.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& fill(size_t count, uint8_t v = 0)
    {
        m_data.insert(m_data.end(), count, v);
        return *this;
    }
    size_t size() const { return m_data.size(); }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};
