#pragma once

#include <cstdint>
#include <functional>
#include <optional>

class TStream;

// Why a decoding call stopped.
enum class LzwStop {
    Filled,    // the caller's buffer is full
    DataEnded, // the sub-blocks ran out before the end code
    EndCode,   // the end code was met; the data was skipped through its terminator
    // Damage the table cannot survive; what was decoded before it stays.
    ClearCodeTooLarge,
    CodeTooLarge,
    CircularTable,
    StartIndexTooLarge,
};

enum class LzwWarning {
    BitBufferUnderrun, // a code was asked for after the terminator and its bits
    PrematureEnd,      // a sub-block is longer than the stream holds
};

struct LzwResult {
    int64_t count = 0; // indices written by the call
    LzwStop stop = LzwStop::Filled;
};

struct LzwTable;

// Turns one frame's LZW data (the sub-blocks after the minimum code size byte) into
// colour indices, in the order they arrive. It reads the sub-blocks from the stream as
// it needs them and knows nothing of frames: where the indices go is the caller's.
class LzwDecoder {
public:
    using WarningSink = std::function<void(LzwWarning)>;

    // Warnings go to sink as they arise; what it throws leaves the decoder consistent
    // and passes through the call that read the data.
    LzwDecoder(TStream& stream, int minCodeSize, WarningSink sink);
    ~LzwDecoder();
    LzwDecoder(const LzwDecoder&) = delete;
    LzwDecoder& operator=(const LzwDecoder&) = delete;

    // Stores may run this many bytes past the last index written, never past out + count.
    static constexpr int MaxOverrun = 15;

    // Up to count indices into out. A string that does not fit is carried over to the
    // next call.
    LzwResult decode(uint8_t* out, int64_t count);
    // The same for a caller that takes all its indices in this one first call: strings are
    // copied from where they already stand in out, which must stay valid (and unchanged
    // up to the indices written) until the decoder is destroyed. Another call goes the
    // exact way, so this pays only for output in one piece.
    LzwResult decodeWhole(uint8_t* out, int64_t count);
    // Indices written by the last decode call, also when the warning sink threw.
    int64_t written() const { return m_written; }
    // The one step a reader takes after the last pixel: a well-formed stream meets its
    // end code here, so that the sub-blocks are skipped and the stream left after them.
    // Its stop is Filled unless the step met damage.
    LzwStop extraStep();
    // Skips the data left after the pixels (unless the end code or terminator was met),
    // so that the stream stands on the byte after the terminator.
    void skipRest();

private:
    // Fast: whole strings are written from the table, eight bytes at a time.
    // Copy: whole strings are copied from the earlier output of one decodeWhole call.
    // Exact: one index per step from a stack, walking prefixes as the table dictates.
    // Ended: the end code was met and the data skipped through its terminator.
    //
    //   (start) --minimum code size 2..8--> Fast, --otherwise--> Exact
    //   Fast --first call is decodeWhole--> Copy
    //   Fast, Copy --code beyond the next free one, or a reset followed by a non-index--> Exact
    //   Copy --any call or step after the one that filled the output--> Exact
    //   Fast, Copy, Exact --end code--> Ended
    // Exact is kept for good: once a code broke the table's rules, lengths and first
    // bytes are no longer known without the walk.
    enum class State { Fast, Copy, Exact, Ended };

    // The bit reader over the sub-blocks.
    std::optional<uint32_t> readCode(int width);
    bool refill(int width);
    int readByte();
    void skipSubBlocks();
    void endData();

    // The exact path.
    void prepareExact();
    void leaveCopy();
    void resetTable();
    void zeroAboveRoots();
    void push(int value);
    std::optional<int> decodeStep();
    std::optional<int> processCode(std::optional<uint32_t> code);
    LzwStop decodeExact(uint8_t* out, int64_t& pos, int64_t count);

    // The fast path; nullopt when it hands over to the exact one.
    std::optional<LzwStop> decodeFast(uint8_t* out, int64_t& pos, int64_t count);
    std::optional<LzwStop> decodeCopy(uint8_t* out, int64_t& pos, int64_t count);
    LzwResult run(uint8_t* out, int64_t count);
    // A string of length bytes: its last word, and the entry holding the words before.
    void writeString(uint8_t* to, uint64_t last, int skip, int length) const;

    TStream& m_stream;
    WarningSink m_sink;
    int64_t m_streamPos;
    int64_t m_streamSize;
    LzwTable& m_table;
    State m_state;

    int m_minCodeSize;
    int m_clearCode;
    int m_endCode;
    int m_codeSize;
    int m_nextCode;
    int m_codeLimit;
    int m_firstByte = 0;
    int m_oldCode = 0;
    int m_stackTop = 0;
    int64_t m_written = 0;

    // Bytes 0 and 1 carry the last two bytes of the previous sub-block, 2 to 256 the
    // current one; the rest stay zero so that a whole word can always be fetched.
    static constexpr int BufferCarry = 2;
    static constexpr int BufferSize = BufferCarry + 255 + 7;
    alignas(8) uint8_t m_buffer[BufferSize] = {};
    int m_curBit = 0;
    int m_lastBit = 0;
    int m_lastByte = BufferCarry;
    // The data starts with an implied clear code, whether it sends one or not.
    bool m_clearImplied = true;
    // The terminator has been read: no more sub-blocks.
    bool m_terminated = false;
    // Entries above the roots read as zero after a reset; they are cleared only before a
    // code is looked up, so a reset with no lookup after it (at the end of the data) is free.
    bool m_zeroPending = false;
};
