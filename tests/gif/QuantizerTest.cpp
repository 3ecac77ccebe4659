#include "gif/Quantizer.h"

#include "framework/graphics/Palette.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<Rgb> rgbOf(const std::vector<TRGBQuad>& table)
{
    std::vector<Rgb> colours;
    for (const TRGBQuad& q : table)
        colours.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue});
    return colours;
}

std::vector<Rgb> entriesOf(const TPalette& palette, int from, int count)
{
    std::vector<Rgb> colours;
    for (int i = from; i < from + count; ++i)
        colours.push_back({palette.Entry(i).peRed, palette.Entry(i).peGreen, palette.Entry(i).peBlue});
    return colours;
}

const TOctreeNode* childPath(const TOctreeNode* node, int depth, int index)
{
    for (int level = 0; node && level < depth; ++level)
        node = node->Children[size_t(index)].get();
    return node;
}

void sumLeaves(const TOctreeNode& node, int& leaves, int64_t& pixels)
{
    if (node.IsLeaf) {
        ++leaves;
        pixels += node.PixelCount;
        return;
    }
    for (const auto& child : node.Children)
        if (child)
            sumLeaves(*child, leaves, pixels);
}

TEST(ColorQuantizer, FewColoursGiveExactlyThoseColoursInTreeOrder)
{
    // Level 0 sorts by the top bits: (0,0,0)-ish 0, blue 1, green 2, red 4.
    const auto bitmap = rowOf({{255, 0, 0}, {0, 255, 0}, {255, 0, 0}, {0, 0, 255}, {10, 10, 10}});
    const auto palette = CreateOptimizedPaletteFromBitmap(*bitmap, 8, 8, false);
    ASSERT_EQ(palette->Count(), 8);
    EXPECT_EQ(entriesOf(*palette, 0, 4), (std::vector<Rgb>{{10, 10, 10}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}}));
    EXPECT_EQ(entriesOf(*palette, 4, 4), std::vector<Rgb>(4, Rgb{0, 0, 0}));
    EXPECT_EQ(palette->Entry(3).peFlags, 0);
}

TEST(ColorQuantizer, TheNewestNodeOfTheDeepestLevelMergesFirst)
{
    // Blues 0 .. 255 fill 128 level-7 nodes of two leaves each; the 257th colour makes the
    // newest of them, the one of blues 254 and 255, fold into one leaf.
    TColorQuantizer quantizer(256, 8);
    for (int blue = 0; blue < 256; ++blue)
        quantizer.AddPixel(0, 0, uint8_t(blue));
    EXPECT_EQ(quantizer.LeafCount(), 256);
    quantizer.AddPixel(1, 0, 0);
    EXPECT_EQ(quantizer.LeafCount(), 256);

    const TOctreeNode* merged = childPath(quantizer.Root(), 7, 1);
    ASSERT_NE(merged, nullptr);
    EXPECT_TRUE(merged->IsLeaf);
    EXPECT_EQ(merged->PixelCount, 2);
    EXPECT_EQ(merged->BlueSum, 254 + 255);
    for (const auto& child : merged->Children)
        EXPECT_EQ(child, nullptr);

    const std::vector<Rgb> table = rgbOf(quantizer.ColorTable());
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(table[1], (Rgb{0, 0, 1}));
    EXPECT_EQ(table[2], (Rgb{1, 0, 0}));
    EXPECT_EQ(table[254], (Rgb{0, 0, 253}));
    EXPECT_EQ(table[255], (Rgb{0, 0, 254}));
}

TEST(ColorQuantizer, NeverHoldsMoreLeavesThanColoursAndLosesNoPixel)
{
    std::mt19937 random(7);
    TColorQuantizer quantizer(16, 8);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t v = random();
        quantizer.AddPixel(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16));
        ASSERT_LE(quantizer.LeafCount(), 16);
    }
    int leaves = 0;
    int64_t pixels = 0;
    sumLeaves(*quantizer.Root(), leaves, pixels);
    EXPECT_EQ(leaves, quantizer.LeafCount());
    EXPECT_EQ(pixels, 20000);
    EXPECT_EQ(quantizer.ColorTable().size(), size_t(leaves));
}

TEST(ColorQuantizer, SumsHoldMoreThanThirtyTwoBits)
{
    // 255 x 8.5 million exceeds the range of a 32-bit sum.
    TColorQuantizer quantizer(1, 8);
    constexpr int64_t count = 8'500'000;
    for (int64_t i = 0; i < count; ++i)
        quantizer.AddPixel(255, 255, 255);
    const TOctreeNode* leaf = childPath(quantizer.Root(), 8, 7);
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->RedSum, 255 * count);
    EXPECT_EQ(rgbOf(quantizer.ColorTable()), (std::vector<Rgb>{{255, 255, 255}}));
}

TEST(ColorQuantizer, SystemColoursSurroundTheComputedOnes)
{
    const auto bitmap = rowOf({{200, 100, 50}, {10, 20, 30}, {60, 180, 90}});
    const auto palette = CreateOptimizedPaletteFromBitmap(*bitmap, 16, 8, true);
    ASSERT_EQ(palette->Count(), 256);
    EXPECT_EQ(entriesOf(*palette, 0, 10), entriesOf(DefaultPalette(), 0, 10));
    EXPECT_EQ(entriesOf(*palette, 246, 10), entriesOf(DefaultPalette(), 10, 10));
    EXPECT_EQ(entriesOf(*palette, 10, 3), (std::vector<Rgb>{{10, 20, 30}, {60, 180, 90}, {200, 100, 50}}));
    EXPECT_EQ(entriesOf(*palette, 13, 233), std::vector<Rgb>(233, Rgb{0, 0, 0}));
}

TEST(ColorQuantizer, RefusesImpossibleSizes)
{
    const auto bitmap = rowOf({{1, 2, 3}});
    EXPECT_THROW(TColorQuantizer(0, 8), GIFException);
    EXPECT_THROW(TColorQuantizer(16, 9), GIFException);
    EXPECT_THROW(TColorQuantizer(16, -1), GIFException);
    EXPECT_EQ(messageOf<GIFException>([&] { CreateOptimizedPaletteFromBitmap(*bitmap, 257, 8, false); }),
              "Optimized palette size must be 1 to 256");
    TDIBReader indices(*bitmap, TPixelFormat::pf8bit);
    TColorQuantizer quantizer(4, 8);
    EXPECT_THROW(quantizer.ScanImage(indices), GIFException);
}

TEST(ColorQuantizer, ShallowTreesAverageWholeSubtrees)
{
    // One bit per channel: the leaves sit at level 1, one per octant.
    TColorQuantizer quantizer(8, 1);
    for (int v : {0, 100, 127, 128, 255})
        quantizer.AddPixel(uint8_t(v), uint8_t(v), uint8_t(v));
    EXPECT_EQ(rgbOf(quantizer.ColorTable()), (std::vector<Rgb>{{75, 75, 75}, {191, 191, 191}}));
}

} // namespace
