#include "tests/gif/GifTestUtil.h"

#include "gif/ColorMap.h"

#include "framework/graphics/Palette.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A frame of the given pixels that uses the global map of its image.
TGIFSubImage& addFrame(TGIFImage& image, const Bytes& pixels)
{
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, int(pixels.size()), 1);
    std::copy(pixels.begin(), pixels.end(), frame->Scanline(0));
    TGIFSubImage& added = *frame;
    image.Images().Add(std::move(frame));
    return added;
}

void addColors(TGIFColorMap& map, std::initializer_list<uint32_t> colors)
{
    for (uint32_t color : colors)
        map.Add(color);
}

TEST(ColorMap, GrowsByBlocksUpToTheFullTable)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    const std::vector<std::pair<int, int>> countToCapacity{{1, 16},  {16, 16},   {17, 32},
                                                           {33, 64}, {200, 224}, {256, 256}};
    int added = 0;
    for (auto [count, capacity] : countToCapacity) {
        while (added < count)
            map.Add(uint32_t(added++));
        EXPECT_EQ(map.Capacity(), capacity) << count;
    }
    EXPECT_THROW(map.Add(1), GIFException);
    EXPECT_EQ(map.Count(), 256);
}

TEST(ColorMap, IndexOfPrefersTheMostUsedWhenSorted)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    addColors(map, {0x10, 0x20, 0xABCDEF, 0x30, 0x40, 0xABCDEF});
    EXPECT_EQ(map.IndexOf(0xABCDEF), 5);
    EXPECT_EQ(map.IndexOf(0x123456), -1);
    // Entry 2 used most, 5 next: sorted, the same colour is found at 0 and 1.
    addFrame(image, {2, 2, 2, 5, 5, 0, 1, 3, 4});
    ASSERT_TRUE(map.SortByUse());
    EXPECT_EQ(map.IndexOf(0xABCDEF), 0);
    EXPECT_EQ(map.AddUnique(0xABCDEF), 0);
}

TEST(ColorMap, ColorsOutsideTheMapWarnAndReadTheFirstEntry)
{
    TGIFImage image;
    std::vector<std::string> warnings;
    image.OnWarn = [&](TObject*, int, const std::string& message) { warnings.push_back(message); };
    TGIFColorMap& map = image.Header().ColorMap();
    try {
        map.Colors(0);
        ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Color table is empty");
    }
    addColors(map, {0x112233, 0x445566});
    EXPECT_EQ(map.Colors(1), 0x445566u);
    EXPECT_EQ(map.Colors(7), 0x112233u);
    EXPECT_EQ(warnings, std::vector<std::string>(2, "Invalid color index"));
    EXPECT_THROW(map.Delete(2), GIFException);
    map.Delete(0);
    EXPECT_EQ(map.Count(), 1);
    EXPECT_EQ(map.Colors(0), 0x445566u);
}

TEST(ColorMap, WritesAPowerOfTwoEntries)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    TMemoryStream empty;
    map.SaveToStream(empty);
    EXPECT_TRUE(empty.Bytes().empty());
    map.Add(0x030201);
    TMemoryStream one;
    map.SaveToStream(one);
    EXPECT_EQ(one.Bytes(), (Bytes{1, 2, 3, 0, 0, 0}));
    addColors(map, {0x060504, 0x090807});
    TMemoryStream three;
    map.SaveToStream(three);
    EXPECT_EQ(three.Bytes(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
}

TEST(ColorMap, SortByUseKeepsAnOrderThatIsAlreadyRight)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    EXPECT_FALSE(map.SortByUse()) << "no frames";
    addColors(map, {0xA, 0xB, 0xC, 0xD});
    EXPECT_FALSE(map.SortByUse());
    addFrame(image, {0, 0, 0, 1, 1, 2});
    // Strictly decreasing use and one unused entry at the end: nothing moves.
    EXPECT_TRUE(map.SortByUse());
    EXPECT_TRUE(map.Sorted());
    EXPECT_EQ(map.Count(), 4);
    EXPECT_EQ(pixelsOf(image, 0), (Bytes{0, 0, 0, 1, 1, 2}));
}

