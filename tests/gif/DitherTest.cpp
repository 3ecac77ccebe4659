#include "gif/Dither.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Palette.h"
#include "gif/ColorLookup.h"
#include "gif/GIFException.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

namespace {

// Delivers a colour chosen by the test and records every colour it is asked. Calls
// listed in the script deliver their colour; all others deliver fallback(asked).
class ScriptedLookup : public TColorLookup {
public:
    explicit ScriptedLookup(std::function<Rgb(const Rgb&)> fallback) : TColorLookup(256), m_fallback(fallback) {}

    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override
    {
        const Rgb colour{red, green, blue};
        const auto scripted = script.find(int(asked.size()));
        const Rgb delivered = scripted != script.end() ? scripted->second : m_fallback(colour);
        asked.push_back(colour);
        r = uint8_t(delivered[0]);
        g = uint8_t(delivered[1]);
        b = uint8_t(delivered[2]);
        return 0;
    }

    std::vector<int> askedReds() const
    {
        std::vector<int> reds;
        for (const Rgb& c : asked)
            reds.push_back(c[0]);
        return reds;
    }

    std::map<int, Rgb> script;
    std::vector<Rgb> asked;

private:
    std::function<Rgb(const Rgb&)> m_fallback;
};

const Rgb Black{0, 0, 0};
const Rgb White{255, 255, 255};

ScriptedLookup blackLookup()
{
    return ScriptedLookup([](const Rgb&) { return Black; });
}
ScriptedLookup whiteLookup()
{
    return ScriptedLookup([](const Rgb&) { return White; });
}
ScriptedLookup exactLookup()
{
    return ScriptedLookup([](const Rgb& c) { return c; });
}

// Maps one row in the engine's order with the given reds (green and blue as given, 0 by
// default), then ends it; returns the columns in the order they were mapped.
std::vector<int> mapRow(TDitherEngine& engine, const std::vector<int>& reds, int greenBlue = 0, bool endRow = true)
{
    std::vector<int> columns;
    while (engine.Column() >= 0 && engine.Column() < engine.Width()) {
        const int x = engine.Column();
        columns.push_back(x);
        uint8_t r, g, b;
        engine.MapPixel(uint8_t(reds[size_t(x)]), uint8_t(greenBlue), uint8_t(greenBlue), r, g, b);
    }
    if (endRow)
        engine.EndRow();
    return columns;
}

std::vector<int32_t> redErrors(const TFloydSteinbergDitherer& engine)
{
    std::vector<int32_t> entries;
    for (int i = 0; i < engine.Width() + 2; ++i)
        entries.push_back(engine.Error(0, i));
    return entries;
}

std::vector<int32_t> redErrors(const KernelDitherer& engine, int row)
{
    std::vector<int32_t> entries;
    for (int i = 0; i < engine.Width() + 2 * engine.Padding(); ++i)
        entries.push_back(engine.Error(row, 0, i));
    return entries;
}

// Every error sum of every row and channel.
std::vector<int32_t> allErrors(const KernelDitherer& engine)
{
    std::vector<int32_t> all;
    for (int row = 0; row < engine.Rows(); ++row)
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < engine.Width() + 2 * engine.Padding(); ++i)
                all.push_back(engine.Error(row, c, i));
    return all;
}

const TDitherMethod AllMethods[] = {dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes};
const TDitherMethod KernelMethods[] = {dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes};

TEST(DitherEngine, EveryEngineWalksTheRowsInSerpentineOrder)
{
    for (TDitherMethod method : AllMethods) {
        ScriptedLookup lookup = blackLookup();
        auto engine = CreateDitherEngine(method, 3, lookup);
        const std::vector<int> reds(3, 100);
        EXPECT_EQ(mapRow(*engine, reds), (std::vector<int>{0, 1, 2})) << int(method);
        EXPECT_EQ(mapRow(*engine, reds), (std::vector<int>{2, 1, 0})) << int(method);
        EXPECT_EQ(mapRow(*engine, reds), (std::vector<int>{0, 1, 2})) << int(method);
        EXPECT_EQ(engine->Step(), -1);
    }
}

