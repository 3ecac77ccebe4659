#include "gif/LzwEncoder.h"

#include "framework/core/Exception.h"
#include "framework/core/System.h"
#include "gif/GIFWriter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// A clean table for one DoCompress, handed back clean for the next one on the thread.
thread_local std::unique_ptr<LzwDictionary> spareDictionary;

class DictionaryLease {
public:
    // The codes stored are [firstCode, endCode) when the lease ends, failure or not.
    DictionaryLease(const int& firstCode, const int& endCode)
        : m_dictionary(spareDictionary ? std::move(spareDictionary) : std::make_unique<LzwDictionary>()),
          m_firstCode(firstCode), m_endCode(endCode)
    {}
    ~DictionaryLease()
    {
        m_dictionary->Reset(m_firstCode, m_endCode);
        spareDictionary = std::move(m_dictionary);
    }
    DictionaryLease(const DictionaryLease&) = delete;
    DictionaryLease& operator=(const DictionaryLease&) = delete;
    LzwDictionary& get() { return *m_dictionary; }

private:
    std::unique_ptr<LzwDictionary> m_dictionary;
    const int& m_firstCode;
    const int& m_endCode;
};

} // namespace

void LzwDictionary::TableDeleter::operator()(uint16_t* table) const
{
    FreeLookupTable(table, Keys * sizeof(uint16_t));
}

LzwDictionary::LzwDictionary()
    : m_child(static_cast<uint16_t*>(AllocateLookupTable(Keys * sizeof(uint16_t)))),
      m_keys(std::make_unique<uint32_t[]>(4096))
{
    if (!m_child)
        throw std::bad_alloc();
    for (int pixel = 0; pixel < 256; ++pixel)
        m_longestRun[size_t(pixel)] = static_cast<uint16_t>(pixel);
}

void LzwDictionary::Reset(int firstCode, int endCode)
{
    // Only what was stored is undone: a frame of a few pixels resets in a few steps.
    for (int code = firstCode; code < endCode; ++code)
        m_child[m_keys[code]] = 0;
    for (uint8_t pixel : m_runPixels) {
        m_runs[pixel].clear();
        m_longestRun[pixel] = pixel;
    }
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
    m_dictionary->Reset(m_baseCode, m_freeCode);
    m_freeCode = m_baseCode;
}

void TLZWEncoder::Output(int code)
{
    output(code);
}

void TLZWEncoder::Clear()
{
    clear();
}

namespace {
// From about this many pixels on, a frame's strings span more of the table than the
// cache holds (measured on this project's sample images).
constexpr int64_t LargeFrame = 65536;

// At 12 bits the width stays: no code may exceed 4095.
int maxCodeAt(int bitsPerCode)
{
    return bitsPerCode == 12 ? 4096 : (1 << bitsPerCode) - 1;
}
} // namespace