TEST(ColorMap, SortByUseDropsTwoOrMoreUnusedEntries)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    addColors(map, {0xA, 0xB, 0xC, 0xD, 0xE});
    addFrame(image, {0, 0, 0, 1, 1, 2});
    EXPECT_TRUE(map.SortByUse());
    EXPECT_EQ(map.Count(), 3);
}

TEST(ColorMap, SortByUseRemapsEverythingThatRefersToTheMap)
{
    TGIFImage image;
    TGIFHeader& header = image.Header();
    TGIFColorMap& map = header.ColorMap();
    addColors(map, {0xA, 0xB, 0xC});
    header.SetBackgroundColorIndex(2);
    TGIFSubImage& frame = addFrame(image, {0, 2, 2, 1, 2, 1, 7});
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetTransparent(true);
    control->StoreTransparentColorIndex(1);
    frame.Extensions().Add(std::move(control));
    auto text = std::make_unique<TGIFTextExtension>(&frame);
    text->SetForegroundColorIndex(0);
    text->SetBackgroundColorIndex(2);
    TGIFTextExtension& textRef = *text;
    frame.Extensions().Add(std::move(text));

    ASSERT_TRUE(map.SortByUse());
    // Uses: 2 three times, 1 twice, 0 once; 7 has no entry and stays 7.
    EXPECT_EQ(pixelsOf(image, 0), (Bytes{2, 0, 0, 1, 0, 1, 7}));
    EXPECT_EQ(map.Colors(0), 0xCu);
    EXPECT_EQ(map.Colors(1), 0xBu);
    EXPECT_EQ(map.Colors(2), 0xAu);
    EXPECT_EQ(header.BackgroundColorIndex(), 0);
    EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 1);
    EXPECT_EQ(textRef.ForegroundColorIndex(), 2);
    EXPECT_EQ(textRef.BackgroundColorIndex(), 0);
}

TEST(ColorMap, LocalSortTouchesOnlyItsFrame)
{
    TGIFImage image;
    addColors(image.Header().ColorMap(), {0xA, 0xB});
    TGIFSubImage& global = addFrame(image, {1, 1, 0});
    TGIFSubImage& local = addFrame(image, {1, 1, 0});
    addColors(local.ColorMap(), {0xA, 0xB});
    ASSERT_TRUE(local.ColorMap().SortByUse());
    EXPECT_EQ(pixelsOf(image, 1), (Bytes{0, 0, 1}));
    EXPECT_EQ(pixelsOf(image, 0), (Bytes{1, 1, 0}));
    EXPECT_EQ(&global.EffectiveColorMap(), &image.Header().ColorMap());
}

TEST(ColorMap, ConvertsToAndFromPalettes)
{
    TGIFImage image;
    TGIFColorMap& map = image.Header().ColorMap();
    EXPECT_EQ(map.MakePalette(), nullptr);
    addColors(map, {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)});
    const std::unique_ptr<TPalette> palette = map.MakePalette();
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->Count(), 3);
    EXPECT_EQ(palette->Entry(2), (TPaletteEntry{7, 8, 9, pcNoCollapse}));

    TGIFSubImage frame(&image);
    frame.ColorMap().ImportPalette(palette.get());
    EXPECT_EQ(frame.ColorMap().Count(), 3);
    EXPECT_EQ(frame.ColorMap().Colors(1), RGB(4, 5, 6));
    frame.ColorMap().ImportPalette(nullptr);
    EXPECT_EQ(frame.ColorMap().Count(), 0);
}

TEST(ColorMap, CopiesOnlyFromAnotherMap)
{
    TGIFImage image;
    TGIFSubImage frame(&image);
    addColors(image.Header().ColorMap(), {1, 2, 3});
    frame.ColorMap().CopyFrom(&image.Header().ColorMap());
    EXPECT_EQ(frame.ColorMap().Count(), 3);
    EXPECT_EQ(frame.ColorMap().Colors(2), 3u);
    EXPECT_THROW(frame.ColorMap().CopyFrom(&image), EConvertError);
}

} // namespace
