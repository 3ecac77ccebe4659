#include "tests/support/ByteBuilder.h"

#include <algorithm>

ByteBuilder& ByteBuilder::u8(uint8_t value)
{
    m_bytes.push_back(value);
    return *this;
}

ByteBuilder& ByteBuilder::le16(uint16_t value)
{
    return u8(static_cast<uint8_t>(value)).u8(static_cast<uint8_t>(value >> 8));
}

ByteBuilder& ByteBuilder::le32(uint32_t value)
{
    return le16(static_cast<uint16_t>(value)).le16(static_cast<uint16_t>(value >> 16));
}

ByteBuilder& ByteBuilder::raw(const std::vector<uint8_t>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteBuilder& ByteBuilder::raw(std::initializer_list<uint8_t> bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteBuilder& ByteBuilder::text(std::string_view text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

ByteBuilder& ByteBuilder::repeat(uint8_t value, size_t count)
{
    m_bytes.insert(m_bytes.end(), count, value);
    return *this;
}

ByteBuilder& ByteBuilder::subBlocks(const std::vector<uint8_t>& data, size_t chunk)
{
    for (size_t offset = 0; offset < data.size(); offset += chunk) {
        const size_t n = std::min(chunk, data.size() - offset);
        u8(static_cast<uint8_t>(n));
        m_bytes.insert(m_bytes.end(), data.begin() + static_cast<long>(offset),
                       data.begin() + static_cast<long>(offset + n));
    }
    return u8(0);
}

CodePacker& CodePacker::put(int code, int width)
{
    m_bits |= static_cast<uint32_t>(code) << m_count;
    m_count += width;
    while (m_count >= 8) {
        m_bytes.push_back(static_cast<uint8_t>(m_bits));
        m_bits >>= 8;
        m_count -= 8;
    }
    return *this;
}

std::vector<uint8_t> CodePacker::bytes() const
{
    std::vector<uint8_t> out = m_bytes;
    if (m_count > 0)
        out.push_back(static_cast<uint8_t>(m_bits));
    return out;
}

ByteBuilder gifHeader(uint16_t width, uint16_t height, int colors, const char* version)
{
    ByteBuilder b;
    b.text(version).le16(width).le16(height);
    if (colors <= 0)
        return b.u8(0).u8(0).u8(0);
    int size = 0;
    while ((2 << size) < colors)
        ++size;
    b.u8(static_cast<uint8_t>(0x80 | (size << 4) | size)).u8(0).u8(0);
    for (int i = 0; i < (2 << size); ++i)
        b.u8(static_cast<uint8_t>(i)).u8(static_cast<uint8_t>(i)).u8(static_cast<uint8_t>(i));
    return b;
}

ByteBuilder imageDescriptor(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t packed)
{
    ByteBuilder b;
    return b.u8(0x2C).le16(left).le16(top).le16(width).le16(height).u8(packed);
}
