#include "tests/gif/GifTestUtil.h"

#include "gif/GIFException.h"
#include "gif/GIFWriter.h"
#include "gif/ImageList.h"
#include "gif/LzwEncoder.h"
#include "gif/RleEncoder.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(TCompressionMethod method, int bits, int width, int height, const Bytes& pixels, bool interlaced = false,
             int colors = -1)
{
    TMemoryStream stream;
    MakeEncoder(method)->Compress(stream, bits, width, height, interlaced, pixels.empty() ? nullptr : pixels.data(),
                                  colors < 0 ? 1 << bits : colors);
    return stream.Bytes();
}

// Decoded again by our reader.
Bytes roundTrip(TCompressionMethod method, int bits, int width, int height, const Bytes& pixels,
                bool interlaced = false)
{
    const Bytes data = encode(method, bits, width, height, pixels, interlaced);
    Loaded loaded = loadGif(oneFrameGif(width, height, 1 << bits, data, interlaced ? 0x40 : 0));
    EXPECT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty());
    return loaded->Images().Count() ? pixelsOf(*loaded.image, 0) : Bytes{};
}

Bytes randomPixels(size_t count, int colors, int maxRun, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes pixels;
    while (pixels.size() < count) {
        const auto value = static_cast<uint8_t>(random() % unsigned(colors));
        pixels.insert(pixels.end(), std::min<size_t>(1 + random() % unsigned(maxRun), count - pixels.size()), value);
    }
    return pixels;
}

class EachMethod : public testing::TestWithParam<TCompressionMethod> {};

TEST_P(EachMethod, FrameWithoutPixelsSendsOnlyTheEndCode)
{
    const Bytes expected8{8, 2, 0x01, 0x01, 0};
    EXPECT_EQ(encode(GetParam(), 8, 0, 5, {}), expected8);
    EXPECT_EQ(encode(GetParam(), 8, 5, 0, Bytes{1}), expected8);
    // One- and two-bit frames use the smallest legal code size, 2: end code 5 in 3 bits.
    EXPECT_EQ(encode(GetParam(), 1, 0, 0, {}), (Bytes{2, 1, 0x05, 0}));
}

TEST_P(EachMethod, SendsInterlacedRowsInPassOrder)
{
    EXPECT_EQ(readCodes(encode(GetParam(), 2, 1, 3, Bytes{0, 1, 2}, true)), (std::vector<int>{4, 0, 2, 1, 5}));
    for (int height = 1; height <= 9; ++height) {
        const Bytes pixels = randomPixels(size_t(3) * height, 16, 2, unsigned(height));
        EXPECT_EQ(roundTrip(GetParam(), 4, 3, height, pixels, true), pixels) << height;
    }
}

TEST_P(EachMethod, RoundTripsAtEveryDepth)
{
    for (int bits = 1; bits <= 8; ++bits)
        for (int maxRun : {1, 6, 400}) {
            const Bytes pixels = randomPixels(30000, 1 << bits, maxRun, unsigned(bits * 1000 + maxRun));
            EXPECT_EQ(roundTrip(GetParam(), bits, 300, 100, pixels), pixels) << bits << " bits, runs " << maxRun;
        }
}

TEST_P(EachMethod, LongRunsOfOneColourRoundTrip)
{
    const Bytes pixels(500000, 3);
    EXPECT_EQ(roundTrip(GetParam(), 2, 1000, 500, pixels), pixels);
}

TEST_P(EachMethod, CutsDataIntoFullSubBlocks)
{
    const Bytes data = encode(GetParam(), 8, 200, 100, randomPixels(20000, 256, 1, 7));
    const std::vector<int> sizes = subBlockSizes(data);
    ASSERT_GT(sizes.size(), 2u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 255);
    EXPECT_GT(sizes.back(), 0);
    EXPECT_EQ(data.back(), 0);
}

