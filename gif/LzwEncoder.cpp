#include "gif/LzwEncoder.h"

#include "framework/core/Exception.h"
#include "gif/GIFWriter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t DictionaryEntries = size_t(4096) << 8;

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

void LzwDictionary::FreeDeleter::operator()(uint16_t* p) const
{
    std::free(p);
}

LzwDictionary::LzwDictionary()
    : m_next(static_cast<uint16_t*>(std::calloc(DictionaryEntries, sizeof(uint16_t)))),
      m_stored(std::make_unique<uint32_t[]>(4096)), m_recent(std::make_unique<uint32_t[]>(4096))
{
    if (!m_next)
        throw EOutOfMemory();
    std::memset(m_recent.get(), 0xFF, 4096 * sizeof(uint32_t));
}

void LzwDictionary::Reset()
{
    for (int i = 0; i < m_count; ++i)
        m_next[m_stored[i]] = 0;
    m_count = 0;
    std::memset(m_recent.get(), 0xFF, 4096 * sizeof(uint32_t));
    for (auto& run : m_runs)
        run.clear();
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
    const uint16_t* const next = dictionary.Entries();
    uint32_t* const recent = dictionary.Recent();
    TGIFWriter& writer = *m_writer;
    const int maxColor = m_maxColor;
    int prefix, freeCode, maxCode, bitsPerCode, bitCount, runValue, runLength;
    uint64_t bitBuffer;
    bool inRun;
    auto load = [&] {
        prefix = m_prefix;
        freeCode = m_freeCode;
        maxCode = m_maxCode;
        bitsPerCode = m_bitsPerCode;
        bitBuffer = m_bitBuffer;
        bitCount = m_bitCount;
        inRun = m_inRun;
        runValue = m_runValue;
        runLength = m_runLength;
    };
    auto store = [&] {
        m_prefix = prefix;
        m_freeCode = freeCode;
        m_maxCode = maxCode;
        m_bitsPerCode = bitsPerCode;
        m_bitBuffer = bitBuffer;
        m_bitCount = bitCount;
        m_inRun = inRun;
        m_runValue = runValue;
        m_runLength = runLength;
    };

    load();
    for (; pixel < end; ++pixel) {
        const uint8_t value = *pixel;
        // Only checked pixels ever enter the table, so a pixel that extends a string
        // has passed the check; the others are checked on the miss below.
        const bool extendsRun = inRun && value == runValue;
        uint32_t four;
        if (extendsRun && end - pixel >= 4 && (std::memcpy(&four, pixel, 4), four == value * 0x01010101u)) {
            // A long run ahead: the longest run the table holds that the pixels allow,
            // in one step, the same code as walking it pixel by pixel.
            const int longest = dictionary.LongestRun(value);
            if (runLength < longest) {
                const uint8_t* stop = pixel + std::min<int64_t>(longest - runLength, end - pixel);
                const uint8_t* ahead = pixel + 1;
                while (ahead < stop && *ahead == value)
                    ++ahead;
                runLength += static_cast<int>(ahead - pixel);
                prefix = dictionary.RunCode(value, runLength);
                pixel = ahead - 1;
                continue;
            }
        }
        const uint32_t cached = recent[prefix];
        if ((cached >> 16) == value) {
            prefix = static_cast<int>(cached & 0xFFFF);
            inRun = extendsRun;
            runLength += extendsRun;
            continue;
        }
        const int code = next[LzwDictionary::Key(prefix, value)];
        if (code != 0) {
            recent[prefix] = (uint32_t(value) << 16) | uint32_t(code);
            prefix = code;
            inRun = extendsRun;
            runLength += extendsRun;
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
            if (extendsRun)
                dictionary.ExtendRun(value, freeCode);
            ++freeCode;
        } else {
            store();
            clear();
            load();
        }
        prefix = value;
        inRun = true;
        runValue = value;
        runLength = 1;
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
            m_prefix = checked(*begin++);
            m_inRun = true;
            m_runValue = m_prefix;
            m_runLength = 1;
            first = false;
        }
        encode(begin, end);
    });
    output(m_prefix);
    m_dictionary = nullptr;
}