template <bool CheckColours, bool Large>
void TLZWEncoder::encodeFrame()
{
    // The whole frame is coded with the coder's state in locals (byte stores may alias
    // members), handed back once at the end. The steps a photograph takes on every
    // string (a lookup, a code out, an entry stored) keep to few live values, so that
    // they stay in registers; widening, a full table and long runs are out of the way.
    LzwDictionary& dictionary = *m_dictionary;
    const uint16_t* const child = dictionary.Children();
    const uint16_t* const longestRun = dictionary.LongestRuns();
    TGIFWriter& writer = *m_writer;
    const int maxColor = m_maxColor;
    int freeCode = m_freeCode;
    int bitsPerCode = m_bitsPerCode;
    // The next free code at which the width grows or the table is full.
    auto eventAt = [&] { return bitsPerCode < 12 ? maxCodeAt(bitsPerCode) + 1 : 4095; };
    int nextEvent = eventAt();
    uint64_t bitBuffer = m_bitBuffer;
    int bitCount = m_bitCount;
    uint32_t words[PackedWords];
    uint32_t* out = words;
    // In a large frame, whether a code completes a word follows no pattern a branch could
    // learn amid the string ends, so the word is stored every time and kept only when
    // complete. A small frame, sent again and again from the cache, is faster with the
    // branch, whose test is off the chain from one code to the next.
    auto put = [&](int code) {
        bitBuffer |= uint64_t(code) << bitCount;
        bitCount += bitsPerCode;
        if constexpr (Large) {
            *out = static_cast<uint32_t>(bitBuffer);
            const int complete = bitCount >> 5;
            out += complete;
            bitBuffer >>= complete * 32;
            bitCount &= 31;
        } else if (bitCount >= 32) {
            *out++ = static_cast<uint32_t>(bitBuffer);
            bitBuffer >>= 32;
            bitCount -= 32;
        }
        if (out == words + PackedWords) [[unlikely]] {
            putWords(writer, words, PackedWords);
            out = words;
        }
    };
    // At an event: the width grows, or the table is full and starts again after a clear
    // code at the width in force. False when the string was not stored.
    auto event = [&]() -> bool {
        if (freeCode > maxCodeAt(bitsPerCode))
            ++bitsPerCode;
        const bool full = freeCode >= 4095;
        if (full) {
            put(m_clearCode);
            dictionary.Reset(m_baseCode, freeCode);
            freeCode = m_baseCode;
            bitsPerCode = m_initialBitsPerCode;
        }
        nextEvent = eventAt();
        return !full;
    };

    SendingOrder order = sendingOrder();
    const uint8_t* pixel = nullptr;
    const uint8_t* end = nullptr;
    order.Next(pixel, end);
    // The table's code for a string plus a pixel, 0 for none.
    auto lookup = [child](int prefix, uint8_t value) -> int { return child[LzwDictionary::Key(prefix, value)]; };
    int prefix = checked(*pixel++);
    // The table's code for prefix plus the pixel at pixel, while pixel is before end. A
    // large frame looks it up ahead, a small one when it comes to it.
    int code = Large && pixel != end ? lookup(prefix, *pixel) : 0;
    for (;;) {
        if (pixel == end) {
            if (!order.Next(pixel, end))
                break;
            if constexpr (Large)
                code = lookup(prefix, *pixel);
            continue;
        }
        if constexpr (!Large)
            code = lookup(prefix, *pixel);
        // The string grows while the table holds it: the common step, kept to one load.
        if (code != 0) {
            prefix = code;
            ++pixel;
            if (Large && pixel != end)
                code = lookup(prefix, *pixel);
            continue;
        }
        const uint8_t value = *pixel;
        // The next string starts as this pixel alone, so its first lookup is known now.
        // In a large frame it goes first: a processor that guessed the miss wrong then
        // finds it under way instead of behind the rest of the miss. A small frame's
        // lookups mostly hit the cache, and there it only costs.
        int next = Large && pixel + 1 < end ? lookup(value, pixel[1]) : 0;
        // Only checked pixels ever enter the table, so a pixel that extends a string
        // has passed the check; with 256 colours every pixel passes.
        if (CheckColours && value >= maxColor) [[unlikely]] {
            m_freeCode = freeCode;
            putWords(writer, words, static_cast<int>(out - words));
            checked(value);
        }
        put(prefix);
        if (freeCode < nextEvent || event()) {
            dictionary.Store(LzwDictionary::Key(prefix, value), freeCode);
            // The string just stored, when it comes again, is most likely followed by a
            // pixel like the one that follows it here; and when the next string ends as
            // one pixel, the one after starts with the lookup of the next two pixels.
            // Their rows are fetched ahead, so that those lookups find them in the cache.
            // A small frame's rows are mostly in the cache already, and fetching them
            // costs more than it saves.
            if (Large && pixel + 2 < end) {
                __builtin_prefetch(child + LzwDictionary::Key(freeCode, pixel[1]));
                __builtin_prefetch(child + LzwDictionary::Key(pixel[1], pixel[2]));
            }
            // The lookup ahead was of the string just stored: the pixel three times over.
            if (Large && prefix == value && pixel + 1 < end && pixel[1] == value) [[unlikely]]
                next = freeCode;
            if (longestRun[value] == prefix) [[unlikely]]
                dictionary.ExtendRun(value, freeCode);
            ++freeCode;
        } else {
            next = 0; // the table was emptied
        }
        prefix = value;

        // Right after a miss the string is one pixel. When a run of it lies ahead, the
        // longest run the table holds that the pixels allow is taken in one step: the
        // same code as walking it pixel by pixel, since runs are stored in order of
        // length.
        uint32_t four;
        if (end - pixel > 4 && (std::memcpy(&four, pixel + 1, 4), four == value * 0x01010101u)) [[unlikely]] {
            const int longest = dictionary.LongestRun(value);
            if (longest > 1) {
                const uint8_t* stop = pixel + std::min<int64_t>(longest, end - pixel);
                const uint8_t* ahead = sameAhead(pixel + 1, stop, value);
                const int length = static_cast<int>(ahead - pixel);
                prefix = dictionary.RunCode(value, length);
                pixel = ahead - 1;
                if constexpr (Large)
                    next = ahead != end ? lookup(prefix, *ahead) : 0;
            }
        }
        ++pixel;
        code = next;
    }
    putWords(writer, words, static_cast<int>(out - words));
    m_prefix = prefix;
    m_freeCode = freeCode;
    m_maxCode = maxCodeAt(bitsPerCode);
    m_bitsPerCode = bitsPerCode;
    m_bitBuffer = bitBuffer;
    m_bitCount = bitCount;
}

void TLZWEncoder::DoCompress()
{
    m_freeCode = m_baseCode;
    DictionaryLease lease(m_baseCode, m_freeCode);
    m_dictionary = &lease.get();
    clear();
    // The frame's loop hands its words to the writer directly, after those gathered here.
    flushWords();
    const bool large = int64_t(m_width) * m_height >= LargeFrame;
    if (m_maxColor < 256)
        large ? encodeFrame<true, true>() : encodeFrame<true, false>();
    else
        large ? encodeFrame<false, true>() : encodeFrame<false, false>();
    output(m_prefix);
    m_dictionary = nullptr;
}
