#pragma once

#include "gif/Encoder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The LZW string table: for a string (prefix code and pixel) the code of that string plus
// that pixel, or 0 when the table has none (no string code is 0). Indexed directly by
// prefix and pixel, a lookup is one load with no probing; the 2 MB it spans is touched
// only where strings were stored (a row of 16 colours fits one cache line). Reset
// empties only what was stored since the last reset, so a clean table can serve frame
// after frame; the encoder keeps one per thread for that.
class LzwDictionary {
public:
    LzwDictionary();

    // key: prefix << 8 | pixel, with a prefix below 4096.
    static uint32_t Key(int prefix, uint8_t pixel) { return (uint32_t(prefix) << 8) | pixel; }
    // The code of each key, 0 for none.
    const uint16_t* Children() const { return m_child.get(); }
    // key must not be in the table yet.
    void Store(uint32_t key, int code)
    {
        m_child[key] = static_cast<uint16_t>(code);
        m_keys[code] = key;
    }
    // Empties the table, given the codes stored since the last reset: [firstCode, endCode).
    void Reset(int firstCode, int endCode);

    // Runs of one pixel are stored in order of length (a run of L + 1 is only ever added
    // to the run of L), so the table holds them for every length from 1 up to the
    // longest. The run of 1 is the pixel itself.
    int LongestRun(uint8_t pixel) const { return static_cast<int>(m_runs[pixel].size()) + 1; }
    int RunCode(uint8_t pixel, int length) const { return length == 1 ? pixel : m_runs[pixel][size_t(length) - 2]; }
    // For each pixel, the code of its longest run.
    const uint16_t* LongestRuns() const { return m_longestRun.data(); }
    // Records code, just stored as the longest run of pixel plus that pixel, as the new
    // longest run.
    void ExtendRun(uint8_t pixel, int code)
    {
        if (m_runs[pixel].empty())
            m_runPixels.push_back(pixel);
        m_runs[pixel].push_back(static_cast<uint16_t>(code));
        m_longestRun[pixel] = static_cast<uint16_t>(code);
    }

private:
    static constexpr uint32_t Keys = 4096u << 8;

    struct TableDeleter {
        void operator()(uint16_t* table) const;
    };
    // A lookup table: on huge pages, lookups all over it do not each miss the address
    // translation cache too (that cost large frames a tenth of their time).
    std::unique_ptr<uint16_t[], TableDeleter> m_child;
    // The key of each stored code, so that a reset clears only those.
    std::unique_ptr<uint32_t[]> m_keys;
    // For each pixel, the code of its longest run: the pixel itself until a run is stored.
    std::array<uint16_t, 256> m_longestRun;
    std::array<std::vector<uint16_t>, 256> m_runs;
    // The pixels whose runs are longer than 1.
    std::vector<uint8_t> m_runPixels;
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
    // Large: the frame has so many pixels that its table misses the cache.
    template <bool CheckColours, bool Large>
    void encodeFrame();

    int m_prefix = 0;
    int m_freeCode = 0;
    LzwDictionary* m_dictionary = nullptr;
};
