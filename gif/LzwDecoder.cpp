#include "gif/LzwDecoder.h"

#include "framework/core/Stream.h"
#include "gif/StreamHelpers.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace {

// Codes are at most 12 bits wide, so a table holds 4096 entries.
constexpr int MaxCodeWidth = 12;
constexpr int TableSize = 1 << MaxCodeWidth;
// The exact path's stack: a sound string is shorter than the table, so only a table
// whose chains loop fills it.
constexpr int StackSize = 2 * TableSize;
// Beyond 24 bits no code can equal the clear code: it only has to stay out of reach.
constexpr int MaxClearCodeBits = 25;
// The fast path serves the code sizes the format allows; others go the exact way.
constexpr int MinFastCodeSize = 2;
constexpr int MaxFastCodeSize = 8;
// A string is stored as its last one to eight bytes in one word, and a link to the
// entry holding the bytes before them: a whole multiple of eight.
constexpr int ChunkBytes = 8;
constexpr int Overrun = ChunkBytes - 1;
// A sub-block too short for this many bits is followed by the next one, not padded.
constexpr int MaxSplitCodeWidth = 16;
// getCode reads at most three bytes from this start.
constexpr int MaxStartIndex = 257;

static_assert(std::endian::native == std::endian::little, "strings are stored as little-endian words");

struct LzwFailure {
    LzwStop stop;
};

// A Copy state entry: where the string stands (a user-space address fits in 48 bits)
// and its length, one word so that a code costs one load.
constexpr int PlacedShift = 48;
static_assert(sizeof(void*) == 8, "entries hold an address");
inline uint64_t placedEntry(const uint8_t* at, int length)
{
    return uint64_t(reinterpret_cast<uintptr_t>(at)) | uint64_t(uint32_t(length)) << PlacedShift;
}
inline const uint8_t* placedAt(uint64_t entry)
{
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(entry & ((uint64_t(1) << PlacedShift) - 1)));
}
constexpr int placedLength(uint64_t entry)
{
    return static_cast<int>(entry >> PlacedShift);
}

// The roots' strings for the Copy state, with room for a whole block read past the last.
struct RootStrings {
    uint8_t bytes[256 + 16] = {};
    constexpr RootStrings()
    {
        for (int i = 0; i < 256; ++i)
            bytes[i] = static_cast<uint8_t>(i);
    }
};
constexpr RootStrings Roots;

} // namespace

// One layout for both paths: the exact one walks prefix and suffix, the fast one
// writes tail words along skip links, knowing the length up front. The fast path
// leaves suffix alone: the exact one takes it from the tail words when it takes over.
struct LzwTable {
    // The Copy state's entries (the code each extends goes to prefix). A full table
    // writes its spare last entry instead of testing for room.
    uint64_t placed[TableSize + 1];
    // How many leading entries of placed hold the roots: a frame of a smaller code size
    // overwrites those above its own.
    int placedRoots = 0;
    uint64_t tail[TableSize];
    uint16_t length[TableSize];
    uint16_t skip[TableSize];
    uint16_t prefix[TableSize + 1];
    uint16_t suffix[TableSize];
    int32_t stack[StackSize];
    // A string that does not fit goes here first, with room for the overrun.
    uint8_t scratch[TableSize + ChunkBytes];
    // prefix and suffix hold zero from here to TableSize: a reset clears only below it.
    int zeroFrom = TableSize;
    void written(int upTo) { zeroFrom = std::max(zeroFrom, std::min(upTo, TableSize)); }
};

namespace {

// One table per thread, handed to one decoder at a time: the frames of a load, and of
// every later load, reuse it. A decoder started while another runs on the same thread
// (a warning handler that loads an image) gets one of its own.
thread_local std::unique_ptr<LzwTable> SpareTable;

LzwTable& takeTable()
{
    if (!SpareTable)
        return *new LzwTable;
    return *SpareTable.release();
}

} // namespace

