#include "tests/gif/GifTestUtil.h"

#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// Graphic control extension with a transparent index.
Bytes transparentControl(uint8_t index)
{
    return ByteBuilder{0x21, 0xF9, 4, 0x01, 0, 0, index, 0};
}

// Two frames: the first with the given data, the second a 1 x 1 frame of pixel 2.
Bytes twoFrames(int width, const Bytes& firstData, const Bytes& beforeFirst = {})
{
    ByteBuilder b = gifHeader(static_cast<uint16_t>(width), 1, 4);
    b.raw(beforeFirst).raw(imageDescriptor(0, 0, static_cast<uint16_t>(width), 1).bytes()).raw(firstData);
    b.raw(imageDescriptor(0, 0, 1, 1).bytes()).raw(LzwCodes(2).add({4, 2, 5}).imageData()).u8(0x3B);
    return b.bytes();
}

Bytes decodeOne(int width, int height, const Bytes& data, int colors = 4)
{
    Loaded loaded = loadGif(oneFrameGif(width, height, colors, data));
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>());
    return loaded->Images().Count() ? pixelsOf(*loaded.image, 0) : Bytes{};
}

TEST(LzwDecoder, DecodesOnePixelAndLeavesTheStreamAtTheNextBlock)
{
    const Bytes gif = oneFrameGif(1, 1, 4, LzwCodes(2).add({4, 1, 5}).imageData());
    Loaded loaded = loadGif(gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty()) << "the trailer was read where it stands";
    EXPECT_EQ(pixelsOf(*loaded.image, 0), Bytes{1});
    EXPECT_EQ(loaded.position, static_cast<int64_t>(gif.size()));
}

TEST(LzwDecoder, StartsWithATableResetWhetherTheDataSendsOneOrNot)
{
    EXPECT_EQ(decodeOne(3, 1, LzwCodes(2).add({4, 1, 2, 6, 5}).imageData()), (Bytes{1, 2, 1}));
    EXPECT_EQ(decodeOne(3, 1, LzwCodes(2).add({1, 2, 6, 5}).imageData()), (Bytes{1, 2, 1}));
    EXPECT_EQ(decodeOne(1, 1, LzwCodes(2).add({4, 4, 4, 3, 5}).imageData()), Bytes{3});
}

TEST(LzwDecoder, CodeNotYetInTheTableIsThePreviousStringPlusItsFirstByte)
{
    EXPECT_EQ(decodeOne(3, 1, LzwCodes(2).add({4, 1, 6, 5}).imageData()), (Bytes{1, 1, 1}));
    // Any code beyond the next free one is taken the same way.
    EXPECT_EQ(decodeOne(3, 1, LzwCodes(2).add({4, 1, 7, 5}).imageData()), (Bytes{1, 1, 1}));
}

TEST(LzwDecoder, UndefinedCodeAfterRegularOnesKeepsTheTableItBuilt)
{
    // 6 = [1 2], 7 = [2 1]; 12 (undefined) = string(6) + first = [1 2 1] and becomes the
    // previous code, whose reset entry reads [0 0]; 9 = that + 1.
    LzwCodes codes(2);
    codes.add({4, 1, 2, 6, 12, 8, 9, 5});
    EXPECT_EQ(decodeOne(13, 1, codes.imageData()), (Bytes{1, 2, 1, 2, 1, 2, 1, 1, 2, 1, 0, 0, 1}));
}

TEST(LzwDecoder, FullTableStaysFrozenAtTwelveBits)
{
    LzwCodes codes(8);
    codes.add(256);
    Bytes expected;
    for (int i = 0; i < 4000; ++i) {
        codes.add(i % 251);
        expected.push_back(static_cast<uint8_t>(i % 251));
    }
    ASSERT_EQ(codes.nextCode(), 4096);
    // Entry 258 + k holds literals k and k + 1, so 4095 is literals 3837 and 3838.
    codes.add({4095, 7, 257});
    expected.insert(expected.end(), {3837 % 251, 3838 % 251, 7});
    EXPECT_EQ(decodeOne(int(expected.size()), 1, codes.imageData(), 256), expected);
}

TEST(LzwDecoder, OneByteSubBlocksDecodeLikeFullOnes)
{
    LzwCodes codes(8);
    codes.add(256);
    for (int i = 0; i < 5000; ++i)
        codes.add((i * 7919) % 256);
    codes.add(257);
    const Bytes full = decodeOne(5000, 1, codes.imageData(255), 256);
    EXPECT_EQ(decodeOne(5000, 1, codes.imageData(1), 256), full);
    EXPECT_EQ(decodeOne(5000, 1, codes.imageData(3), 256), full);
}

TEST(LzwDecoder, EarlyEndCodeKeepsTheFillValueAndTheFollowingFrame)
{
    Loaded loaded = loadGif(twoFrames(4, LzwCodes(2).add({4, 1, 5}).imageData(), transparentControl(3)));
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty());
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_EQ(pixelsOf(*loaded.image, 0), (Bytes{1, 3, 3, 3}));
    EXPECT_EQ(pixelsOf(*loaded.image, 1), Bytes{2});
}

