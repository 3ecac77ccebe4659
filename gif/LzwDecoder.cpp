#include "gif/LzwDecoder.h"

#include "framework/core/Stream.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

namespace {

constexpr int TableSize = 4096;
constexpr int StackSize = 8192;
// What a decoding step returns instead of a pixel.
constexpr int NoMoreData = -1;
constexpr int EndCodeMet = -2;

struct Tables {
    // The string table as the step-by-step decoder keeps it: a code's string is the
    // string of its prefix followed by its suffix.
    uint16_t prefix[TableSize];
    uint16_t suffix[TableSize];
    // Where a code's string was last written in the output, and its length: every
    // string is an earlier stretch of the output, so codes decode by copying it.
    uint32_t offset[TableSize];
    uint16_t length[TableSize];
    int32_t stack[StackSize];
};

// Copies 16 bytes through a register: the source may run into the destination, whose
// bytes beyond the string are garbage that later strings overwrite.
inline void copy16(uint8_t* to, const uint8_t* from)
{
    uint8_t block[16];
    std::memcpy(block, from, 16);
    std::memcpy(to, block, 16);
}

struct FastResult;

class LzwDecoder {
public:
    LzwDecoder(TGIFSubImage& frame, TStream& stream, int minCodeSize);

    // Decodes up to count pixels into out in arrival order; pixels not reached keep
    // their value.
    void fill(uint8_t* out, int64_t count, uint8_t fillValue);
    // The one step the reader takes after the pixels: it meets the end code of a
    // well-formed stream.
    void extraStep();
    // When codes are left over after the pixels, the rest of the data is skipped so
    // that the next block is read where it starts.
    void skipRest();

private:
    FastResult fillFast(uint8_t* out, int64_t count);
    int64_t fillSlow(uint8_t* out, int64_t pos, int64_t count);
    void enterSlowMode();
    void resetTable();
    int getCode(int width);
    int refill(int width);
    int decodePixel();
    int processCode(int code);
    int endData();
    void push(int value);
    void skipSubBlocks();
    int readByte();
    void warn(std::string_view message) { m_frame.Warn(1, std::string(message)); }

    TGIFSubImage& m_frame;
    TStream& m_stream;
    int64_t m_streamPos;
    int64_t m_streamSize;

    int m_minCodeSize;
    int m_codeSize;
    int m_clearCode;
    int m_endCode;
    int m_nextCode;
    int m_maxCodeSize;
    int m_firstCode = 0;
    int m_oldCode = 0;

    // Bytes 0 and 1 carry the last two bytes of the previous sub-block, 2 to 256 the
    // current one; the rest stay zero so that a whole word can always be fetched.
    alignas(8) uint8_t m_buffer[264] = {};
    int m_curBit = 0;
    int m_lastBit = 0;
    int m_lastByte = 2;
    bool m_fresh = true;
    bool m_done = false;
    // An end code was met and the data skipped through its terminator.
    bool m_ended = false;

