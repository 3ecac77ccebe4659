#pragma once

#include "gif/Encoder.h"

#include <cstdint>
#include <memory>

// The LZW string table, indexed directly by prefix code and pixel: an entry holds the
// code of that string plus that pixel, or 0 when the table has none (no string code is
// 0). Reset empties only the entries stored since the last reset, so a clean table can
// serve frame after frame; the encoder keeps one per thread for that.
class LzwDictionary {
public:
    LzwDictionary();

    // key: prefix << 8 | pixel, with a prefix below 4096.
    static uint32_t Key(int prefix, uint8_t pixel) { return (uint32_t(prefix) << 8) | pixel; }
    int Find(uint32_t key) const { return m_next[key]; }
    void Store(uint32_t key, int code)
    {
        m_next[key] = static_cast<uint16_t>(code);
        m_stored[m_count++] = key;
    }
    void Reset();
    const uint16_t* Entries() const { return m_next.get(); }


private:
    struct FreeDeleter {
        void operator()(uint16_t* p) const;
    };
    // Calloc'ed: the pages a thread never touches are never made.
    std::unique_ptr<uint16_t[], FreeDeleter> m_next;
    // Keys stored since the last reset; a table holds at most 4096 codes.
    std::unique_ptr<uint32_t[]> m_stored;
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
    LzwDictionary* m_dictionary = nullptr;
};