// Strings copied a block at a time store past their end; whatever the data left
// unreached holds the transparent index, pixel for pixel.
TEST(LzwDecoder, EarlyEndAfterLongStringsFillsTheRestWithTheTransparentIndex)
{
    // Strings of 1 to 8 ones: 36 pixels of 64.
    const Bytes data = LzwCodes(2).add({4, 1, 6, 7, 8, 9, 10, 11, 12, 5}).imageData();
    Loaded loaded = loadGif(twoFrames(64, data, transparentControl(3)));
    EXPECT_EQ(loaded.error, "");
    ASSERT_EQ(loaded->Images().Count(), 2);
    Bytes expected(64, 3);
    std::fill(expected.begin(), expected.begin() + 36, 1);
    EXPECT_EQ(pixelsOf(*loaded.image, 0), expected);
}

TEST(LzwDecoder, EndCodeRightAfterAResetDeliversNoPixel)
{
    Loaded loaded = loadGif(twoFrames(2, LzwCodes(2).add({4, 5, 1, 1}).imageData()));
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty());
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_EQ(pixelsOf(*loaded.image, 0), (Bytes{0, 0}));
    EXPECT_EQ(pixelsOf(*loaded.image, 1), Bytes{2});
}

TEST(LzwDecoder, CodesBeyondTheLastPixelAreSkippedSilently)
{
    // Enough extra codes to fill more than one sub-block.
    LzwCodes codes(2);
    codes.add({4, 1});
    for (int i = 0; i < 800; ++i)
        codes.add(i % 4);
    codes.add(5);
    Loaded loaded = loadGif(twoFrames(1, codes.imageData(100)));
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty());
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_EQ(pixelsOf(*loaded.image, 1), Bytes{2});
}

TEST(LzwDecoder, DataEndingBeforeAllPixelsWarnsUnderRun)
{
    // The padding bits of the last byte still decode as two zero pixels; then nothing
    // is left, for the filling and for the final step alike.
    const Bytes data = LzwCodes(2).add({4, 1, 2}).imageData();
    ByteBuilder gif = gifHeader(8, 1, 4);
    gif.raw(transparentControl(3)).raw(imageDescriptor(0, 0, 8, 1).bytes()).raw(data).u8(0x3B);
    Loaded loaded = loadGif(gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>(2, "Decoder bit buffer under-run"));
    EXPECT_EQ(pixelsOf(*loaded.image, 0), (Bytes{1, 2, 0, 0, 3, 3, 3, 3}));
}

TEST(LzwDecoder, SubBlockLongerThanTheStreamUsesWhatIsThere)
{
    LzwCodes codes(2);
    codes.add(4);
    for (int i = 0; i < 40; ++i)
        codes.add(1);
    codes.add(5);
    Bytes gif = oneFrameGif(40, 1, 4, codes.imageData());
    gif.erase(gif.end() - 8, gif.end());
    Loaded loaded = loadGif(gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Premature end of data"});
    const Bytes pixels = pixelsOf(*loaded.image, 0);
    EXPECT_EQ(pixels.front(), 1);
    EXPECT_EQ(pixels.back(), 0);
}

TEST(LzwDecoder, SelfReferencingEntryFailsTheLoad)
{
    // 7 before it exists becomes the previous code; adding entry 7 then makes 7 its
    // own prefix.
    Loaded loaded = loadGif(oneFrameGif(9, 1, 4, LzwCodes(2).add({4, 0, 7, 7, 7, 5}).imageData()));
    EXPECT_EQ(loaded.error, "Circular decoder table entry");
    EXPECT_EQ(loaded.position, 0);
    EXPECT_EQ(loaded->Images().Count(), 0);
}

TEST(LzwDecoder, MinimumCodeSizeAboveElevenFails)
{
    for (int size : {12, 13, 40, 255}) {
        Loaded loaded = loadGif(oneFrameGif(2, 1, 4, ByteBuilder{}.u8(uint8_t(size)).subBlocks({0xFF, 0xFF, 0xFF})));
        EXPECT_FALSE(loaded.error.empty()) << size;
        EXPECT_EQ(loaded->Images().Count(), 0);
    }
    Loaded loaded = loadGif(oneFrameGif(2, 1, 4, ByteBuilder{}.u8(12).subBlocks({0, 0, 0, 0})));
    EXPECT_EQ(loaded.error, "ClearCode too large");
}

TEST(LzwDecoder, ValuesOfWideTablesKeepTheirLowByte)
{
    EXPECT_EQ(decodeOne(3, 1, LzwCodes(9).add({512, 300, 511, 258, 513}).imageData(), 256), (Bytes{44, 255, 2}));
}

class InterlacedHeight : public testing::TestWithParam<int> {};

TEST_P(InterlacedHeight, FillsEveryRowExactlyOnce)
{
    const int height = GetParam();
    std::vector<int> order;
    for (int start : {0, 4, 2, 1})
        for (int row = start; row < height; row += start == 0 ? 8 : start * 2)
            order.push_back(row);
    LzwCodes codes(4);
    codes.add(16);
    for (int row : order)
        codes.add(row);
    codes.add(17);
    Loaded loaded = loadGif(oneFrameGif(1, height, 16, codes.imageData(), 0x40));
    ASSERT_EQ(loaded.error, "");
    Bytes expected;
    for (int row = 0; row < height; ++row)
        expected.push_back(static_cast<uint8_t>(row));
    EXPECT_EQ(pixelsOf(*loaded.image, 0), expected);
}

INSTANTIATE_TEST_SUITE_P(Heights, InterlacedHeight, testing::Values(1, 2, 3, 5, 9, 16));

} // namespace
