#include "framework/graphics/Palette.h"

#include <gtest/gtest.h>

#include <set>

TEST(Palette, HalftoneHoldsTheStaticColoursTheCubeAndGreys)
{
    const TPalette& halftone = HalftonePalette();
    const TPalette& stock = DefaultPalette();
    ASSERT_EQ(halftone.Count(), 256);
    ASSERT_EQ(stock.Count(), 20);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(halftone.Entry(i), stock.Entry(i));
        EXPECT_EQ(halftone.Entry(246 + i), stock.Entry(10 + i));
    }
    std::set<uint32_t> colours;
    for (const TPaletteEntry& e : halftone.Entries()) {
        colours.insert(static_cast<uint32_t>(e.peRed) << 16 | e.peGreen << 8 | e.peBlue);
        EXPECT_EQ(e.peFlags, 0);
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                EXPECT_TRUE(colours.count(static_cast<uint32_t>(51 * r) << 16 | (51 * g) << 8 | (51 * b)));
    int greys = 0;
    for (int i = 226; i < 246; ++i) {
        const TPaletteEntry& e = halftone.Entry(i);
        greys += e.peRed == e.peGreen && e.peGreen == e.peBlue && e.peRed % 51 != 0;
    }
    EXPECT_EQ(greys, 20);
}

TEST(Palette, CloneIsAnotherObjectWithTheSameEntries)
{
    auto a = DefaultPalette().Clone();
    auto b = a->Clone();
    EXPECT_NE(a.get(), b.get());
    EXPECT_TRUE(a->SameEntries(*b));
    TPaletteEntry red{255, 0, 0, pcNoCollapse};
    EXPECT_EQ(b->SetEntries(19, 5, &red), 1);
    EXPECT_FALSE(a->SameEntries(*b));
    TPaletteEntry out[3];
    EXPECT_EQ(b->GetEntries(18, 3, out), 2);
    EXPECT_EQ(out[1], red);
}

TEST(Palette, NearestIndexPrefersTheLowestAmongEquals)
{
    TPalette palette({{10, 10, 10, 0}, {200, 0, 0, 0}, {200, 0, 0, 0}, {0, 0, 0, 0}});
    EXPECT_EQ(palette.NearestIndex(RGB(255, 0, 0)), 1);
    EXPECT_EQ(palette.NearestIndex(RGB(0, 0, 0)), 3);
    EXPECT_EQ(palette.NearestIndex(RGB(6, 6, 6)), 0);
}

TEST(Palette, RejectsEmptyOversizedAndOutOfRange)
{
    EXPECT_THROW(TPalette({}), EInvalidGraphicOperation);
    EXPECT_THROW(TPalette(std::vector<TPaletteEntry>(257)), EInvalidGraphicOperation);
    EXPECT_THROW(DefaultPalette().Entry(20), EInvalidGraphicOperation);
    EXPECT_THROW(DefaultPalette().Entry(-1), EInvalidGraphicOperation);
}

TEST(Color, SystemColoursResolveThroughTheScheme)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clHighlight), RGB(0, 0, 128));
    EXPECT_EQ(ColorToRGB(clNavy), clNavy);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(ColorToRGB(clSystemColor + 200), clBlack);
}
