#include "gif/LzwEncoder.h"

#include "framework/core/Exception.h"
#include "gif/GIFWriter.h"

#include <algorithm>
#include <cstring>

namespace {

// A clean table for one DoCompress, handed back clean for the next one on the thread.
thread_local std::unique_ptr<LzwDictionary> spareDictionary;

class DictionaryLease {
public:
    DictionaryLease()
        : m_dictionary(spareDictionary ? std::move(spareDictionary) : std::make_unique<LzwDictionary>())
    {
    }
    ~DictionaryLease()
    {
        m_dictionary->Reset();
        spareDictionary = std::move(m_dictionary);
    }
    DictionaryLease(const DictionaryLease&) = delete;
    DictionaryLease& operator=(const DictionaryLease&) = delete;
    LzwDictionary& get() { return *m_dictionary; }

private:
    std::unique_ptr<LzwDictionary> m_dictionary;
};

} // namespace

LzwDictionary::LzwDictionary()
    : m_slots(std::make_unique<uint32_t[]>(SlotMask + 1)), m_stored(std::make_unique<uint32_t[]>(4096)),
      m_recent(std::make_unique<uint32_t[]>(4096))
{
    std::memset(m_recent.get(), 0xFF, 4096 * sizeof(uint32_t));
}

void LzwDictionary::Reset()
{
    // Only what was stored is undone: a frame of a few pixels resets in a few steps.
    for (int i = 0; i < m_count; ++i) {
        const uint32_t slot = m_stored[i];
        m_recent[m_slots[slot] >> 20] = 0xFFFFFFFF;
        m_slots[slot] = 0;
    }
    m_count = 0;
    for (uint8_t pixel : m_runPixels)
        m_runs[pixel].clear();
    m_runPixels.clear();
}

void TLZWEncoder::output(int code)
{
    outputBits(code);
    if (m_freeCode > m_maxCode || m_clearFlag) {
        if (m_clearFlag) {
            m_bitsPerCode = m_initialBitsPerCode;
            m_maxCode = (1 << m_bitsPerCode) - 1;
            m_clearFlag = false;
        } else {
            ++m_bitsPerCode;
            // At 12 bits the width stays: no code may exceed 4095.
            m_maxCode = m_bitsPerCode == 12 ? 4096 : (1 << m_bitsPerCode) - 1;
        }
    }
}

void TLZWEncoder::clear()
{
    m_clearFlag = true;
    output(m_clearCode);
    m_dictionary->Reset();
    m_freeCode = m_clearCode + 2;
}

void TLZWEncoder::Output(int code)
{
    output(code);
}

void TLZWEncoder::Clear()
{
    clear();
}

void TLZWEncoder::encode(const uint8_t* pixel, const uint8_t* end)
{
    // The hot loop keeps the coder's state in locals (byte stores may alias members)
    // and hands it back around the rare clear and failure.
    LzwDictionary& dictionary = *m_dictionary;
    uint32_t* const recent = dictionary.Recent();
    TGIFWriter& writer = *m_writer;
    int prefix = m_prefix;
    int freeCode = m_freeCode;
    int maxCode = m_maxCode;
    int bitsPerCode = m_bitsPerCode;
    uint64_t bitBuffer = m_bitBuffer;
    int bitCount = m_bitCount;
    // The last string known to be a run, and that run as length << 8 | pixel.
    int runPrefix = m_runPrefix;
    int run = m_run;
    const int maxColor = m_maxColor;
    auto store = [&] {
        m_prefix = prefix;
        m_freeCode = freeCode;
        m_maxCode = maxCode;
        m_bitsPerCode = bitsPerCode;
        m_bitBuffer = bitBuffer;
        m_bitCount = bitCount;
        m_runPrefix = runPrefix;
        m_run = run;
    };

    for (; pixel < end; ++pixel) {
        const uint8_t value = *pixel;
        // Only checked pixels ever enter the table, so a pixel that extends a string
        // has passed the check; the others are checked on the miss below.
        const uint32_t cached = recent[prefix];
        if ((cached >> 16) == value) {
            prefix = static_cast<int>(cached & 0xFFFF);
            continue;
        }
        const int code = dictionary.Find(LzwDictionary::Key(prefix, value));
        if (code != 0) {
            recent[prefix] = (uint32_t(value) << 16) | uint32_t(code);
            prefix = code;
            continue;
        }
        if (value >= maxColor) {
            store();
            checked(value);
        }
        bitBuffer |= uint64_t(prefix) << bitCount;
        bitCount += bitsPerCode;
        if (bitCount >= 32) {
            writer.PutWord(static_cast<uint32_t>(bitBuffer));
            bitBuffer >>= 32;
            bitCount -= 32;
        }
        if (freeCode > maxCode) {
            ++bitsPerCode;
            maxCode = bitsPerCode == 12 ? 4096 : (1 << bitsPerCode) - 1;
        }
        if (freeCode < 4095) {
            dictionary.Store(LzwDictionary::Key(prefix, value), freeCode);
            // The string is the longest run of this pixel, one pixel longer.
            if ((run & 0xFF) == value && prefix == runPrefix && (run >> 8) == dictionary.LongestRun(value))
                dictionary.ExtendRun(value, freeCode);
            ++freeCode;
        } else {
            store();
            clear();
            freeCode = m_freeCode;
            maxCode = m_maxCode;
            bitsPerCode = m_bitsPerCode;
            bitBuffer = m_bitBuffer;
            bitCount = m_bitCount;
        }
        prefix = runPrefix = value;
        run = (1 << 8) | value;

        // Right after a miss the string is one pixel. When a run of it lies ahead, the
        // longest run the table holds that the pixels allow is taken in one step: the
        // same code as walking it pixel by pixel, since runs are stored in order of
        // length.
        uint32_t four;
        if (end - pixel > 4 && (std::memcpy(&four, pixel + 1, 4), four == value * 0x01010101u)) {
            const int longest = dictionary.LongestRun(value);
            if (longest > 1) {
                const uint8_t* stop = pixel + std::min<int64_t>(longest, end - pixel);
                const uint8_t* ahead = pixel + 1;
                while (ahead < stop && *ahead == value)
                    ++ahead;
                const int length = static_cast<int>(ahead - pixel);
                prefix = runPrefix = dictionary.RunCode(value, length);
                run = (length << 8) | value;
                pixel = ahead - 1;
            }
        }
    }
    store();
}

void TLZWEncoder::DoCompress()
{
    DictionaryLease lease;
    m_dictionary = &lease.get();
    clear();
    bool first = true;
    forEachRun([&](const uint8_t* begin, const uint8_t* end) {
        if (first) {
            m_prefix = m_runPrefix = checked(*begin++);
            m_run = (1 << 8) | m_prefix;
            first = false;
        }
        encode(begin, end);
    });
    output(m_prefix);
    m_dictionary = nullptr;
}
