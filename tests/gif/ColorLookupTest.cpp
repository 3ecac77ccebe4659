#include "gif/ColorLookup.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Palette.h"
#include "gif/FixedPalettes.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace {

struct Match {
    int index;
    int r, g, b;
    friend bool operator==(const Match&, const Match&) = default;
};

std::ostream& operator<<(std::ostream& out, const Match& m)
{
    return out << m.index << " (" << m.r << ", " << m.g << ", " << m.b << ")";
}

Match match(TColorLookup& lookup, int red, int green, int blue)
{
    uint8_t r = 1, g = 2, b = 3;
    const int index = lookup.MatchColor(uint8_t(red), uint8_t(green), uint8_t(blue), r, g, b);
    return {index, r, g, b};
}

TPalette palette(std::vector<TPaletteEntry> entries)
{
    return TPalette(std::move(entries));
}

TEST(NetscapeColorLookup, LevelsChangeHalfwayBetweenCubeSteps)
{
    TNetscapeColorLookup lookup;
    EXPECT_EQ(lookup.Colors(), 216);
    EXPECT_EQ(match(lookup, 47, 0, 0), (Match{0, 0, 0, 0}));
    EXPECT_EQ(match(lookup, 48, 0, 0), (Match{36, 51, 0, 0}));
    EXPECT_EQ(match(lookup, 0, 48, 47), (Match{6, 0, 51, 0}));
    EXPECT_EQ(match(lookup, 255, 255, 255), (Match{215, 255, 255, 255}));
    EXPECT_EQ(match(lookup, 0, 0, 0), (Match{0, 0, 0, 0}));
}

TEST(GrayScaleLookup, WeightsGreenMost)
{
    TGrayScaleLookup lookup;
    EXPECT_EQ(lookup.Colors(), 256);
    EXPECT_EQ(match(lookup, 255, 255, 255), (Match{255, 255, 255, 255}));
    EXPECT_EQ(match(lookup, 255, 0, 0), (Match{76, 76, 76, 76}));
    EXPECT_EQ(match(lookup, 0, 255, 0), (Match{149, 149, 149, 149}));
    EXPECT_EQ(match(lookup, 0, 0, 255), (Match{28, 28, 28, 28}));
}

TEST(MonochromeLookup, WhiteOnlyAboveTheThreshold)
{
    TMonochromeLookup lookup;
    EXPECT_EQ(lookup.Colors(), 2);
    // 256 x 127 = 32512, the threshold itself; 150 x 169 + 29 x 247 = 32513.
    EXPECT_EQ(match(lookup, 127, 127, 127), (Match{0, 0, 0, 0}));
    EXPECT_EQ(match(lookup, 0, 169, 247), (Match{1, 255, 255, 255}));
}

TEST(FixedPalettes, ComputedLookupsAnswerWithTheirPalettesEntries)
{
    struct Pair {
        std::unique_ptr<TPalette> palette;
        std::unique_ptr<TColorLookup> lookup;
    };
    Pair pairs[3] = {{NetscapePalette(), std::make_unique<TNetscapeColorLookup>()},
                     {Gray256Palette(), std::make_unique<TGrayScaleLookup>()},
                     {BlackWhitePalette(), std::make_unique<TMonochromeLookup>()}};
    for (Pair& pair : pairs) {
        ASSERT_EQ(pair.palette->Count(), pair.lookup->Colors());
        for (int r = 0; r < 256; r += 15)
            for (int g = 0; g < 256; g += 17)
                for (int b = 0; b < 256; b += 51) {
                    const Match m = match(*pair.lookup, r, g, b);
                    const TPaletteEntry& e = pair.palette->Entry(m.index);
                    ASSERT_EQ((Match{m.index, e.peRed, e.peGreen, e.peBlue}), m) << r << " " << g << " " << b;
                }
    }
}

TEST(FixedPalettes, GreysDoNotCollapseAndTheCubeHasNoFlags)
{
    const auto gray4 = WindowsGrayPalette();
    ASSERT_EQ(gray4->Count(), 4);
    const int levels[] = {0, 128, 192, 255};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(gray4->Entry(i),
                  (TPaletteEntry{uint8_t(levels[i]), uint8_t(levels[i]), uint8_t(levels[i]), pcNoCollapse}));
    EXPECT_EQ(BlackWhitePalette()->Entry(1), (TPaletteEntry{255, 255, 255, pcNoCollapse}));
    EXPECT_EQ(Gray256Palette()->Entry(77), (TPaletteEntry{77, 77, 77, pcNoCollapse}));
    EXPECT_EQ(NetscapePalette()->Entry(36 * 1 + 6 * 2 + 3), (TPaletteEntry{51, 102, 153, 0}));
}

TEST(FixedPalettes, HalftoneNeedsADeviceContext)
{
    EXPECT_TRUE(WindowsHalftonePalette()->SameEntries(HalftonePalette()));
    errno = ENOMEM;
    EXPECT_EQ(messageOf<EOutOfResources>([] { WindowsHalftonePalette(0); }), std::strerror(ENOMEM));
    errno = 0;
    EXPECT_EQ(messageOf<EOutOfResources>([] { WindowsHalftonePalette(0); }), "Out of system resources");
}

TEST(FastColorLookup, CountsThePalettesEntries)
{
    const TPalette three = palette({{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}});
    EXPECT_EQ(TFastColorLookup(&three).Colors(), 3);
    EXPECT_EQ(TFastColorLookup(nullptr).Colors(), 0);
}