TEST_P(EachMethod, PixelBeyondTheColourCountFails)
{
    Bytes pixels = randomPixels(3000, 4, 1, 3);
    pixels[2999] = 4;
    TMemoryStream stream;
    try {
        MakeEncoder(GetParam())->Compress(stream, 2, 3000, 1, false, pixels.data(), 4);
        FAIL() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Color not in color table");
    }
    // The code size byte and the sub-blocks so far reached the stream; no terminator.
    const std::vector<int> sizes = subBlockSizes(stream.Bytes());
    ASSERT_FALSE(sizes.empty());
    size_t total = 1;
    for (int size : sizes)
        total += size_t(size) + 1;
    EXPECT_EQ(total, stream.Bytes().size());
    // What reached the stream is the start of the codes of the pixels before the bad one:
    // nothing of it, nothing half-packed.
    auto payload = [](const Bytes& data) {
        Bytes joined;
        for (size_t at = 1; at < data.size() && data[at] != 0; at += data[at] + 1u)
            joined.insert(joined.end(), data.begin() + long(at) + 1, data.begin() + long(at) + 1 + data[at]);
        return joined;
    };
    const Bytes partial = payload(stream.Bytes());
    const Bytes whole = payload(encode(GetParam(), 2, 2999, 1, Bytes(pixels.begin(), pixels.end() - 1), false, 4));
    ASSERT_LE(partial.size(), whole.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));
    EXPECT_GT(partial.size(), whole.size() - 8);
}

INSTANTIATE_TEST_SUITE_P(Methods, EachMethod, testing::Values(cmLZW, cmRLE),
                         [](const auto& testInfo) { return testInfo.param == cmLZW ? "LZW" : "RLE"; });

// A plain LZW coder on a map: the same widths, clear codes and table limit, none of
// the shortcuts of ours.
Bytes referenceLzw(int bits, const Bytes& pixels)
{
    const int minCodeSize = std::max(2, bits);
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int maxCode = (1 << width) - 1;
    int freeCode = 0;
    bool clearFlag = false;
    std::map<std::pair<int, int>, int> table;
    CodePacker packer;
    auto emit = [&](int code) {
        packer.put(code, width);
        if (clearFlag) {
            width = minCodeSize + 1;
            maxCode = (1 << width) - 1;
            clearFlag = false;
        } else if (freeCode > maxCode) {
            ++width;
            maxCode = width == 12 ? 4096 : (1 << width) - 1;
        }
    };
    auto reset = [&] {
        clearFlag = true;
        emit(clear);
        table.clear();
        freeCode = clear + 2;
    };
    reset();
    int prefix = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const auto found = table.find({prefix, pixels[i]});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (freeCode < 4095)
            table[{prefix, pixels[i]}] = freeCode++;
        else
            reset();
        prefix = pixels[i];
    }
    emit(prefix);
    emit(clear + 1);
    return ByteBuilder().u8(uint8_t(minCodeSize)).subBlocks(packer.bytes());
}

TEST(LzwEncoder, WritesTheSameCodesAsAPlainTableWalk)
{
    unsigned seed = 1;
    for (int bits : {1, 2, 4, 7, 8})
        for (int maxRun : {1, 3, 40, 3000}) {
            const Bytes pixels = randomPixels(120000, 1 << bits, maxRun, seed++);
            EXPECT_TRUE(encode(cmLZW, bits, 400, 300, pixels) == referenceLzw(bits, pixels))
                << bits << " bits, runs up to " << maxRun;
        }
    // Interlaced frames go out row by row in pass order; runs cross the row ends.
    for (int maxRun : {3, 40, 3000}) {
        const int width = 37;
        const int height = 3000;
        const Bytes pixels = randomPixels(size_t(width) * height, 4, maxRun, seed++);
        Bytes sent;
        for (int start : {0, 4, 2, 1})
            for (int row = start; row < height; row += start == 0 ? 8 : start * 2)
                sent.insert(sent.end(), pixels.begin() + row * width, pixels.begin() + (row + 1) * width);
        EXPECT_TRUE(encode(cmLZW, 2, width, height, pixels, true) == referenceLzw(2, sent))
            << "interlaced, runs " << maxRun;
    }
    // Flat stretches broken by single pixels, as in mostly transparent frames.
    Bytes pixels(200000, 7);
    for (size_t i = 0; i < pixels.size(); i += 1 + (i * 7919) % 5000)
        pixels[i] = uint8_t(i % 13);
    EXPECT_TRUE(encode(cmLZW, 4, 1000, 200, pixels) == referenceLzw(4, pixels));
}

