// The LZW decoder on its own, fed code sequences built here.
#include "tests/gif/GifTestUtil.h"

#include "framework/core/Stream.h"
#include "gif/LzwDecoder.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Warnings = std::vector<LzwWarning>;

struct Decoded {
    Bytes indices;
    LzwStop stop = LzwStop::Filled;
    Warnings warnings;
};

// Decodes imageData (minimum code size byte first) into count indices, in calls of
// piece indices each (0: one call).
Decoded decodeData(const Bytes& imageData, int64_t count, int64_t piece = 0)
{
    TReadOnlyMemoryStream stream(imageData.data() + 1, imageData.size() - 1);
    Decoded result;
    LzwDecoder decoder(stream, imageData[0], [&](LzwWarning w) { result.warnings.push_back(w); });
    Bytes out(static_cast<size_t>(count), 0xEE);
    int64_t pos = 0;
    while (pos < count) {
        const int64_t n = piece > 0 ? std::min(piece, count - pos) : count;
        const LzwResult r = decoder.decode(out.data() + pos, n);
        pos += r.count;
        result.stop = r.stop;
        if (r.stop != LzwStop::Filled)
            break;
    }
    out.resize(static_cast<size_t>(pos));
    result.indices = out;
    return result;
}

Bytes literals(int count, int modulo)
{
    Bytes bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<uint8_t>(i % modulo));
    return bytes;
}

Bytes fullTableData()
{
    LzwCodes codes(8);
    codes.add(256);
    for (int i = 0; i < 4000; ++i)
        codes.add(i % 251);
    // Entry 258 + k holds literals k and k + 1; the table stays frozen at 4096.
    codes.add({4095, 7, 257});
    return codes.imageData();
}

Bytes fullTableIndices()
{
    Bytes expected = literals(4000, 251);
    expected.insert(expected.end(), {uint8_t(3837 % 251), uint8_t(3838 % 251), 7});
    return expected;
}

// Nine-bit codes 10, 20, 30, 40 whose last byte and terminator are missing.
Bytes cutMidCode()
{
    Bytes data = LzwCodes(8).add({256, 10, 20, 30, 40}).imageData();
    data.resize(data.size() - 2);
    return data;
}

struct Case {
    const char* name;
    Bytes data;
    int64_t count;
    Bytes indices;
    LzwStop stop;
    Warnings warnings = {};
};

const Bytes Growing = {1, 2, 1, 2, 2, 1, 1, 2, 2, 2, 1, 1};

std::vector<Case> cases()
{
    return {
        {"leading clear omitted", LzwCodes(2).add({1, 2, 6, 5}).imageData(), 8, {1, 2, 1, 2}, LzwStop::EndCode},
        {"clear mid-stream starts a new table",
         LzwCodes(2).add({4, 1, 2, 6, 4, 2, 1, 6, 5}).imageData(),
         12,
         {1, 2, 1, 2, 2, 1, 2, 1},
         LzwStop::EndCode},
        {"code equal to the next free one", LzwCodes(2).add({4, 1, 6, 5}).imageData(), 8, {1, 1, 1}, LzwStop::EndCode},
        {"code far above the next free one", LzwCodes(2).add({4, 1, 7, 5}).imageData(), 8, {1, 1, 1}, LzwStop::EndCode},
        {"reset followed by a non-index", LzwCodes(2).add({4, 7, 5}).imageData(), 4, {7}, LzwStop::EndCode},
        {"end code first", LzwCodes(2).add({5}).imageData(), 4, {}, LzwStop::EndCode},
        {"end code after a clear", LzwCodes(2).add({4, 5}).imageData(), 4, {}, LzwStop::EndCode},
        {"strings growing past the width change", LzwCodes(2).add({4, 1, 2, 6, 7, 8, 9, 5}).imageData(), 20, Growing,
         LzwStop::EndCode},
        {"one-byte sub-blocks", LzwCodes(2).add({4, 1, 2, 6, 7, 8, 9, 5}).imageData(1), 20, Growing, LzwStop::EndCode},
        {"buffer full before the data ends",
         LzwCodes(2).add({4, 1, 2, 6, 7, 8, 9, 5}).imageData(),
         7,
         {1, 2, 1, 2, 2, 1, 1},
         LzwStop::Filled},
        {"full table without a clear", fullTableData(), 5000, fullTableIndices(), LzwStop::EndCode},
        {"sub-block cut mid-code", cutMidCode(), 8, {10, 20, 30}, LzwStop::DataEnded, {LzwWarning::PrematureEnd}},
        // The terminator's empty buffer still forms one code (of zeros) before running dry.
        {"zero-length block first", Bytes{2, 0}, 4, {0}, LzwStop::DataEnded, {LzwWarning::BitBufferUnderrun}},
        {"clear code beyond any table", Bytes{12, 2, 0, 0, 0}, 4, {}, LzwStop::ClearCodeTooLarge},
        // Last, after the full table: entries never defined read as empty (string 0), not
        // as what earlier streams left in the table.
        {"walk through an entry never defined",
         LzwCodes(2).add({4, 1, 7, 7, 5}).imageData(),
         8,
         {1, 1, 1, 0, 0, 1},
         LzwStop::EndCode},
    };
}

