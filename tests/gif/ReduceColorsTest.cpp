#include "gif/ReduceColors.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

std::vector<int> indicesOf(const TBitmap& bitmap)
{
    std::vector<int> indices;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            indices.push_back(bitmap.ScanLine(y)[x]);
    return indices;
}

Rgb entry(const TBitmap& bitmap, int index)
{
    const TPaletteEntry& e = bitmap.Palette()->Entry(index);
    return {e.peRed, e.peGreen, e.peBlue};
}

TEST(ReduceColors, NoneCopiesInTheSourcesOwnFormat)
{
    TBitmap source(3, 2, TPixelFormat::pf4bit);
    source.ScanLine(1)[0] = 0x5A;
    for (TDitherMethod dither : {dmNearest, TDitherMethod(99)}) {
        const auto copy = ReduceColors(source, crNone, dither);
        EXPECT_EQ(copy->PixelFormat(), TPixelFormat::pf4bit);
        EXPECT_EQ(copy->ScanLine(1)[0], 0x5A);
        EXPECT_TRUE(copy->Palette()->SameEntries(*source.Palette()));
        EXPECT_NE(copy->Palette(), source.Palette());
    }
    TBitmap deep(2, 2, TPixelFormat::pf16bit);
    EXPECT_EQ(ReduceColors(deep, crNone, dmNearest)->PixelFormat(), TPixelFormat::pf16bit);
}

struct FixedCase {
    const char* name;
    TReductionMethod method;
    Rgb colour;
    int index;
    std::function<std::unique_ptr<TPalette>()> palette;
};

class ReduceToFixedPalette : public testing::TestWithParam<FixedCase> {};