    // Fast mode copies whole strings; slow mode hands out one byte per step from the
    // stack, exactly as the table dictates, and takes over for good when codes stop
    // making sense (a code beyond the next free one, a first code that is no pixel).
    bool m_slow = false;
    // Bytes of the last string that did not fit in the frame: what the slow mode would
    // still hold on its stack.
    int64_t m_pending = 0;
    int m_stackTop = 0;
    std::unique_ptr<Tables> m_tables;
};

LzwDecoder::LzwDecoder(TGIFSubImage& frame, TStream& stream, int minCodeSize)
    : m_frame(frame), m_stream(stream), m_streamPos(stream.Position()), m_streamSize(stream.Size()),
      m_minCodeSize(minCodeSize), m_tables(new Tables)
{
    // Beyond 24 bits no code can equal the clear code: it only has to stay out of reach.
    m_clearCode = 1 << std::min(minCodeSize, 25);
    m_endCode = m_clearCode + 1;
    m_codeSize = minCodeSize + 1;
    m_maxCodeSize = 2 * m_clearCode;
    m_nextCode = m_clearCode + 2;
    if (minCodeSize < 2 || minCodeSize > 8)
        enterSlowMode();
}

int LzwDecoder::readByte()
{
    uint8_t value;
    if (m_stream.Read(&value, 1) != 1)
        return -1;
    ++m_streamPos;
    return value;
}

void LzwDecoder::skipSubBlocks()
{
    for (int size = readByte(); size > 0; size = readByte()) {
        const int64_t n = std::min<int64_t>(size, std::max<int64_t>(0, m_streamSize - m_streamPos));
        m_stream.Seek(n, TSeekOrigin::soCurrent);
        m_streamPos += n;
    }
}

int LzwDecoder::refill(int width)
{
    for (;;) {
        if (m_done) {
            if (m_curBit >= m_lastBit)
                warn(GIFText::BitBufferUnderrun);
            return NoMoreData;
        }
        m_buffer[0] = m_buffer[m_lastByte - 2];
        m_buffer[1] = m_buffer[m_lastByte - 1];
        int n = readByte();
        if (n < 0)
            return NoMoreData;
        bool whole = true;
        if (n == 0) {
            m_done = true;
        } else {
            const int64_t remaining = m_streamSize - m_streamPos;
            if (remaining < n) {
                warn(GIFText::PrematureEnd);
                n = static_cast<int>(std::max<int64_t>(remaining, 0));
                whole = false;
            }
            if (n > 0) {
                ReadExact(m_stream, m_buffer + 2, static_cast<size_t>(n));
                m_streamPos += n;
            }
        }
        m_lastByte = 2 + n;
        m_curBit = m_curBit - m_lastBit + 16;
        m_lastBit = (2 + n) * 8;
        // A sub-block too short to finish the code (legal, if rare) is followed by the
        // next one instead of completing the code with stale bits. Once the data ends
        // the code is formed from whatever the buffer holds.
        if (n == 0 || !whole || width > 16 || m_curBit + width <= m_lastBit)
            return 0;
    }
}

int LzwDecoder::getCode(int width)
{
    if (m_fresh) {
        // Every frame starts with a table reset, whether its data sends one or not.
        m_fresh = false;
        return m_clearCode;
    }
    if (m_curBit + width >= m_lastBit && refill(width) < 0)
        return NoMoreData;
    const int j = m_curBit >> 3;
    if (j < 0 || j > 257)
        RaiseGIFError(GIFText::StartIndexTooLarge);
    const int i = (m_curBit + width) >> 3;
    uint32_t raw = m_buffer[j];
    if (i > j)
        raw |= uint32_t(m_buffer[j + 1]) << 8;
    if (i > j + 1)
        raw |= uint32_t(m_buffer[j + 2]) << 16;
    uint32_t code = raw >> (m_curBit & 7);
    if (width < 32)
        code &= (uint32_t(1) << width) - 1;
    m_curBit += width;
    return static_cast<int>(code);
}

int LzwDecoder::endData()
{
    if (!m_done)
        skipSubBlocks();
    m_ended = true;
    return EndCodeMet;
}

void LzwDecoder::resetTable()
{
    const int roots = std::min(m_clearCode, TableSize);
    for (int c = 0; c < roots; ++c) {
        m_tables->prefix[c] = 0;
        m_tables->suffix[c] = static_cast<uint16_t>(c);
    }
    std::fill(m_tables->prefix + roots, m_tables->prefix + TableSize, 0);
    std::fill(m_tables->suffix + roots, m_tables->suffix + TableSize, 0);
}

void LzwDecoder::enterSlowMode()
{
    // Fast mode keeps the entries it defines; everything else takes the values a
    // reset gives.
    const int roots = std::min(m_clearCode, TableSize);
    for (int c = 0; c < roots; ++c) {
        m_tables->prefix[c] = 0;
        m_tables->suffix[c] = static_cast<uint16_t>(c);
    }
    for (int c = roots; c < std::min(m_clearCode + 2, TableSize); ++c)
        m_tables->prefix[c] = m_tables->suffix[c] = 0;
    for (int c = std::max(m_nextCode, roots); c < TableSize; ++c)
        m_tables->prefix[c] = m_tables->suffix[c] = 0;
    m_stackTop = 0;
    m_slow = true;
}

void LzwDecoder::push(int value)
{
    // Only a table whose chains loop can need more than the stack holds.
    if (m_stackTop >= StackSize)
        RaiseGIFError(GIFText::CircularTable);
    m_tables->stack[m_stackTop++] = value;
}

int LzwDecoder::decodePixel()
{
    if (m_stackTop > 0)
        return m_tables->stack[--m_stackTop];
    if (m_ended)
        return EndCodeMet;
    return processCode(getCode(m_codeSize));
}

int LzwDecoder::processCode(int code)
{
    if (code < 0)
        return code;
    if (code == m_clearCode) {
        if (m_clearCode >= TableSize)
            RaiseGIFError(GIFText::ClearCodeTooLarge);
        resetTable();
        m_codeSize = m_minCodeSize + 1;
        m_maxCodeSize = 2 * m_clearCode;
        m_nextCode = m_clearCode + 2;
        m_stackTop = 0;
        do
            m_firstCode = m_oldCode = getCode(m_codeSize);
        while (m_firstCode == m_clearCode);
        // An end code right after a reset ends the data rather than becoming a pixel
        // outside every colour table.
        if (m_firstCode == m_endCode)
            return endData();
        return m_firstCode;
    }
    if (code == m_endCode)
        return endData();

    const int inCode = code;
    if (code >= m_nextCode) {
        push(m_firstCode);
        code = m_oldCode;
    }
    while (code >= m_clearCode) {
        if (code >= TableSize)
            RaiseGIFError(GIFText::CodeTooLarge);
        push(m_tables->suffix[code]);
        if (m_tables->prefix[code] == code)
            RaiseGIFError(GIFText::CircularTable);
        code = m_tables->prefix[code];
    }
    if (code < 0 || code >= TableSize)
        RaiseGIFError(GIFText::CodeTooLarge);
    m_firstCode = m_tables->suffix[code];
    push(m_firstCode);
    if (m_nextCode < TableSize) {
        m_tables->prefix[m_nextCode] = static_cast<uint16_t>(m_oldCode);
        m_tables->suffix[m_nextCode] = static_cast<uint16_t>(m_firstCode);
        ++m_nextCode;
        if (m_nextCode >= m_maxCodeSize && m_maxCodeSize < TableSize) {
            m_maxCodeSize *= 2;
            ++m_codeSize;
        }
    }
    m_oldCode = inCode;
    return m_tables->stack[--m_stackTop];
}

int64_t LzwDecoder::fillSlow(uint8_t* out, int64_t pos, int64_t count)
{
    while (pos < count) {
        const int value = decodePixel();
        if (value < 0)
            break;
        out[pos++] = static_cast<uint8_t>(value);
    }
    return pos;
}

// Where the fast loop stopped.
struct FastResult {
    enum Kind { Filled, DataEnded, SlowFromHere, SlowWithCode } kind = Filled;
    int64_t pos = 0;
    int code = 0;
};

FastResult LzwDecoder::fillFast(uint8_t* out, int64_t count)
{
    uint32_t* const offsets = m_tables->offset;
    uint16_t* const lengths = m_tables->length;
    uint16_t* const prefixes = m_tables->prefix;
    uint16_t* const suffixes = m_tables->suffix;
    const uint8_t* const buffer = m_buffer;
    const int clearCode = m_clearCode;
    const int endCode = m_endCode;

    // Kept in locals: every store into out may alias the members.
    int curBit = m_curBit;
    int lastBit = m_lastBit;
    int codeSize = m_codeSize;
    int maxCodeSize = m_maxCodeSize;
    int nextCode = m_nextCode;
    int oldCode = m_oldCode;
    int firstCode = m_firstCode;
    auto store = [&] {
        m_curBit = curBit;
        m_codeSize = codeSize;
        m_maxCodeSize = maxCodeSize;
        m_nextCode = nextCode;
        m_oldCode = oldCode;
        m_firstCode = firstCode;
    };
    auto fetch = [&](int width) {
        if (curBit + width < lastBit) {
            uint32_t raw;
            std::memcpy(&raw, buffer + (curBit >> 3), 4);
            const int code = static_cast<int>((raw >> (curBit & 7)) & ((1u << width) - 1));
            curBit += width;
            return code;
        }
        // The members are exact whenever a sub-block is read, so that a warning
        // handler that throws leaves the decoder where it stood.
        store();
        const int code = getCode(width);
        curBit = m_curBit;
        lastBit = m_lastBit;
        return code;
    };

    FastResult result;
    int64_t pos = 0;
    int64_t prevPos = 0;
    int prevLen = 0;
    while (pos < count) {
        int code = fetch(codeSize);
        const bool reset = code == clearCode;
        if (reset) {
            codeSize = m_minCodeSize + 1;
            maxCodeSize = 2 * clearCode;
            nextCode = clearCode + 2;
            do
                code = fetch(codeSize);
            while (code == clearCode);
            firstCode = oldCode = code;
        }
        if (code < 0 || code == endCode) {
            if (code == endCode)
                endData();
            result.kind = FastResult::DataEnded;
            break;
        }
        if (reset) {
            out[pos++] = static_cast<uint8_t>(code);
            if (code > endCode) {
                // A first code that is no pixel leaves the table in a state only the
                // step-by-step decoder reproduces.
                result.kind = FastResult::SlowFromHere;
                break;
            }
            prevPos = pos - 1;
            prevLen = 1;
            continue;
        }

        const int64_t room = count - pos;
        uint8_t* const to = out + pos;
        int len;
        uint8_t first;
        if (code < clearCode) {
            *to = static_cast<uint8_t>(code);
            len = 1;
            first = static_cast<uint8_t>(code);
        } else if (code < nextCode) {
            len = lengths[code];
            const uint8_t* from = out + offsets[code];
            first = *from;
            if (len <= 16 && room >= 16)
                copy16(to, from);
            else
                std::memcpy(to, from, static_cast<size_t>(std::min<int64_t>(len, room)));
        } else if (code == nextCode) {
            // The string not yet in the table: the previous one plus its own first byte.
            len = prevLen + 1;
            const uint8_t* from = out + prevPos;
            first = *from;
            if (len <= 16 && room >= 16) {
                copy16(to, from);
                to[prevLen] = first;
            } else {
                std::memcpy(to, from, static_cast<size_t>(std::min<int64_t>(prevLen, room)));
                if (prevLen < room)
                    to[prevLen] = first;
            }
        } else {
            result.kind = FastResult::SlowWithCode;
            result.code = code;
            break;
        }

        if (nextCode < TableSize) {
            offsets[nextCode] = static_cast<uint32_t>(prevPos);
            lengths[nextCode] = static_cast<uint16_t>(prevLen + 1);
            prefixes[nextCode] = static_cast<uint16_t>(oldCode);
            suffixes[nextCode] = first;
            ++nextCode;
            if (nextCode >= maxCodeSize && maxCodeSize < TableSize) {
                maxCodeSize *= 2;
                ++codeSize;
            }
        }
        oldCode = code;
        firstCode = first;
        prevPos = pos;
        prevLen = len;
        if (len > room) {
            m_pending = len - room;
            pos = count;
        } else {
            pos += len;
        }
    }
    store();
    result.pos = pos;
    return result;
}

void LzwDecoder::fill(uint8_t* out, int64_t count, uint8_t fillValue)
{
    if (count <= 0)
        return;
    int64_t pos = 0;
    if (!m_slow) {
        const FastResult result = fillFast(out, count);
        pos = result.pos;
        // Undo the bytes the last block copy wrote past the final string.
        std::memset(out + pos, fillValue, static_cast<size_t>(std::min<int64_t>(16, count - pos)));
        if (result.kind == FastResult::Filled || result.kind == FastResult::DataEnded)
            return;
        enterSlowMode();
        if (result.kind == FastResult::SlowWithCode) {
            const int value = processCode(result.code);
            if (value < 0)
                return;
            out[pos++] = static_cast<uint8_t>(value);
        }
    }
    fillSlow(out, pos, count);
}

void LzwDecoder::extraStep()
{
    if (m_ended)
        return;
    if (m_slow) {
        decodePixel();
        return;
    }
    if (m_pending > 0) {
        --m_pending;
        return;
    }
    const int code = getCode(m_codeSize);
    if (code < 0)
        return;
    if (code == m_endCode) {
        endData();
        return;
    }
    enterSlowMode();
    processCode(code);
}

void LzwDecoder::skipRest()
{
    if (!m_ended && !m_done)
        skipSubBlocks();
}

// Arrival row k of an interlaced frame lands on row rows[k]: 0, 8, 16, ...; 4, 12,
// ...; 2, 6, ...; 1, 3, ...
void deinterlace(const uint8_t* arrived, uint8_t* data, int width, int height)
{
    int row = 0;
    int pass = 0;
    int step = 8;
    for (int k = 0; k < height; ++k) {
        std::memcpy(data + int64_t(row) * width, arrived + int64_t(k) * width, static_cast<size_t>(width));
        row += step;
        while (row >= height && step > 0) {
            if (pass > 0)
                step /= 2;
            ++pass;
            row = step / 2;
        }
    }
}

} // namespace