TEST(LzwEncoder, ClearsAtWidthTwelveAfterTheLastFreeCode)
{
    const Bytes pixels = randomPixels(60000, 256, 1, 11);
    const std::vector<int> codes = readCodes(encode(cmLZW, 8, 600, 100, pixels));
    ASSERT_GT(codes.size(), 3840u);
    EXPECT_EQ(codes[0], 256);
    // Entries 258 to 4094 take 3837 codes; the miss after them sends one more, then
    // the clear code (read here at the decoder's width, 12 bits).
    for (size_t i = 1; i <= 3838; ++i)
        ASSERT_NE(codes[i], 256) << i;
    EXPECT_EQ(codes[3839], 256);
    EXPECT_EQ(codes.back(), 257);
}

TEST(LzwEncoder, GrowsToTenBitsWhenTheDecoderDoes)
{
    // 0 0 1 1 2 2 ...: no pair repeats, so every pixel goes out as a literal and the
    // code read at the decoder's widths is the pixel itself, before and after the
    // growth (which comes after the code sent when FreeCode has become 512).
    Bytes pixels;
    for (int i = 0; i < 512; ++i)
        pixels.push_back(static_cast<uint8_t>(i / 2));
    const std::vector<int> codes = readCodes(encode(cmLZW, 8, 512, 1, pixels));
    ASSERT_EQ(codes.size(), 514u);
    EXPECT_EQ(codes.front(), 256);
    EXPECT_EQ(std::vector<int>(codes.begin() + 1, codes.end() - 1), std::vector<int>(pixels.begin(), pixels.end()));
    EXPECT_EQ(codes.back(), 257);
}

TEST(RleEncoder, SendsGrowingRunCodesForOneColour)
{
    EXPECT_EQ(readCodes(encode(cmRLE, 8, 10, 1, Bytes(10, 5))), (std::vector<int>{256, 5, 258, 259, 260, 257}));
    EXPECT_EQ(readCodes(encode(cmRLE, 8, 12, 1, Bytes(12, 5))), (std::vector<int>{256, 5, 258, 259, 260, 258, 257}));
}

TEST(RleEncoder, RunCostAndIntegerSquareRoot)
{
    struct Case {
        int64_t x, root;
    };
    for (Case c : {Case{0, 0}, {1, 1}, {3, 1}, {4, 2}, {15, 3}, {16, 4}, {1000000, 1000}, {999999, 999}})
        EXPECT_EQ(TRLEEncoder::IntSqrt(c.x), c.root) << c.x;
    // Runs 1, 2, 3, 4 cover 10 pixels in 4 codes; 11 needs a fifth.
    EXPECT_EQ(TRLEEncoder::RunCost(10, 3837), 4);
    EXPECT_EQ(TRLEEncoder::RunCost(11, 3837), 5);
    // With runs up to 3, every 6 pixels cost 3 codes.
    EXPECT_EQ(TRLEEncoder::RunCost(12, 3), 6);
    EXPECT_EQ(TRLEEncoder::RunCost(13, 3), 7);
}

TEST(GIFWriter, RefusesEverythingButWriting)
{
    TMemoryStream target;
    TGIFStream sink(target);
    char byte = 0;
    for (auto operation : {+[](TStream&s, char*b) { s.Read(b, 1); }, +[](TStream&s, char*b) { s.Write(b, 1); },
                           +[](TStream&s, char*) { s.Seek(0, TSeekOrigin::soBeginning); }}) {
        try {
            operation(sink, &byte);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Invalid stream operation");
        }
    }
    TGIFWriter writer(target);
    EXPECT_THROW(writer.Read(&byte, 1), Exception);
    EXPECT_EQ(writer.Write("abc", 3), 3u);
    writer.FlushBuffer();
    EXPECT_EQ(target.Bytes(), (Bytes{3, 'a', 'b', 'c'}));
}

} // namespace