TEST(DitherEngine, NearestDiffusesNothing)
{
    ScriptedLookup lookup = blackLookup();
    TDitherEngine engine(2, lookup);
    mapRow(engine, {200, 100});
    mapRow(engine, {7, 9});
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{200, 100, 9, 7}));
}

TEST(DitherEngine, FactoryKnowsTheEightMethodsOnly)
{
    ScriptedLookup lookup = blackLookup();
    const char* names[] = {"TDitherEngine",   "TFloydSteinbergDitherer", "TStuckiDitherer", "TSierraDitherer",
                           "TJaJuNiDitherer", "TSteveArcheDitherer",     "TBurkesDitherer"};
    for (TDitherMethod method : AllMethods)
        EXPECT_EQ(CreateDitherEngine(method, 4, lookup)->ClassName(), names[method]);
    EXPECT_EQ(CreateDitherEngine(dmSerpentine, 4, lookup)->ClassName(), "SerpentineDitherer");
    EXPECT_EQ(messageOf<GIFException>([&] { CreateDitherEngine(TDitherMethod(8), 4, lookup); }),
              "Invalid dithering method");
}

TEST(DitherEngine, ZeroWidthMapsNothingNegativeWidthIsRefused)
{
    ScriptedLookup lookup = blackLookup();
    for (TDitherMethod method : AllMethods) {
        auto engine = CreateDitherEngine(method, 0, lookup);
        EXPECT_TRUE(mapRow(*engine, {}).empty());
        EXPECT_TRUE(mapRow(*engine, {}).empty());
        EXPECT_THROW(CreateDitherEngine(method, -1, lookup), GIFException);
    }
    EXPECT_TRUE(lookup.asked.empty());
}

TEST(DitherEngine, SkipColumnLeavesTheErrorCursorsWhereTheyAre)
{
    ScriptedLookup lookup = blackLookup();
    TFloydSteinbergDitherer fs(3, lookup);
    TBurkesDitherer burkes(3, lookup);
    uint8_t r, g, b;
    fs.MapPixel(10, 0, 0, r, g, b);
    burkes.MapPixel(10, 0, 0, r, g, b);
    fs.SkipColumn();
    burkes.SkipColumn();
    EXPECT_EQ(fs.Column(), 2);
    EXPECT_EQ(fs.Cursor(), 1);
    EXPECT_EQ(burkes.Column(), 2);
    EXPECT_EQ(burkes.Cursor(), 3);
    // Column 2 reads the entries of column 1.
    fs.MapPixel(0, 0, 0, r, g, b);
    EXPECT_EQ(lookup.askedReds().back(), (70 + 8) / 16);
    EXPECT_EQ(fs.Cursor(), 2);
    // The row is done: mapping past its end would run the cursors off their buffers.
    EXPECT_THROW(fs.MapPixel(0, 0, 0, r, g, b), EInvalidGraphicOperation);
    burkes.SkipColumn();
    EXPECT_THROW(burkes.MapPixel(0, 0, 0, r, g, b), EInvalidGraphicOperation);
}

TEST(FloydSteinberg, FirstRowsFollowTheCursorRules)
{
    ScriptedLookup lookup = blackLookup();
    TFloydSteinbergDitherer engine(3, lookup);
    // Column 0 sends 3e to its own entry, 5e and e on as partial sums, 7e to column 1.
    mapRow(engine, {10, 20, 0}, 0, false);
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{10, 20 + (70 + 8) / 16, (168 + 8) / 16}));
    EXPECT_EQ(redErrors(engine), (std::vector<int32_t>{30, 50 + 72, 130 + 33, 0, 0}));
    EXPECT_EQ(engine.Carry(0), 77);
    EXPECT_EQ(engine.Below(0), 11);
    EXPECT_EQ(engine.BelowBehind(0), 79);
    EXPECT_EQ(engine.Cursor(), 3);

    engine.EndRow();
    EXPECT_EQ(redErrors(engine), (std::vector<int32_t>{30, 122, 163, 79, 0}));
    EXPECT_EQ(engine.Carry(0) | engine.Below(0) | engine.BelowBehind(0), 0);
    EXPECT_EQ(engine.Cursor(), 4);
    EXPECT_EQ(engine.Column(), 2);

    // Right to left from entry 4: column c reads entry c + 2.
    lookup.asked.clear();
    mapRow(engine, {0, 0, 0});
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{0, (79 + 8) / 16, (163 + 35 + 8) / 16}));
    EXPECT_EQ(redErrors(engine), (std::vector<int32_t>{30, 65, 25 + 36, 15, 0}));
    EXPECT_EQ(engine.Cursor(), 0);
    EXPECT_EQ(engine.Error(1, 2), 0);
}