TEST(LzwCodeStream, DecodesBuiltSequences)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const Decoded d = decodeData(c.data, c.count);
        EXPECT_EQ(d.indices, c.indices);
        EXPECT_EQ(d.stop, c.stop);
        EXPECT_EQ(d.warnings, c.warnings);
    }
}

// A string cut by the end of one call continues at the start of the next.
TEST(LzwCodeStream, CallsOfAnySizeGiveTheSameIndices)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const Decoded whole = decodeData(c.data, c.count);
        for (int64_t piece : {1, 2, 3, 7, 9}) {
            SCOPED_TRACE(piece);
            EXPECT_EQ(decodeData(c.data, c.count, piece).indices, whole.indices);
        }
    }
}

// Output taken in one first call copies strings from itself; a call after it (the rest
// of a string cut at the end, or more indices) goes the exact way and agrees.
TEST(LzwCodeStream, OneWholeCallGivesTheSameResultsAndContinues)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const Decoded expected = decodeData(c.data, c.count);
        for (int64_t first : {c.count, int64_t(1), int64_t(5), int64_t(4003)}) {
            SCOPED_TRACE(first);
            TReadOnlyMemoryStream stream(c.data.data() + 1, c.data.size() - 1);
            Warnings warnings;
            LzwDecoder decoder(stream, c.data[0], [&](LzwWarning w) { warnings.push_back(w); });
            // Slack past the end shows stores that overrun the output.
            Bytes out(static_cast<size_t>(c.count + 16), 0xEE);
            LzwResult r = decoder.decodeWhole(out.data(), std::min(first, c.count));
            int64_t pos = r.count;
            while (r.stop == LzwStop::Filled && pos < c.count) {
                r = decoder.decode(out.data() + pos, c.count - pos);
                pos += r.count;
            }
            EXPECT_EQ(Bytes(out.begin(), out.begin() + pos), expected.indices);
            EXPECT_EQ(r.stop, expected.stop);
            EXPECT_EQ(warnings, expected.warnings);
            if (r.stop == LzwStop::Filled) {
                EXPECT_EQ(Bytes(out.begin() + c.count, out.end()), Bytes(16, 0xEE));
            }
        }
    }
}

// After the last pixel a well-formed stream meets its end code and is skipped whole.
TEST(LzwCodeStream, ExtraStepMeetsTheEndCodeAndLeavesTheStreamAfterTheData)
{
    Bytes data = LzwCodes(2).add({4, 1, 2, 6, 5}).imageData();
    data.push_back(0x3B);
    TReadOnlyMemoryStream stream(data.data() + 1, data.size() - 1);
    Warnings warnings;
    LzwDecoder decoder(stream, data[0], [&](LzwWarning w) { warnings.push_back(w); });
    uint8_t out[4];
    EXPECT_EQ(decoder.decode(out, 4).stop, LzwStop::Filled);
    EXPECT_EQ(decoder.extraStep(), LzwStop::Filled);
    decoder.skipRest();
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(data.size() - 2));
    EXPECT_TRUE(warnings.empty());
}

} // namespace

namespace {

// A 3 x 9 interlaced frame whose data ends (with its end code) after arrival rows 0, 8
// and 4: those rows hold the data in arrival order, every other row the fill value.
TEST(FrameReading, EarlyEndOfAnInterlacedFrameKeepsArrivedRowsAndFillsTheRest)
{
    const Bytes rows[3] = {{1, 1, 1}, {2, 2, 2}, {1, 2, 1}};
    LzwCodes codes(2);
    codes.add(4);
    for (const Bytes& row : rows)
        for (uint8_t value : row)
            codes.add(value);
    codes.add(5);
    for (int transparent : {-1, 3}) {
        SCOPED_TRACE(transparent);
        ByteBuilder b = gifHeader(3, 9, 4);
        if (transparent >= 0)
            b.raw(ByteBuilder{0x21, 0xF9, 4, 0x01, 0, 0, uint8_t(transparent), 0}.bytes());
        b.raw(imageDescriptor(0, 0, 3, 9, 0x40).bytes()).raw(codes.imageData()).u8(0x3B);
        Loaded loaded = loadGif(b.bytes());
        ASSERT_EQ(loaded.error, "");
        const uint8_t fill = transparent >= 0 ? uint8_t(transparent) : 0;
        Bytes expected(27, fill);
        const int arrivedAt[3] = {0, 8, 4};
        for (int k = 0; k < 3; ++k)
            std::copy(rows[k].begin(), rows[k].end(), expected.begin() + arrivedAt[k] * 3);
        EXPECT_EQ(pixelsOf(*loaded.image, 0), expected);
    }
}

} // namespace