void ReadImageData(TGIFSubImage& frame, TStream& stream)
{
    uint8_t fillValue = 0;
    if (frame.Transparent())
        if (const TGIFGraphicControlExtension* control = frame.GraphicControlExtension())
            fillValue = control->TransparentColorIndex();
    frame.AllocateData(fillValue);

    const int minCodeSize = ReadByte(stream);
    if (minCodeSize < 0)
        return;
    LzwDecoder decoder(frame, stream, minCodeSize);

    const int64_t count = frame.DataSize();
    uint8_t* out = frame.Data();
    std::unique_ptr<uint8_t[]> arrived;
    if (frame.Interlaced() && count > 0) {
        arrived.reset(new (std::nothrow) uint8_t[static_cast<size_t>(count)]);
        if (!arrived)
            throw EOutOfMemory();
        std::memset(arrived.get(), fillValue, static_cast<size_t>(count));
        out = arrived.get();
    }

    std::exception_ptr failure;
    try {
        decoder.fill(out, count, fillValue);
    } catch (...) {
        // The pixels decoded so far stay, and the reader's last step still runs.
        failure = std::current_exception();
    }
    if (arrived)
        deinterlace(arrived.get(), frame.Data(), frame.Width(), frame.Height());
    decoder.extraStep();
    if (failure)
        std::rethrow_exception(failure);
    decoder.skipRest();
}