struct RoundingCase {
    const char* name;
    std::vector<int> row0;
    std::vector<int> asked; // both rows, in mapping order
};

class FloydSteinbergRounding : public testing::TestWithParam<RoundingCase> {};

TEST_P(FloydSteinbergRounding, NegativeSumsTruncateTowardZero)
{
    ScriptedLookup lookup = whiteLookup();
    TFloydSteinbergDitherer engine(2, lookup);
    mapRow(engine, GetParam().row0, 255);
    mapRow(engine, {255, 255}, 255);
    EXPECT_EQ(lookup.askedReds(), GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(Sums, FloydSteinbergRounding,
                         testing::Values(
                             // Carry -7 reaches column 1: (-7 + 8) / 16 = 0.
                             RoundingCase{"minus7", {254, 255}, {254, 255, 255, 255}},
                             // Column 0 of row 1 reads -4 + 5 x -1 = -9: (-9 + 8) / 16 = 0, not -1.
                             RoundingCase{"minus9", {251, 255}, {251, 254, 255, 255}},
                             // -5 + 5 x -4 = -25: (-25 + 8) / 16 = -1, not -2.
                             RoundingCase{"minus25", {250, 252}, {250, 251, 255, 254}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(FloydSteinberg, CorrectedValuesAreClampedAndTheErrorTakenFromThem)
{
    ScriptedLookup black = blackLookup();
    TFloydSteinbergDitherer high(2, black);
    mapRow(high, {255, 255}, 0, false);
    EXPECT_EQ(black.askedReds(), (std::vector<int>{255, 255}));
    EXPECT_EQ(high.Carry(0), 7 * 255);

    ScriptedLookup white = whiteLookup();
    TFloydSteinbergDitherer low(2, white);
    mapRow(low, {0, 0}, 255, false);
    EXPECT_EQ(white.askedReds(), (std::vector<int>{0, 0}));
    EXPECT_EQ(low.Carry(0), -7 * 255);
    EXPECT_EQ(low.BelowBehind(0), -255 + 5 * -255);
}

TEST(FloydSteinberg, AnExactColourClearsOnlyTheCarry)
{
    ScriptedLookup lookup = exactLookup();
    lookup.script[0] = Black;
    TFloydSteinbergDitherer engine(3, lookup);
    mapRow(engine, {10, 20, 30}, 0, false);
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{10, 24, 30}));
    EXPECT_EQ(redErrors(engine), (std::vector<int32_t>{30, 0, 0, 0, 0}));
    EXPECT_EQ(engine.Carry(0), 0);
    EXPECT_EQ(engine.Below(0), 10);
    EXPECT_EQ(engine.BelowBehind(0), 50);
}

TEST(FloydSteinberg, OnePixelWideRowsReadTheEntryOfTwoRowsBefore)
{
    // Rows run left to right read and write entry 0, the others entry 2; EndRow stores
    // into entry 1, which no pixel reads.
    ScriptedLookup lookup = blackLookup();
    TFloydSteinbergDitherer engine(1, lookup);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(mapRow(engine, {16}), std::vector<int>{0});
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{16, 16, 16 + 3, 16 + 3}));
    EXPECT_EQ(engine.Error(0, 1), 5 * 19);
}

struct KernelCase {
    TDitherMethod method;
    std::vector<std::vector<int32_t>> rows; // red sums of each row after one error of 10
};

class KernelFirstRow : public testing::TestWithParam<KernelCase> {};

TEST_P(KernelFirstRow, OneErrorSpreadsByTheTapsIntoPadding)
{
    ScriptedLookup lookup = exactLookup();
    lookup.script[1] = Black;
    auto engine = CreateDitherEngine(GetParam().method, 5, lookup);
    auto& kernel = dynamic_cast<KernelDitherer&>(*engine);
    mapRow(kernel, {0, 10, 0, 0, 0}, 0, false);
    ASSERT_EQ(kernel.Rows(), int(GetParam().rows.size()));
    for (int row = 0; row < kernel.Rows(); ++row)
        EXPECT_EQ(redErrors(kernel, row), GetParam().rows[size_t(row)]) << "row " << row;
    // Columns 2 to 4 read what column 1 sent them, then deliver exactly.
    const auto& current = GetParam().rows[0];
    const int d = kernel.Divisor(), p = kernel.Padding();
    EXPECT_EQ(lookup.askedReds(),
              (std::vector<int>{0, 10, (current[size_t(p + 2)] + d / 2) / d, (current[size_t(p + 3)] + d / 2) / d, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Engines, KernelFirstRow,
    testing::Values(
        KernelCase{dmStucki,
                   {{0, 0, 0, 0, 80, 40, 0, 0, 0}, {0, 20, 40, 80, 40, 20, 0, 0, 0}, {0, 10, 20, 40, 20, 10, 0, 0, 0}}},
        KernelCase{dmSierra,
                   {{0, 0, 0, 0, 50, 30, 0, 0, 0}, {0, 20, 40, 50, 40, 20, 0, 0, 0}, {0, 0, 20, 30, 20, 0, 0, 0, 0}}},
        KernelCase{dmJaJuNi,
                   {{0, 0, 0, 0, 70, 50, 0, 0, 0}, {0, 30, 50, 70, 50, 30, 0, 0, 0}, {0, 10, 30, 50, 30, 10, 0, 0, 0}}},
        KernelCase{dmBurkes, {{0, 0, 0, 0, 80, 40, 0, 0, 0}, {0, 20, 40, 80, 40, 20, 0, 0, 0}}},
        KernelCase{dmSteveArche,
                   {{0, 0, 0, 0, 0, 0, 320, 0, 0, 0, 0},
                    {0, 120, 0, 260, 0, 300, 0, 160, 0, 0, 0},
                    {0, 0, 120, 0, 260, 0, 120, 0, 0, 0, 0},
                    {0, 50, 0, 120, 0, 120, 0, 50, 0, 0, 0}}}),
    [](const auto& testInfo) { return std::to_string(int(testInfo.param.method)); });

TEST(KernelDitherer, EndRowRotatesTheRowsAndTurnsTheCursor)
{
    ScriptedLookup lookup = exactLookup();
    lookup.script[1] = Black;
    TStuckiDitherer engine(5, lookup);
    mapRow(engine, {0, 10, 0, 0, 0});
    EXPECT_EQ(engine.Cursor(), 2 + 4);
    EXPECT_EQ(redErrors(engine, 0), (std::vector<int32_t>{0, 20, 40, 80, 40, 20, 0, 0, 0}));
    EXPECT_EQ(redErrors(engine, 1), (std::vector<int32_t>{0, 10, 20, 40, 20, 10, 0, 0, 0}));
    EXPECT_EQ(redErrors(engine, 2), std::vector<int32_t>(9, 0));
    // Right to left, column c reads entry 2 + c of the former next row.
    lookup.script.clear();
    lookup.asked.clear();
    mapRow(engine, {0, 0, 0, 0, 0});
    EXPECT_EQ(lookup.askedReds(),
              (std::vector<int>{0, (20 + 21) / 42, (40 + 21) / 42, (80 + 21) / 42, (40 + 21) / 42}));
}

TEST(KernelDitherer, RowsRunRightToLeftSpreadAheadToTheLeft)
{
    ScriptedLookup lookup = exactLookup();
    TBurkesDitherer engine(5, lookup);
    mapRow(engine, {0, 0, 0, 0, 0});
    lookup.script[5 + 1] = Black; // column 3, the second pixel of row 1
    mapRow(engine, {0, 0, 0, 10, 0}, 0, false);
    EXPECT_EQ(redErrors(engine, 0), (std::vector<int32_t>{0, 0, 0, 40, 80, 0, 0, 0, 0}));
    EXPECT_EQ(redErrors(engine, 1), (std::vector<int32_t>{0, 0, 0, 20, 40, 80, 40, 20, 0}));
}

TEST(KernelDitherer, AnExactColourLeavesEveryBufferAlone)
{
    for (TDitherMethod method : KernelMethods) {
        ScriptedLookup lookup = exactLookup();
        lookup.script[0] = Black;
        auto engine = CreateDitherEngine(method, 4, lookup);
        auto& kernel = dynamic_cast<KernelDitherer&>(*engine);
        uint8_t r, g, b;
        kernel.MapPixel(90, 60, 30, r, g, b);
        const std::vector<int32_t> before = allErrors(kernel);
        kernel.MapPixel(7, 8, 9, r, g, b);
        EXPECT_EQ(allErrors(kernel), before) << int(method);
    }
}

TEST(KernelDitherer, OnePixelWideImagesKeepErrorInColumnZeroAndPadding)
{
    ScriptedLookup lookup = blackLookup();
    TStuckiDitherer engine(1, lookup);
    mapRow(engine, {10}, 0, false);
    EXPECT_EQ(redErrors(engine, 0), (std::vector<int32_t>{0, 0, 0, 80, 40}));
    EXPECT_EQ(redErrors(engine, 1), (std::vector<int32_t>{20, 40, 80, 40, 20}));
    engine.EndRow();
    EXPECT_EQ(mapRow(engine, {10}), std::vector<int>{0});
    EXPECT_EQ(mapRow(engine, {10}), std::vector<int>{0});
    // Row 1 reads 8 x 10; row 2 reads 4 x 10 from row 0 and 8 x 12 from row 1.
    EXPECT_EQ(lookup.askedReds(), (std::vector<int>{10, 10 + (80 + 21) / 42, 10 + (40 + 96 + 21) / 42}));
}

// Maps every pixel of source through the engine; the delivered colours, row by row.
std::vector<Rgb> ditherImage(TDitherEngine& engine, int height, const std::function<Rgb(int x, int y)>& source)
{
    const int width = engine.Width();
    std::vector<Rgb> out(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        while (engine.Column() >= 0 && engine.Column() < width) {
            const int x = engine.Column();
            const Rgb c = source(x, y);
            uint8_t r, g, b;
            engine.MapPixel(uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), r, g, b);
            out[size_t(y) * size_t(width) + size_t(x)] = {r, g, b};
        }
        engine.EndRow();
    }
    return out;
}

TEST(SerpentineDitherer, AFlatColourHalfwayBetweenTwoEntriesAlternatesThemEvenly)
{
    const TPalette p({{100, 100, 100, 0}, {140, 140, 140, 0}});
    NearestColorLookup lookup(&p);
    const auto engine = CreateDitherEngine(dmSerpentine, 32, lookup);
    const std::vector<Rgb> out = ditherImage(*engine, 32, [](int, int) { return Rgb{120, 120, 120}; });
    const auto light = std::count(out.begin(), out.end(), Rgb{140, 140, 140});
    EXPECT_NEAR(double(light) / double(out.size()), 0.5, 0.02);
    int differingNeighbours = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x + 1 < 32; ++x)
            differingNeighbours += out[size_t(y * 32 + x)] != out[size_t(y * 32 + x + 1)];
    EXPECT_GT(differingNeighbours, 0.8 * 32 * 31);
}

TEST(SerpentineDitherer, EveryBlockOfAGradientKeepsItsAverageColour)
{
    // Sixteen colours along a line through the cube, and a gradient along that line.
    const auto along = [](int t) { return Rgb{t, t / 2, 255 - t}; };
    std::vector<TPaletteEntry> ramp;
    for (int i = 0; i < 16; ++i) {
        const Rgb c = along(17 * i);
        ramp.push_back({uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), 0});
    }
    const TPalette p(ramp);
    NearestColorLookup lookup(&p);
    const auto engine = CreateDitherEngine(dmSerpentine, 256, lookup);
    const auto source = [&](int x, int y) { return along((x + y) / 3); };
    const std::vector<Rgb> out = ditherImage(*engine, 128, source);
    double worst = 0;
    for (int by = 0; by < 128; by += 8)
        for (int bx = 0; bx < 256; bx += 8)
            for (size_t c = 0; c < 3; ++c) {
                double difference = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x)
                        difference += out[size_t(y * 256 + x)][c] - source(x, y)[c];
                worst = std::max(worst, std::abs(difference) / 64);
            }
    EXPECT_LE(worst, 2.0);
}

} // namespace