TEST(FastColorLookup, NearestBySumOfDifferencesLowestIndexOnTies)
{
    // Red 40 is 40 from entry 0 and 30 + 10 from entry 1: equal sums, so entry 0, though
    // squared distances would pick entry 1.
    const TPalette p = palette({{0, 0, 0, 0}, {70, 10, 0, 0}, {60, 20, 20, 0}});
    TFastColorLookup lookup(&p);
    EXPECT_EQ(match(lookup, 40, 0, 0), (Match{0, 0, 0, 0}));
    EXPECT_EQ(match(lookup, 66, 0, 0), (Match{1, 70, 10, 0}));
}

TEST(FastColorLookup, DuplicateEntriesGiveTheLowerIndex)
{
    const TPalette p = palette({{200, 0, 0, 0}, {50, 60, 70, 0}, {50, 60, 70, 0}});
    TFastColorLookup lookup(&p);
    EXPECT_EQ(match(lookup, 50, 60, 70).index, 1);
    EXPECT_EQ(match(lookup, 90, 90, 90).index, 1);
    EXPECT_EQ(match(lookup, 30, 40, 50).index, 1);
}

TEST(FastColorLookup, TheFirstColourAskedInACellDecidesForTheWholeCell)
{
    // Red 8 and red 15 share the cell of reds 8 .. 15; alone, 8 is nearest entry 0 and
    // 15 nearest entry 1.
    const TPalette p = palette({{0, 0, 0, 0}, {20, 0, 0, 0}});
    TFastColorLookup lowFirst(&p);
    EXPECT_EQ(match(lowFirst, 8, 0, 0).index, 0);
    EXPECT_EQ(match(lowFirst, 15, 0, 0), (Match{0, 0, 0, 0}));
    TFastColorLookup highFirst(&p);
    EXPECT_EQ(match(highFirst, 15, 0, 0).index, 1);
    EXPECT_EQ(match(highFirst, 8, 7, 7), (Match{1, 20, 0, 0}));
    EXPECT_EQ(highFirst.CachedIndex(TFastColorLookup::Cell(8, 0, 0)), 1);
    EXPECT_EQ(highFirst.CachedIndex(TFastColorLookup::Cell(40, 0, 0)), -1);
}

TEST(FastColorLookup, PaletteColoursOwnTheirCellsFromTheStart)
{
    // Entries 0 and 1 share cell 0: entry 0 owns it, even for entry 1's exact colour.
    // Entry 2's cell is never searched, though entry 3 is nearer to a colour asked there.
    const TPalette p = palette({{0, 0, 0, 0}, {7, 7, 7, 0}, {100, 0, 0, 0}, {103, 0, 0, 0}});
    TFastColorLookup lookup(&p);
    EXPECT_EQ(lookup.CachedIndex(0), 0);
    EXPECT_EQ(lookup.CachedIndex(TFastColorLookup::Cell(100, 0, 0)), 2);
    EXPECT_EQ(lookup.CachedIndex(TFastColorLookup::Cell(200, 0, 0)), -1);
    EXPECT_EQ(match(lookup, 7, 7, 7), (Match{0, 0, 0, 0}));
    EXPECT_EQ(match(lookup, 103, 0, 0).index, 2);
}

// Brute force over every entry: least squared distance, lowest index among equals.
Match nearestByHand(const TPalette& p, int red, int green, int blue)
{
    Match best{-1, 0, 0, 0};
    int bestDistance = 1 << 30;
    for (int i = 0; i < p.Count(); ++i) {
        const TPaletteEntry& e = p.Entry(i);
        const int d = (e.peRed - red) * (e.peRed - red) + (e.peGreen - green) * (e.peGreen - green) +
                      (e.peBlue - blue) * (e.peBlue - blue);
        if (d < bestDistance) {
            bestDistance = d;
            best = {i, e.peRed, e.peGreen, e.peBlue};
        }
    }
    return best;
}

TEST(NearestColorLookup, AnswersAsAFullSearchWouldForAnyPalette)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> level(0, 255);
    for (int size : {1, 2, 17, 256}) {
        std::vector<TPaletteEntry> entries;
        for (int i = 0; i < size; ++i)
            entries.push_back({uint8_t(level(random)), uint8_t(level(random)), uint8_t(level(random)), 0});
        // Close and equal entries make ties and crowded cells.
        if (size > 2) {
            entries[1] = entries[0];
            entries[2] = {uint8_t(entries[0].peRed ^ 1), entries[0].peGreen, entries[0].peBlue, 0};
        }
        const TPalette p(entries);
        NearestColorLookup lookup(&p);
        EXPECT_EQ(lookup.Colors(), size);
        for (int n = 0; n < 20000; ++n) {
            const int r = level(random), g = level(random), b = level(random);
            ASSERT_EQ(match(lookup, r, g, b), nearestByHand(p, r, g, b)) << size << ": " << r << " " << g << " " << b;
        }
        // Every colour of the first entry's neighbourhood, once its cells hold lists.
        const TPaletteEntry& e = entries[0];
        for (int dr = -6; dr <= 6; ++dr)
            for (int dg = -6; dg <= 6; ++dg) {
                const int r = std::clamp(e.peRed + dr, 0, 255), g = std::clamp(e.peGreen + dg, 0, 255);
                ASSERT_EQ(match(lookup, r, g, e.peBlue), nearestByHand(p, r, g, e.peBlue)) << size;
            }
    }
    EXPECT_EQ(NearestColorLookup(nullptr).Colors(), 0);
}

} // namespace
