#include "gif/RefinedQuantizer.h"

#include "gif/GIFException.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

uint32_t packed(const Rgb& c)
{
    return PackRgb(uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]));
}

std::set<uint32_t> coloursOf(const RefinedPalette& palette)
{
    std::set<uint32_t> colours;
    for (const TPaletteEntry& e : palette.entries)
        colours.insert(PackRgb(e.peRed, e.peGreen, e.peBlue));
    return colours;
}

// The histogram of the pixels, in the order CountColors gives.
std::vector<ColorCount> histogramOf(const std::vector<Rgb>& pixels)
{
    std::map<uint32_t, uint32_t> counts;
    for (const Rgb& p : pixels)
        ++counts[packed(p)];
    std::vector<ColorCount> histogram;
    for (const auto& [rgb, count] : counts)
        histogram.push_back({rgb, count});
    return histogram;
}

// Pixels spread evenly within +-spread of each centre, count of them per centre.
std::vector<Rgb> clusters(const std::vector<Rgb>& centres, int spread, int count, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> offset(-spread, spread);
    std::vector<Rgb> pixels;
    for (const Rgb& c : centres)
        for (int i = 0; i < count; ++i)
            pixels.push_back({c[0] + offset(random), c[1] + offset(random), c[2] + offset(random)});
    return pixels;
}

struct FewColoursCase {
    const char* name;
    int distinct;
    int paletteSize;
};

class RefineFewColours : public testing::TestWithParam<FewColoursCase> {};

TEST_P(RefineFewColours, GivesExactlyTheImagesColoursWithoutError)
{
    std::vector<Rgb> pixels;
    std::set<uint32_t> wanted;
    for (int i = 0; i < GetParam().distinct; ++i) {
        const Rgb c{(i * 37) % 256, (i * 91) % 256, (i * 53 + 7) % 256};
        wanted.insert(packed(c));
        pixels.insert(pixels.end(), size_t(1 + i % 5), c);
    }
    const RefinedPalette palette = RefineColors(histogramOf(pixels), GetParam().paletteSize, 1);
    EXPECT_EQ(palette.entries.size(), wanted.size());
    EXPECT_EQ(coloursOf(palette), wanted);
    EXPECT_EQ(palette.errors.back(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RefineFewColours,
                         testing::Values(FewColoursCase{"one", 1, 256}, FewColoursCase{"seven", 7, 256},
                                         FewColoursCase{"aFullPalette", 256, 256},
                                         FewColoursCase{"asManyAsTwoBits", 4, 4}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(RefineColors, TwoSeparateClustersGetCentresAtTheirMeans)
{
    const std::vector<Rgb> centres{{40, 60, 200}, {210, 180, 30}};
    const std::vector<Rgb> pixels = clusters(centres, 25, 3000);
    const RefinedPalette palette = RefineColors(histogramOf(pixels), 2, 1);
    ASSERT_EQ(palette.entries.size(), 2u);
    for (size_t c = 0; c < 2; ++c) {
        double mean[3] = {};
        for (size_t i = c * 3000; i < (c + 1) * 3000; ++i)
            for (size_t k = 0; k < 3; ++k)
                mean[k] += pixels[i][k] / 3000.0;
        // Either entry may serve either cluster.
        const auto near = [&](const TPaletteEntry& e) {
            return std::abs(e.peRed - mean[0]) <= 1 && std::abs(e.peGreen - mean[1]) <= 1 &&
                   std::abs(e.peBlue - mean[2]) <= 1;
        };
        EXPECT_TRUE(near(palette.entries[0]) || near(palette.entries[1])) << "cluster " << c;
    }
}

TEST(RefineColors, ErrorNeverRisesAndEndsBelowTheInitialPalette)
{
    const std::vector<Rgb> pixels =
        clusters({{20, 20, 20}, {90, 140, 60}, {200, 100, 150}, {240, 230, 210}, {60, 90, 220}}, 40, 2000);
    const RefinedPalette palette = RefineColors(histogramOf(pixels), 16, 1);
    ASSERT_GT(palette.errors.size(), 2u);
    for (size_t i = 1; i < palette.errors.size(); ++i)
        EXPECT_LE(palette.errors[i], palette.errors[i - 1]) << "pass " << i;
    EXPECT_LT(palette.errors.back(), palette.errors.front());
}

TEST(RefineColors, CentresWithoutColoursMoveToTheWorstServed)
{
    // Two seeds lie far from every colour: without reseeding they would stay unused.
    const std::vector<Rgb> pixels = clusters({{30, 30, 30}, {90, 30, 30}, {30, 90, 30}}, 12, 500);
    const std::vector<TPaletteEntry> seed{{40, 40, 40, 0}, {45, 45, 45, 0}, {255, 255, 255, 0}, {250, 0, 250, 0}};
    const RefinedPalette palette = RefineColors(histogramOf(pixels), 4, 1, seed);
    ASSERT_EQ(palette.entries.size(), 4u);
    for (const TPaletteEntry& e : palette.entries) {
        EXPECT_LE(e.peRed, 110);
        EXPECT_LE(e.peGreen, 110);
        EXPECT_LE(e.peBlue, 50);
    }
    const RefinedPalette three = RefineColors(histogramOf(pixels), 3, 1);
    EXPECT_LT(palette.errors.back(), three.errors.back());
}

TEST(RefineColors, SameResultForAnyNumberOfThreads)
{
    // Enough colours for several chunks of work.
    const std::vector<ColorCount> histogram =
        histogramOf(clusters({{60, 80, 100}, {180, 120, 60}, {120, 200, 220}}, 60, 20000, 7));
    ASSERT_GT(histogram.size(), 20000u);
    const RefinedPalette one = RefineColors(histogram, 64, 1);
    for (int threads : {2, 3}) {
        const RefinedPalette many = RefineColors(histogram, 64, threads);
        EXPECT_EQ(many.entries, one.entries) << threads;
        EXPECT_EQ(many.errors, one.errors) << threads;
    }
}

TEST(RefineColors, RefusesPaletteSizesOutsideOneTo256)
{
    const std::vector<ColorCount> histogram{{0x102030, 5}};
    for (int size : {0, 257})
        EXPECT_EQ(messageOf<GIFException>([&] { RefineColors(histogram, size, 1); }),
                  "Optimized palette size must be 1 to 256");
    EXPECT_TRUE(RefineColors({}, 256, 1).entries.empty());
}

} // namespace
