#include "framework/graphics/Rop.h"

#include "RasterTestUtil.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/PixelCodec.h"

#include <gtest/gtest.h>

#include <random>

namespace {
// Bit by bit from the truth table: the result bit is table bit (p << 2 | s << 1 | d).
uint32_t referenceRop(uint8_t rop, uint32_t p, uint32_t s, uint32_t d)
{
    uint32_t result = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const unsigned index = (((p >> bit) & 1) << 2) | (((s >> bit) & 1) << 1) | ((d >> bit) & 1);
        result |= ((rop >> index) & 1u) << bit;
    }
    return result;
}

// The codes the system draws with, then a fixed sample of others.
std::vector<uint8_t> codesUnderTest()
{
    std::vector<uint8_t> codes = {0xCC, 0x66, 0xE2, 0x88, 0xEE, 0x33, 0xF0, 0x5A, 0x55, 0xAA, 0x00, 0xFF, 0xC0, 0xBB};
    std::mt19937 random(7);
    for (int i = 0; i < 16; ++i)
        codes.push_back(static_cast<uint8_t>(random()));
    return codes;
}
} // namespace

TEST(Rop, RowEvaluatorMatchesTruthTableForEveryCode)
{
    std::mt19937 random(1);
    constexpr size_t n = 37;
    std::vector<uint32_t> p(n), s(n), d(n), out(n);
    for (int rop = 0; rop < 256; ++rop) {
        for (size_t i = 0; i < n; ++i) {
            p[i] = random();
            s[i] = random();
            d[i] = random();
        }
        RopRow(static_cast<uint8_t>(rop), p.data(), s.data(), d.data(), out.data(), n, 0xFFFFFFFF);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(out[i], referenceRop(static_cast<uint8_t>(rop), p[i], s[i], d[i])) << "rop " << rop;
        // In place, and with a narrower word.
        std::vector<uint32_t> inPlace = d;
        RopRow(static_cast<uint8_t>(rop), p.data(), s.data(), inPlace.data(), inPlace.data(), n, 0xFF);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(inPlace[i], referenceRop(static_cast<uint8_t>(rop), p[i], s[i], d[i]) & 0xFF);
    }
}

TEST(Rop, CodesDescribeTheirOperands)
{
    EXPECT_FALSE(RopUsesPattern(RopIndex(cmSrcCopy)));
    EXPECT_TRUE(RopUsesSource(RopIndex(cmSrcCopy)));
    EXPECT_FALSE(RopUsesDestination(RopIndex(cmSrcCopy)));
    EXPECT_TRUE(RopUsesPattern(RopIndex(cmPatThroughMask)));
    EXPECT_TRUE(RopUsesSource(RopIndex(cmPatThroughMask)));
    EXPECT_TRUE(RopUsesDestination(RopIndex(cmPatThroughMask)));
    EXPECT_EQ(MakeRop4(cmDstCopy, cmSrcCopy), 0xCCAA0029u);
    EXPECT_EQ(Rop4Foreground(MakeRop4(cmDstCopy, cmSrcCopy)), 0xAA);
    EXPECT_EQ(Rop4Background(MakeRop4(cmDstCopy, cmSrcCopy)), 0xCC);
}

class CanvasRopTest : public testing::TestWithParam<uint8_t> {};

// Random device pixels, a random 8 x 8 pattern brush, the copy placed off the origin so
// the pattern's anchoring to the surface shows.
TEST_P(CanvasRopTest, DeviceCopyMatchesBitReference)
{
    const uint8_t rop = GetParam();
    std::mt19937 random(rop + 100);
    TBitmap source(13, 9), target(20, 14), pattern(8, 8);
    const auto sourcePixels = FillRandom(source, random);
    const auto targetPixels = FillRandom(target, random);
    const auto patternPixels = FillRandom(pattern, random);
    target.Canvas().Brush().SetBitmap(&pattern);
    target.Canvas().BitBlt(3, 2, 13, 9, &source.Canvas(), 0, 0, static_cast<TCopyMode>(rop) << 16);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 20; ++x) {
            const TColor d = targetPixels[static_cast<size_t>(y * 20 + x)];
            TColor expected = d;
            if (x >= 3 && x < 16 && y >= 2 && y < 11) {
                const TColor s = sourcePixels[static_cast<size_t>((y - 2) * 13 + (x - 3))];
                const TColor p = patternPixels[static_cast<size_t>((y % 8) * 8 + (x % 8))];
                expected = SwapRB(referenceRop(rop, SwapRB(p), SwapRB(s), SwapRB(d)) & 0x00FFFFFF);
            }
            ASSERT_EQ(target.Canvas().Pixel(x, y), expected) << "at " << x << "," << y;
        }
}

// On an indexed surface the operation works on the indices.
TEST_P(CanvasRopTest, IndexedCopyWorksOnIndices)
{
    const uint8_t rop = GetParam();
    std::mt19937 random(rop + 200);
    TBitmap source(6, 5, TPixelFormat::pf8bit), target(6, 5, TPixelFormat::pf8bit);
    std::vector<uint8_t> s, d;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            s.push_back(source.ScanLine(y)[x] = static_cast<uint8_t>(random()));
            d.push_back(target.ScanLine(y)[x] = static_cast<uint8_t>(random()));
        }
    target.Canvas().Brush().SetColor(clRed);
    const uint32_t brushIndex = static_cast<uint32_t>(HalftonePalette().NearestIndex(clRed));
    target.Canvas().BitBlt(0, 0, 6, 5, &source.Canvas(), 0, 0, static_cast<TCopyMode>(rop) << 16);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const size_t i = static_cast<size_t>(y * 6 + x);
            ASSERT_EQ(target.ScanLine(y)[x], referenceRop(rop, brushIndex, s[i], d[i]) & 0xFF);
        }
}

INSTANTIATE_TEST_SUITE_P(Codes, CanvasRopTest, testing::ValuesIn(codesUnderTest()), [](const auto& testInfo) {
    char name[16];
    std::snprintf(name, sizeof name, "rop%02X_%zu", testInfo.param, testInfo.index);
    return std::string(name);
});