TEST_P(ReduceToFixedPalette, MapsToTheEntryAndKeepsThePalette)
{
    const auto source = rowOf({GetParam().colour});
    const auto result = ReduceColors(*source, GetParam().method, dmNearest);
    ASSERT_EQ(result->PixelFormat(), TPixelFormat::pf8bit);
    ASSERT_EQ(result->Width(), 1);
    EXPECT_EQ(indicesOf(*result), std::vector<int>{GetParam().index});
    const auto expected = GetParam().palette();
    ASSERT_EQ(result->Palette()->Count(), 256);
    for (int i = 0; i < 256; ++i) {
        const Rgb want = i < expected->Count()
                             ? Rgb{expected->Entry(i).peRed, expected->Entry(i).peGreen, expected->Entry(i).peBlue}
                             : Rgb{0, 0, 0};
        ASSERT_EQ(entry(*result, i), want) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, ReduceToFixedPalette,
    testing::Values(FixedCase{"system20", crSystem20, {192, 220, 192}, 8, [] { return DefaultPalette().Clone(); }},
                    FixedCase{"halftone", crHalftone256, {51, 102, 153}, 10 + 36 + 12 + 3, CreateHalftonePalette},
                    FixedCase{"gray4", crGray4, {130, 120, 140}, 1, WindowsGrayPalette},
                    FixedCase{"blackWhite", crBlackWhite, {255, 255, 255}, 1, BlackWhitePalette},
                    FixedCase{"gray256", crGray256, {100, 100, 100}, 100, Gray256Palette},
                    FixedCase{"netscape", crNetscape216, {51, 102, 153}, 36 + 12 + 3, NetscapePalette}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ReduceColors, BlackAndWhiteSplitsAtTheWeightedThreshold)
{
    const auto source = rowOf({{127, 127, 127}, {0, 169, 247}, {255, 0, 0}, {0, 255, 0}});
    EXPECT_EQ(indicesOf(*ReduceColors(*source, crBlackWhite, dmNearest)), (std::vector<int>{0, 1, 0, 1}));
}

TEST(ReduceColors, QuantizingFewColoursReproducesThemExactlyEvenWhenDithered)
{
    const std::vector<Rgb> colours{{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {128, 128, 128}};
    const auto source = filledBitmap(7, 5, [&](int x, int y) { return colours[size_t(x * y + x) % 4]; });
    for (TDitherMethod dither : {dmNearest, dmFloydSteinberg, dmStucki, dmSteveArche}) {
        const auto result = ReduceColors(*source, crQuantize, dither, nullptr, 2);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(entry(*result, result->ScanLine(y)[x]), colours[size_t(x * y + x) % 4]) << int(dither);
    }
}

TEST(ReduceColors, OneColourLandsInEntryZero)
{
    const auto source = filledBitmap(4, 3, [](int, int) { return Rgb{12, 34, 56}; });
    const auto result = ReduceColors(*source, crQuantize, dmFloydSteinberg, nullptr, 8);
    EXPECT_EQ(indicesOf(*result), std::vector<int>(12, 0));
    EXPECT_EQ(entry(*result, 0), (Rgb{12, 34, 56}));
    EXPECT_EQ(entry(*result, 1), (Rgb{0, 0, 0}));
}

TEST(ReduceColors, QuantizeSystemPutsImageColoursBetweenTheSystemColours)
{
    const auto source = rowOf({{200, 100, 50}, {10, 20, 30}, {60, 180, 90}, {255, 255, 255}});
    const auto result = ReduceColors(*source, crQuantizeSystem, dmNearest);
    // White is a system colour (entry 255) and also a computed one; the lower entry wins.
    EXPECT_EQ(indicesOf(*result), (std::vector<int>{12, 10, 11, 13}));
    EXPECT_EQ(entry(*result, 12), (Rgb{200, 100, 50}));
    EXPECT_EQ(entry(*result, 13), (Rgb{255, 255, 255}));
    EXPECT_EQ(entry(*result, 255), (Rgb{255, 255, 255}));
    EXPECT_EQ(entry(*result, 7), (Rgb{192, 192, 192}));
}

TEST(ReduceColors, TheCallersPaletteIsUsedAsGiven)
{
    const TPalette palette({{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}});
    TBitmap source(3, 1, TPixelFormat::pf8bit);
    source.SetPalette(palette.Clone());
    source.ScanLine(0)[0] = 2;
    source.ScanLine(0)[1] = 0;
    source.ScanLine(0)[2] = 1;
    const auto result = ReduceColors(source, crPalette, dmNearest, &palette);
    EXPECT_EQ(indicesOf(*result), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(entry(*result, 1), (Rgb{255, 0, 0}));
}

TEST(ReduceColors, EveryDitherKeepsTheAverageBrightness)
{
    // Grey 100 in black and white: about 100 / 255 of the pixels white.
    const auto source = filledBitmap(40, 40, [](int, int) { return Rgb{100, 100, 100}; });
    for (TDitherMethod dither : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes}) {
        const std::vector<int> indices = indicesOf(*ReduceColors(*source, crBlackWhite, dither));
        const double white = double(std::count(indices.begin(), indices.end(), 1)) / double(indices.size());
        EXPECT_NEAR(white, 100.0 / 255.0, 0.03) << int(dither);
    }
    const std::vector<int> nearest = indicesOf(*ReduceColors(*source, crBlackWhite, dmNearest));
    EXPECT_EQ(std::count(nearest.begin(), nearest.end(), 1), 0);
}

TEST(ReduceColors, EmptyBitmapsGiveEmptyResults)
{
    const TPalette palette({{1, 2, 3, 0}});
    for (const TBitmap* source : {new TBitmap(), new TBitmap(0, 5), new TBitmap(5, 0)}) {
        const std::unique_ptr<const TBitmap> owned(source);
        for (int method = crSystem20; method <= crPalette; ++method)
            for (TDitherMethod dither : {dmNearest, dmFloydSteinberg, dmBurkes})
                EXPECT_TRUE(ReduceColors(*source, TReductionMethod(method), dither, &palette)->Empty()) << method;
    }
}

TEST(ReduceColors, BadArgumentsAreReportedNotReturnedAsEmptyBitmaps)
{
    const auto source = rowOf({{1, 2, 3}});
    EXPECT_EQ(messageOf<GIFException>([&] { ReduceColors(*source, TReductionMethod(11), dmNearest); }),
              "Invalid color reduction method");
    EXPECT_EQ(messageOf<GIFException>([&] { ReduceColors(*source, crGray256, TDitherMethod(8)); }),
              "Invalid dithering method");
    EXPECT_EQ(messageOf<GIFException>([&] { ReduceColors(*source, crPalette, dmNearest, nullptr); }),
              "No palette given for color reduction");
    for (TReductionMethod method : {crQuantize, crQuantizeRefined})
        for (int bits : {0, 9, -1})
            EXPECT_EQ(messageOf<GIFException>([&] { ReduceColors(*source, method, dmNearest, nullptr, bits); }),
                      "Reduction bit depth must be 1 to 8");
    // Methods that do not quantize ignore the depth.
    EXPECT_EQ(ReduceColors(*source, crGray256, dmNearest, nullptr, 0)->Width(), 1);
    EXPECT_EQ(ReduceColors(*source, crQuantizeSystem, dmNearest, nullptr, 12)->Width(), 1);
}

TEST(ReduceColors, RefinedPaletteOfAFewColoursIsExactlyThoseColours)
{
    const std::vector<Rgb> colours{{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {128, 128, 128}, {0, 0, 0}};
    const auto source = filledBitmap(9, 7, [&](int x, int y) { return colours[size_t(x * 3 + y) % 5]; });
    for (TDitherMethod dither : {dmNearest, dmFloydSteinberg, dmSerpentine}) {
        const auto result = ReduceColors(*source, crQuantizeRefined, dither, nullptr, 3);
        std::set<Rgb> entries;
        for (int i = 0; i < 5; ++i)
            entries.insert(entry(*result, i));
        EXPECT_EQ(entries, std::set<Rgb>(colours.begin(), colours.end())) << int(dither);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                const int index = result->ScanLine(y)[x];
                ASSERT_LT(index, 5);
                ASSERT_EQ(entry(*result, index), colours[size_t(x * 3 + y) % 5]) << int(dither);
            }
    }
}

TEST(ReduceColors, RefinedTakesTheDepthsPaletteSizeAndTinyBitmaps)
{
    const auto gradient = filledBitmap(40, 30, [](int x, int y) { return Rgb{x * 6, y * 8, (x + y) * 3}; });
    const auto four = ReduceColors(*gradient, crQuantizeRefined, dmSerpentine, nullptr, 2);
    std::set<int> used;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            used.insert(four->ScanLine(y)[x]);
    EXPECT_EQ(used, (std::set<int>{0, 1, 2, 3}));

    const auto one = ReduceColors(*rowOf({{9, 99, 199}}), crQuantizeRefined, dmSerpentine);
    EXPECT_EQ(one->ScanLine(0)[0], 0);
    EXPECT_EQ(entry(*one, 0), (Rgb{9, 99, 199}));
    EXPECT_TRUE(ReduceColors(TBitmap(), crQuantizeRefined, dmSerpentine)->Empty());
}

} // namespace
