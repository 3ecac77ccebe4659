#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

// Builds byte sequences for file-format tests: little-endian fields, text, and GIF
// data sub-blocks.
class ByteBuilder {
public:
    ByteBuilder() = default;
    ByteBuilder(std::initializer_list<uint8_t> bytes) : m_bytes(bytes) {}

    ByteBuilder& u8(uint8_t value);
    ByteBuilder& le16(uint16_t value);
    ByteBuilder& le32(uint32_t value);
    ByteBuilder& raw(const std::vector<uint8_t>& bytes);
    ByteBuilder& raw(std::initializer_list<uint8_t> bytes);
    ByteBuilder& text(std::string_view text);
    ByteBuilder& repeat(uint8_t value, size_t count);
    // data cut into sub-blocks of at most chunk bytes, then the 0 terminator.
    ByteBuilder& subBlocks(const std::vector<uint8_t>& data, size_t chunk = 255);

    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    operator const std::vector<uint8_t>&() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

// Packs codes of any width least significant bit first, as GIF image data carries them.
class CodePacker {
public:
    CodePacker& put(int code, int width);
    // The packed bytes; the last one padded with zero bits.
    std::vector<uint8_t> bytes() const;

private:
    std::vector<uint8_t> m_bytes;
    uint32_t m_bits = 0;
    int m_count = 0;
};

// A GIF header: "GIF89a", logical screen, and a global table of colors entries
// (rounded up to a power of two, entry i = (i, i, i)) unless colors is 0.
ByteBuilder gifHeader(uint16_t width, uint16_t height, int colors, const char* version = "GIF89a");
// An image descriptor with packed byte as given.
ByteBuilder imageDescriptor(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t packed = 0);