LzwDecoder::LzwDecoder(TStream& stream, int minCodeSize, WarningSink sink)
    : m_stream(stream), m_sink(std::move(sink)), m_streamPos(stream.Position()), m_streamSize(stream.Size()),
      m_table(takeTable()), m_state(State::Fast), m_minCodeSize(minCodeSize)
{
    m_clearCode = 1 << std::min(minCodeSize, MaxClearCodeBits);
    m_endCode = m_clearCode + 1;
    m_codeSize = minCodeSize + 1;
    m_codeLimit = 2 * m_clearCode;
    m_nextCode = m_clearCode + 2;
    if (minCodeSize < MinFastCodeSize || minCodeSize > MaxFastCodeSize) {
        prepareExact();
        m_state = State::Exact;
    }
    // The roots' entries are never read: a root's string is its code, and the exact path
    // sets their prefix and suffix when it takes over.
}

LzwDecoder::~LzwDecoder()
{
    m_table.written(m_nextCode + 1);
    std::unique_ptr<LzwTable> table(&m_table);
    if (!SpareTable)
        SpareTable = std::move(table);
}

int LzwDecoder::readByte()
{
    const int value = m_stream.ReadByte();
    if (value >= 0)
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

bool LzwDecoder::refill(int width)
{
    for (;;) {
        if (m_terminated) {
            if (m_curBit >= m_lastBit)
                m_sink(LzwWarning::BitBufferUnderrun);
            return false;
        }
        m_buffer[0] = m_buffer[m_lastByte - 2];
        m_buffer[1] = m_buffer[m_lastByte - 1];
        int n = readByte();
        if (n < 0)
            return false;
        bool whole = true;
        if (n == 0) {
            m_terminated = true;
        } else {
            const int64_t remaining = m_streamSize - m_streamPos;
            if (remaining < n) {
                m_sink(LzwWarning::PrematureEnd);
                n = static_cast<int>(std::max<int64_t>(remaining, 0));
                whole = false;
            }
            if (n > 0) {
                ReadExact(m_stream, m_buffer + BufferCarry, static_cast<size_t>(n));
                m_streamPos += n;
            }
        }
        m_lastByte = BufferCarry + n;
        m_curBit = m_curBit - m_lastBit + 8 * BufferCarry;
        m_lastBit = (BufferCarry + n) * 8;
        // A sub-block too short to finish the code (legal, if rare) is followed by the
        // next one instead of completing the code with stale bits. Once the data ends
        // the code is formed from whatever the buffer holds, as old encoders' files
        // that stop a few bits short still show their last pixels.
        if (n == 0 || !whole || width > MaxSplitCodeWidth || m_curBit + width <= m_lastBit)
            return true;
    }
}

std::optional<uint32_t> LzwDecoder::readCode(int width)
{
    if (m_clearImplied) {
        // Encoders that omit the leading clear code are common; the table starts reset.
        m_clearImplied = false;
        return static_cast<uint32_t>(m_clearCode);
    }
    if (m_curBit + width >= m_lastBit && !refill(width))
        return std::nullopt;
    const int j = m_curBit >> 3;
    if (j < 0 || j > MaxStartIndex)
        throw LzwFailure{LzwStop::StartIndexTooLarge};
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
    return code;
}

void LzwDecoder::endData()
{
    if (!m_terminated)
        skipSubBlocks();
    m_state = State::Ended;
}

void LzwDecoder::skipRest()
{
    if (m_state != State::Ended && !m_terminated)
        skipSubBlocks();
}

// The exact path: the table as prefix and suffix, decoded one index per step.

void LzwDecoder::prepareExact()
{
    // The fast paths write entries up to the next code (and, before a clear, mark how far
    // they came); they leave it to here and to the end of the decoder to say so.
    m_table.written(m_nextCode + 1);
    // What the fast path defined stays; everything else takes the values a reset gives.
    const int roots = std::min(m_clearCode, TableSize);
    for (int c = 0; c < roots; ++c) {
        m_table.prefix[c] = 0;
        m_table.suffix[c] = static_cast<uint16_t>(c);
    }
    for (int c = roots; c < std::min(m_clearCode + 2, TableSize); ++c)
        m_table.prefix[c] = m_table.suffix[c] = 0;
    for (int c = roots + 2; c < std::min(m_nextCode, TableSize); ++c) {
        if (m_state == State::Copy) {
            // The prefix was stored as the entry was made.
            const uint64_t entry = m_table.placed[c];
            m_table.suffix[c] = placedAt(entry)[placedLength(entry) - 1];
        } else {
            const int last = (m_table.length[c] - 1) & (ChunkBytes - 1);
            m_table.suffix[c] = static_cast<uint8_t>(m_table.tail[c] >> (8 * last));
        }
    }
    const int defined = std::min(std::max(m_nextCode, roots), TableSize);
    for (int c = defined; c < m_table.zeroFrom; ++c)
        m_table.prefix[c] = m_table.suffix[c] = 0;
    m_table.zeroFrom = defined;
}

void LzwDecoder::leaveCopy()
{
    prepareExact();
    m_state = State::Exact;
}

void LzwDecoder::resetTable()
{
    const int roots = std::min(m_clearCode, TableSize);
    for (int c = 0; c < roots; ++c) {
        m_table.prefix[c] = 0;
        m_table.suffix[c] = static_cast<uint16_t>(c);
    }
    // Also what a fast path wrote before a clear that ends it (met by the last step).
    m_table.written(std::max(roots, m_nextCode + 1));
    m_zeroPending = true;
}

void LzwDecoder::zeroAboveRoots()
{
    const int roots = std::min(m_clearCode, TableSize);
    if (roots < m_table.zeroFrom) {
        std::fill(m_table.prefix + roots, m_table.prefix + m_table.zeroFrom, 0);
        std::fill(m_table.suffix + roots, m_table.suffix + m_table.zeroFrom, 0);
        m_table.zeroFrom = roots;
    }
    m_zeroPending = false;
}

void LzwDecoder::push(int value)
{
    if (m_stackTop >= StackSize)
        throw LzwFailure{LzwStop::CircularTable};
    m_table.stack[m_stackTop++] = value;
}

std::optional<int> LzwDecoder::decodeStep()
{
    if (m_stackTop > 0)
        return m_table.stack[--m_stackTop];
    if (m_state == State::Ended)
        return std::nullopt;
    return processCode(readCode(m_codeSize));
}

std::optional<int> LzwDecoder::processCode(std::optional<uint32_t> next)
{
    if (!next)
        return std::nullopt;
    int code = static_cast<int>(*next);
    if (code == m_clearCode) {
        if (m_clearCode >= TableSize)
            throw LzwFailure{LzwStop::ClearCodeTooLarge};
        resetTable();
        m_codeSize = m_minCodeSize + 1;
        m_codeLimit = 2 * m_clearCode;
        m_nextCode = m_clearCode + 2;
        m_stackTop = 0;
        std::optional<uint32_t> first;
        do
            first = readCode(m_codeSize);
        while (first && static_cast<int>(*first) == m_clearCode);
        if (!first)
            return std::nullopt;
        m_firstByte = m_oldCode = static_cast<int>(*first);
        // An end code right after a reset ends the data rather than becoming a pixel
        // outside every colour table.
        if (m_firstByte == m_endCode) {
            endData();
            return std::nullopt;
        }
        return m_firstByte;
    }
    if (code == m_endCode) {
        endData();
        return std::nullopt;
    }

    if (m_zeroPending)
        zeroAboveRoots();
    const int inCode = code;
    // A code beyond the next free one (written by encoders that miscount their table)
    // is read as that one: the previous string plus its first byte.
    if (code >= m_nextCode) {
        push(m_firstByte);
        code = m_oldCode;
    }
    while (code >= m_clearCode) {
        if (code >= TableSize)
            throw LzwFailure{LzwStop::CodeTooLarge};
        push(m_table.suffix[code]);
        if (m_table.prefix[code] == code)
            throw LzwFailure{LzwStop::CircularTable};
        code = m_table.prefix[code];
    }
    if (code < 0 || code >= TableSize)
        throw LzwFailure{LzwStop::CodeTooLarge};
    m_firstByte = m_table.suffix[code];
    push(m_firstByte);
    if (m_nextCode < TableSize) {
        m_table.prefix[m_nextCode] = static_cast<uint16_t>(m_oldCode);
        m_table.suffix[m_nextCode] = static_cast<uint16_t>(m_firstByte);
        m_table.written(m_nextCode + 1);
        ++m_nextCode;
        if (m_nextCode >= m_codeLimit && m_codeLimit < TableSize) {
            m_codeLimit *= 2;
            ++m_codeSize;
        }
    }
    m_oldCode = inCode;
    return m_table.stack[--m_stackTop];
}

LzwStop LzwDecoder::decodeExact(uint8_t* out, int64_t& pos, int64_t count)
{
    while (pos < count) {
        const std::optional<int> value = decodeStep();
        if (!value)
            return m_state == State::Ended ? LzwStop::EndCode : LzwStop::DataEnded;
        out[pos++] = static_cast<uint8_t>(*value);
    }
    return LzwStop::Filled;
}

// The fast path.

inline void LzwDecoder::writeString(uint8_t* to, uint64_t last, int skip, int length) const
{
    uint8_t* at = to + length - (((length - 1) & (ChunkBytes - 1)) + 1);
    std::memcpy(at, &last, ChunkBytes);
    while (at > to) {
        at -= ChunkBytes;
        std::memcpy(at, &m_table.tail[skip], ChunkBytes);
        skip = m_table.skip[skip];
    }
}

std::optional<LzwStop> LzwDecoder::decodeFast(uint8_t* out, int64_t& pos, int64_t count)
{
    LzwTable& t = m_table;
    const uint8_t* const buffer = m_buffer;
    const int clearCode = m_clearCode;
    const int endCode = m_endCode;

    // Kept in locals: every store into out may alias the members.
    int64_t p = pos;
    int curBit = m_curBit;
    int lastBit = m_lastBit;
    int codeSize = m_codeSize;
    int codeLimit = m_codeLimit;
    int nextCode = m_nextCode;
    int oldCode = m_oldCode;
    int firstByte = m_firstByte;
    auto store = [&] {
        pos = p;
        m_curBit = curBit;
        m_codeSize = codeSize;
        m_codeLimit = codeLimit;
        m_nextCode = nextCode;
        m_oldCode = oldCode;
        m_firstByte = firstByte;
    };
    auto fetch = [&](int width, int& code) {
        if (curBit + width < lastBit) [[likely]] {
            uint32_t raw;
            std::memcpy(&raw, buffer + (curBit >> 3), 4);
            code = static_cast<int>((raw >> (curBit & 7)) & ((1u << width) - 1));
            curBit += width;
            return true;
        }
        // The members are exact whenever a sub-block is read, so that a warning
        // handler that throws leaves the decoder where it stood.
        store();
        const std::optional<uint32_t> next = readCode(width);
        curBit = m_curBit;
        lastBit = m_lastBit;
        code = next ? static_cast<int>(*next) : 0;
        return next.has_value();
    };
    auto toExact = [&] {
        store();
        prepareExact();
        m_state = State::Exact;
    };

    // The previous string, kept in registers: every code defines an entry from it.
    const bool rootBefore = oldCode < clearCode;
    int prevLength = rootBefore ? 1 : t.length[oldCode];
    uint64_t prevTail = rootBefore ? static_cast<uint64_t>(oldCode) : t.tail[oldCode];
    int prevSkip = rootBefore ? 0 : t.skip[oldCode];
    while (p < count) {
        int code;
        if (!fetch(codeSize, code)) [[unlikely]] {
            store();
            return LzwStop::DataEnded;
        }
        int length;
        uint64_t tail;
        int skip;
        const bool notYetDefined = code == nextCode;
        if (code < clearCode) {
            length = 1;
            tail = static_cast<uint64_t>(code);
            skip = 0;
        } else if (code > endCode && code < nextCode) {
            length = t.length[code];
            tail = t.tail[code];
            skip = t.skip[code];
        } else if (notYetDefined) {
            // The string not yet in the table: the previous one plus its own first
            // byte, defined below before it is written.
            length = 0;
            tail = 0;
            skip = 0;
        } else if (code == clearCode) {
            t.written(nextCode + 1);
            codeSize = m_minCodeSize + 1;
            codeLimit = 2 * clearCode;
            nextCode = clearCode + 2;
            do {
                if (!fetch(codeSize, code)) {
                    store();
                    return LzwStop::DataEnded;
                }
            } while (code == clearCode);
            oldCode = firstByte = code;
            if (code == endCode) {
                store();
                endData();
                return LzwStop::EndCode;
            }
            out[p++] = static_cast<uint8_t>(code);
            // A first code that is no index leaves the table in a state only the
            // exact path reproduces (seen in fuzzed and hand-damaged files).
            if (code > endCode) {
                toExact();
                return std::nullopt;
            }
            prevLength = 1;
            prevTail = static_cast<uint64_t>(code);
            prevSkip = 0;
            continue;
        } else if (code == endCode) {
            store();
            endData();
            return LzwStop::EndCode;
        } else {
            toExact();
            if (const std::optional<int> value = processCode(static_cast<uint32_t>(code)))
                out[pos++] = static_cast<uint8_t>(*value);
            return std::nullopt;
        }

        const int64_t room = count - p;
        uint8_t* const to = out + p;
        // Writes the string and gives its first byte.
        auto emit = [&]() -> int {
            if (length + Overrun <= room) [[likely]] {
                writeString(to, tail, skip, length);
                return *to;
            }
            // Near the end of the buffer: whole in the scratch, then what fits; the
            // rest waits on the stack for the next call, last byte deepest.
            writeString(t.scratch, tail, skip, length);
            const int fits = static_cast<int>(std::min<int64_t>(length, room));
            std::memcpy(to, t.scratch, static_cast<size_t>(fits));
            for (int i = length - 1; i >= fits; --i)
                m_table.stack[m_stackTop++] = t.scratch[i];
            return t.scratch[0];
        };
        const int first = notYetDefined ? firstByte : emit();

        if (nextCode < TableSize) {
            const int used = ((prevLength - 1) & (ChunkBytes - 1)) + 1;
            uint64_t newTail;
            int newSkip;
            if (used == ChunkBytes) {
                newTail = static_cast<uint8_t>(first);
                newSkip = oldCode;
            } else {
                newTail = prevTail | (uint64_t(static_cast<uint8_t>(first)) << (8 * used));
                newSkip = prevSkip;
            }
            t.tail[nextCode] = newTail;
            t.skip[nextCode] = static_cast<uint16_t>(newSkip);
            t.length[nextCode] = static_cast<uint16_t>(prevLength + 1);
            t.prefix[nextCode] = static_cast<uint16_t>(oldCode);
            if (notYetDefined) {
                length = prevLength + 1;
                tail = newTail;
                skip = newSkip;
            }
            ++nextCode;
            if (nextCode >= codeLimit && codeLimit < TableSize) {
                codeLimit *= 2;
                ++codeSize;
            }
        }
        if (notYetDefined)
            emit();
        oldCode = code;
        firstByte = first;
        prevLength = length;
        prevTail = tail;
        prevSkip = skip;
        p += std::min<int64_t>(length, room);
    }
    store();
    return LzwStop::Filled;
}

// The Copy state: every string already stands in the output, so a code is a copy.

namespace {

constexpr int CopyBytes = LzwDecoder::MaxOverrun + 1;
static_assert(sizeof Roots.bytes >= 256 + CopyBytes, "a block read from the last root stays in the array");

// Copies length bytes (at least one) a block at a time through a register. The source
// ends at or before to, so each block's string bytes are final when it is read; what a
// block writes past the string, later strings overwrite.
inline void copyString(uint8_t* to, const uint8_t* from, int length)
{
    do {
        uint8_t block[CopyBytes];
        std::memcpy(block, from, CopyBytes);
        std::memcpy(to, block, CopyBytes);
        to += CopyBytes;
        from += CopyBytes;
        length -= CopyBytes;
    } while (length > 0);
}

} // namespace

std::optional<LzwStop> LzwDecoder::decodeCopy(uint8_t* out, int64_t& pos, int64_t count)
{
    uint64_t* const placed = m_table.placed;
    uint16_t* const prefixes = m_table.prefix;
    const uint8_t* const buffer = m_buffer;
    const int clearCode = m_clearCode;

    // Kept in locals, and few of them so that they stay in registers: every store into
    // out may alias the members. The code limit is the mask plus one.
    int64_t p = pos;
    int curBit = m_curBit;
    int lastBit = m_lastBit;
    int codeSize = m_codeSize;
    uint32_t codeMask = (1u << codeSize) - 1;
    int nextCode = m_nextCode;
    // The entry the next code defines: the previous string (where it stands) plus one
    // byte, extending oldCode. Its first byte is read back from the output.
    uint64_t nextEntry = placedEntry(out, 1);
    int oldCode = m_oldCode;
    auto store = [&] {
        pos = p;
        m_curBit = curBit;
        m_codeSize = codeSize;
        m_codeLimit = static_cast<int>(codeMask + 1);
        m_nextCode = nextCode;
        m_oldCode = oldCode;
        if (p > 0)
            m_firstByte = *placedAt(nextEntry);
    };
    auto fetch = [&](int& code) {
        if (curBit + codeSize < lastBit) [[likely]] {
            uint32_t raw;
            std::memcpy(&raw, buffer + (curBit >> 3), 4);
            code = static_cast<int>((raw >> (curBit & 7)) & codeMask);
            curBit += codeSize;
            return true;
        }
        store();
        const std::optional<uint32_t> next = readCode(codeSize);
        curBit = m_curBit;
        lastBit = m_lastBit;
        code = next ? static_cast<int>(*next) : 0;
        return next.has_value();
    };
    // Enters the string just written at to, of length bytes, for code.
    auto define = [&](const uint8_t* to, int length, int code) {
        placed[nextCode] = nextEntry;
        prefixes[nextCode] = static_cast<uint16_t>(oldCode);
        // Below the mask the code neither widens nor reaches the end of the table.
        if (nextCode < static_cast<int>(codeMask)) [[likely]] {
            ++nextCode;
        } else if (nextCode < TableSize && ++nextCode > static_cast<int>(codeMask) && codeSize < MaxCodeWidth) {
            ++codeSize;
            codeMask = 2 * codeMask + 1;
        }
        nextEntry = placedEntry(to, length + 1);
        oldCode = code;
    };

    // Strings that end before this may store past their end freely.
    const int64_t safeEnd = count - MaxOverrun;
    while (p < count) {
        int code = 0;
        bool fetched = false;
        // The common codes, away from the end of the output and of the sub-block, in a
        // loop of their own: a root is a string like any other, so no test tells them
        // apart. Anything else is left to the general steps below. Any code fits in the
        // sub-block while this many bits are left.
        const int bitLimit = lastBit - MaxCodeWidth;
        while (p < safeEnd && curBit < bitLimit) {
            uint32_t raw;
            std::memcpy(&raw, buffer + (curBit >> 3), 4);
            code = static_cast<int>((raw >> (curBit & 7)) & codeMask);
            curBit += codeSize;
            fetched = true;
            // The clear and end codes, and a code not yet defined, take the general steps.
            if (static_cast<unsigned>(code - clearCode) <= 1 || code >= nextCode)
                break;
            const uint64_t entry = placed[code];
            const int length = placedLength(entry);
            if (p + length > safeEnd)
                break;
            uint8_t* const to = out + p;
            copyString(to, placedAt(entry), length);
            define(to, length, code);
            p += length;
            fetched = false;
        }
        if (!fetched) {
            if (p >= count)
                break;
            if (!fetch(code)) [[unlikely]] {
                store();
                return LzwStop::DataEnded;
            }
        }
        uint8_t* const to = out + p;
        const int kind = code - clearCode;
        if (kind < 0 || (kind > 1 && code <= nextCode)) {
            // A code equal to the next free one is the previous string plus its own first
            // byte: the entry it is about to define.
            const bool defined = code < nextCode;
            const uint64_t entry = defined ? placed[code] : nextEntry;
            const uint8_t* const from = placedAt(entry);
            const int length = placedLength(entry);
            const int64_t room = count - p;
            if (length + MaxOverrun <= room) [[likely]] {
                copyString(to, from, length - !defined);
                if (!defined)
                    to[length - 1] = *from;
            } else {
                // Near the end of the output: what fits, byte by byte; the rest waits on
                // the stack for the next call, last byte deepest.
                auto at = [&](int i) { return defined || i < length - 1 ? from[i] : *from; };
                const int fits = static_cast<int>(std::min<int64_t>(length, room));
                for (int i = 0; i < fits; ++i)
                    to[i] = at(i);
                for (int i = length - 1; i >= fits; --i)
                    m_table.stack[m_stackTop++] = at(i);
            }
            define(to, length, code);
            p += std::min<int64_t>(length, room);
            continue;
        }
        if (code == clearCode) {
            m_table.written(nextCode + 1);
            codeSize = m_minCodeSize + 1;
            codeMask = (1u << codeSize) - 1;
            nextCode = clearCode + 2;
            do {
                if (!fetch(code)) {
                    store();
                    return LzwStop::DataEnded;
                }
            } while (code == clearCode);
            if (code == m_endCode) {
                store();
                endData();
                return LzwStop::EndCode;
            }
            out[p] = static_cast<uint8_t>(code);
            nextEntry = placedEntry(out + p, 2);
            oldCode = code;
            ++p;
            // A first code that is no index leaves the table in a state only the exact
            // path reproduces (seen in fuzzed and hand-damaged files).
            if (code > m_endCode) {
                store();
                m_firstByte = code;
                leaveCopy();
                return std::nullopt;
            }
            continue;
        }
        if (code == m_endCode) {
            store();
            endData();
            return LzwStop::EndCode;
        }
        store();
        leaveCopy();
        if (const std::optional<int> value = processCode(static_cast<uint32_t>(code)))
            out[pos++] = static_cast<uint8_t>(*value);
        return std::nullopt;
    }
    store();
    return LzwStop::Filled;
}

LzwResult LzwDecoder::decode(uint8_t* out, int64_t count)
{
    if (m_state == State::Copy && count > 0)
        leaveCopy();
    return run(out, count);
}

LzwResult LzwDecoder::decodeWhole(uint8_t* out, int64_t count)
{
    // Only a first call sees every string it will copy.
    if (m_state == State::Fast && m_clearImplied && count > 0) {
        m_state = State::Copy;
        for (int c = m_table.placedRoots; c < m_clearCode; ++c)
            m_table.placed[c] = placedEntry(Roots.bytes + c, 1);
        // This frame's entries overwrite those above its roots.
        m_table.placedRoots = m_clearCode;
        return run(out, count);
    }
    return decode(out, count);
}

LzwResult LzwDecoder::run(uint8_t* out, int64_t count)
{
    int64_t pos = 0;
    m_written = 0;
    if (count <= 0)
        return {};
    try {
        while (pos < count && m_stackTop > 0)
            out[pos++] = static_cast<uint8_t>(m_table.stack[--m_stackTop]);
        LzwStop stop = LzwStop::Filled;
        if (pos < count) {
            std::optional<LzwStop> fast;
            if (m_state == State::Copy)
                fast = decodeCopy(out, pos, count);
            else if (m_state == State::Fast)
                fast = decodeFast(out, pos, count);
            stop = fast ? *fast : decodeExact(out, pos, count);
        }
        m_written = pos;
        return {pos, stop};
    } catch (const LzwFailure& failure) {
        m_written = pos;
        return {pos, failure.stop};
    } catch (...) {
        m_written = pos;
        throw;
    }
}

LzwStop LzwDecoder::extraStep()
{
    try {
        if (m_stackTop > 0) {
            --m_stackTop;
            return LzwStop::Filled;
        }
        if (m_state == State::Ended)
            return LzwStop::Filled;
        const std::optional<uint32_t> code = readCode(m_codeSize);
        if (!code)
            return LzwStop::Filled;
        if ((m_state == State::Fast || m_state == State::Copy) && static_cast<int>(*code) != m_endCode) {
            // A clear code resets every entry prepareExact would set.
            if (static_cast<int>(*code) != m_clearCode)
                prepareExact();
            m_state = State::Exact;
        }
        processCode(code);
    } catch (const LzwFailure& failure) {
        return failure.stop;
    }
    return LzwStop::Filled;
}
