#pragma once

#include "gif/Encoder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The LZW string table: for a string (prefix code and pixel) the code of that string plus
// that pixel, or 0 when the table has none (no string code is 0). A table holds at most
// 4096 strings, so an open-addressed hash of 32768 slots (128 KB, an eighth full at the
// most) answers in about one probe and stays in the processor's nearer caches, where a
// directly indexed table of every prefix and pixel would span 2 MB and miss them on
// photographs. Reset empties only
// what was stored since the last reset, so a clean table can serve frame after frame;
// the encoder keeps one per thread for that.
class LzwDictionary {
public:
    LzwDictionary();

    // key: prefix << 8 | pixel, with a prefix below 4096.
    static uint32_t Key(int prefix, uint8_t pixel) { return (uint32_t(prefix) << 8) | pixel; }
    int Find(uint32_t key) const
    {
        for (uint32_t slot = hash(key);; slot = (slot + 1) & SlotMask) {
            const uint32_t entry = m_slots[slot];
            if (entry == 0)
                return 0;
            if ((entry >> 12) == key)
                return static_cast<int>(entry & 0xFFF);
        }
    }
    // key must not be in the table yet.
    void Store(uint32_t key, int code)
    {
        uint32_t slot = hash(key);
        while (m_slots[slot] != 0)
            slot = (slot + 1) & SlotMask;
        m_slots[slot] = (key << 12) | uint32_t(code);
        m_stored[m_count++] = slot;
        m_recent[key >> 8] = ((key & 0xFF) << 16) | uint32_t(code);
    }
    void Reset();
    // The child last found or stored for each prefix: pixel << 16 | code, or all ones.
    // Strings that keep growing the same way (flat areas) find it here, in 16 KB,
    // instead of in the 2 MB table. Only prefixes with a stored child are ever set.
    uint32_t* Recent() { return m_recent.get(); }

    // Runs of one pixel are stored in order of length (a run of L + 1 is only ever added
    // to the run of L), so the table holds them for every length from 1 up to the
    // longest. The run of 1 is the pixel itself.
    int LongestRun(uint8_t pixel) const { return static_cast<int>(m_runs[pixel].size()) + 1; }
    int RunCode(uint8_t pixel, int length) const { return length == 1 ? pixel : m_runs[pixel][size_t(length) - 2]; }
    // Records code as the run one longer than the longest of pixel.
    void ExtendRun(uint8_t pixel, int code)
    {
        if (m_runs[pixel].empty())
            m_runPixels.push_back(pixel);
        m_runs[pixel].push_back(static_cast<uint16_t>(code));
    }

private:
    static constexpr uint32_t SlotBits = 15;
    static constexpr uint32_t SlotMask = (1u << SlotBits) - 1;
    static uint32_t hash(uint32_t key) { return (key * 2654435761u) >> (32 - SlotBits); }

    // An entry is key << 12 | code; 0 is a free slot (a stored code is never 0).
    std::unique_ptr<uint32_t[]> m_slots;
    // Slots filled since the last reset; a table holds at most 4096 codes.
    std::unique_ptr<uint32_t[]> m_stored;
    std::unique_ptr<uint32_t[]> m_recent;
    std::array<std::vector<uint16_t>, 256> m_runs;
    // The pixels whose runs are longer than 1.
    std::vector<uint8_t> m_runPixels;
    int m_count = 0;
};

// True LZW: the longest string already in the table is sent as one code, and each
// miss adds that string plus the next pixel. The table holds codes up to 4094; the
// miss after that sends a clear code and starts a new table.
class TLZWEncoder final : public TGIFEncoder {
public:
    TLZWEncoder() = default;

protected:
    // Grows the width after each code exactly when a decoder, one entry behind, does.
    void Output(int code) override;
    void Clear() override;
    void DoCompress() override;

private:
    void output(int code);
    void clear();
    void encode(const uint8_t* pixel, const uint8_t* end);

    int m_prefix = 0;
    int m_freeCode = 0;
    // The code of the last string known to be a run, and that run as length << 8 | pixel.
    int m_runPrefix = -1;
    int m_run = 0;
    LzwDictionary* m_dictionary = nullptr;
};
