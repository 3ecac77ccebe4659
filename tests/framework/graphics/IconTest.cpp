#include "framework/graphics/Icon.h"

#include "RasterTestUtil.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

#include <gtest/gtest.h>

namespace {
// One icon image: width x height pixels, top row first, as colours; transparent pixels
// set in the AND mask (and black in the colour image, as icon files keep them).
struct IconImage {
    int bitCount;
    int width;
    int height;
    std::vector<TColor> pixels;
    std::vector<bool> transparent;
    bool alphaOnly = false; // 32 bits: transparency in alpha, AND mask all clear
};

std::vector<TColor> tableFor(int bitCount)
{
    std::vector<TColor> table = {clBlack, clWhite, clRed, clLime, clBlue};
    if (bitCount == 1)
        table.resize(2);
    else
        table.resize(size_t(1) << bitCount, clBlack);
    return table;
}

Bytes imageBytes(const IconImage& image)
{
    Bytes b;
    const std::vector<TColor> table = image.bitCount <= 8 ? tableFor(image.bitCount) : std::vector<TColor>{};
    b.u32(40).u32(image.width).u32(2 * image.height).u16(1).u16(image.bitCount).u32(0).u32(0).u32(0).u32(0);
    b.u32(0).u32(0);
    for (TColor c : table)
        b.u8(GetBValue(c)).u8(GetGValue(c)).u8(GetRValue(c)).u8(0);
    const size_t stride = RowBytes(image.width, image.bitCount, 32);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            const size_t i = static_cast<size_t>(y * image.width + x);
            const TColor c = image.transparent[i] ? clBlack : image.pixels[i];
            if (image.bitCount <= 8) {
                const auto index = static_cast<uint32_t>(std::find(table.begin(), table.end(), c) - table.begin());
                const int bit = x * image.bitCount;
                row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(index << (8 - image.bitCount - bit % 8));
            } else {
                uint8_t* p = row.data() + x * image.bitCount / 8;
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
                if (image.bitCount == 32)
                    p[3] = image.transparent[i] ? 0 : 255;
            }
        }
        b.raw(row);
    }
    const size_t maskStride = RowBytes(image.width, 1, 32);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < image.width; ++x)
            if (image.transparent[static_cast<size_t>(y * image.width + x)] && !image.alphaOnly)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        b.raw(row);
    }
    return b;
}

std::vector<uint8_t> icoFile(const std::vector<IconImage>& images)
{
    std::vector<Bytes> data;
    for (const auto& image : images)
        data.push_back(imageBytes(image));
    Bytes b;
    b.u16(0).u16(1).u16(static_cast<uint32_t>(images.size()));
    size_t offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        b.u8(images[i].width % 256).u8(images[i].height % 256).u8(0).u8(0).u16(1).u16(images[i].bitCount);
        b.u32(static_cast<uint32_t>(data[i].size())).u32(static_cast<uint32_t>(offset));
        offset += data[i].size();
    }
    for (const auto& d : data)
        b.raw(d.data());
    return b.data();
}

IconImage sample(int bitCount, bool alphaOnly = false)
{
    return {
        bitCount, 3, 2, {clRed, clWhite, clBlue, clBlack, clLime, clWhite}, {false, false, true, false, false, true},
        alphaOnly};
}

void load(TIcon& icon, const std::vector<uint8_t>& bytes)
{
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    icon.LoadFromStream(stream);
}

class IconDepthTest : public testing::TestWithParam<IconImage> {};
} // namespace

TEST_P(IconDepthTest, ReadsColoursAndMaskAndDrawsThroughTheMask)
{
    const IconImage& image = GetParam();
    TIcon icon;
    load(icon, icoFile({image}));
    ASSERT_EQ(icon.Width(), 3);
    ASSERT_EQ(icon.Height(), 2);
    TCanvas colour(const_cast<TBitmap&>(icon.ImageBitmap())), mask(const_cast<TBitmap&>(icon.MaskBitmap()));
    EXPECT_TRUE(icon.MaskBitmap().Monochrome());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const size_t i = static_cast<size_t>(y * 3 + x);
            EXPECT_EQ(mask.Pixel(x, y), image.transparent[i] ? clWhite : clBlack) << x << "," << y;
            if (!image.transparent[i]) {
                EXPECT_EQ(colour.Pixel(x, y), image.pixels[i]) << x << "," << y;
            }
        }

    TBitmap target(5, 4);
    target.Canvas().Brush().SetColor(clYellow);
    target.Canvas().FillRect(Rect(0, 0, 5, 4));
    target.Canvas().Draw(1, 1, icon);
    TCanvas reader(target);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const size_t i = static_cast<size_t>(y * 3 + x);
            EXPECT_EQ(reader.Pixel(1 + x, 1 + y), image.transparent[i] ? clYellow : image.pixels[i]);
        }
    EXPECT_EQ(reader.Pixel(0, 0), clYellow);
}

INSTANTIATE_TEST_SUITE_P(Depths, IconDepthTest,
                         testing::Values(IconImage{1,
                                                   3,
                                                   2,
                                                   {clBlack, clWhite, clWhite, clBlack, clWhite, clWhite},
                                                   {false, false, true, false, false, true}},
                                         sample(4), sample(8), sample(24), sample(32), sample(32, true)),
                         [](const auto& testInfo) {
                             return "bits" + std::to_string(testInfo.param.bitCount) +
                                    (testInfo.param.alphaOnly ? "alpha" : "");
                         });

TEST(Icon, PicksTheImageNearest32PixelsThenTheMostColours)
{
    IconImage small = sample(8);
    IconImage big{4, 32, 32, std::vector<TColor>(32 * 32, clRed), std::vector<bool>(32 * 32, false)};
    IconImage bigDeep{24, 32, 32, std::vector<TColor>(32 * 32, clBlue), std::vector<bool>(32 * 32, false)};
    TIcon icon;
    load(icon, icoFile({small, big, bigDeep}));
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_EQ(TCanvas(const_cast<TBitmap&>(icon.ImageBitmap())).Pixel(0, 0), clBlue);
}

TEST(Icon, SavesTheFileItReadAndCopiesEqual)
{
    const std::vector<uint8_t> bytes = icoFile({sample(4)});
    TIcon icon;
    load(icon, bytes);
    TMemoryStream out;
    icon.SaveToStream(out);
    EXPECT_EQ(out.Bytes(), bytes);
    TIcon copy;
    copy.CopyFrom(&icon);
    EXPECT_TRUE(copy.Equals(icon));
    EXPECT_THROW(icon.SetWidth(10), EInvalidGraphicOperation);
}

TEST(Icon, EveryTruncationRaisesAndLeavesTheIcon)
{
    const std::vector<uint8_t> good = icoFile({sample(8)});
    for (size_t cut = 0; cut < good.size(); ++cut) {
        TIcon icon;
        load(icon, icoFile({sample(24)}));
        TReadOnlyMemoryStream stream(good.data(), cut);
        EXPECT_THROW(icon.LoadFromStream(stream), Exception) << "cut at " << cut;
        EXPECT_EQ(icon.Width(), 3);
    }
}

TEST(Icon, DamagedDirectoriesRaiseInvalidGraphic)
{
    std::vector<uint8_t> bytes = icoFile({sample(8)});
    bytes[2] = 3; // neither icon nor cursor
    TIcon icon;
    EXPECT_THROW(load(icon, bytes), EInvalidGraphic);

    bytes = icoFile({sample(8)});
    const size_t image = bytes[18] | (bytes[19] << 8);
    bytes[image] = 0x89; // a PNG image, the only one
    bytes[image + 1] = 'P';
    bytes[image + 2] = 'N';
    bytes[image + 3] = 'G';
    EXPECT_THROW(load(icon, bytes), EInvalidGraphic);

    bytes = icoFile({sample(8)});
    bytes[image + 14] = 7; // bit count
    EXPECT_THROW(load(icon, bytes), EInvalidGraphic);
}

TEST(Icon, PixelBudgetCountsTheDeviceImageAndRefusesBeyondIt)
{
    const std::vector<uint8_t> bytes = icoFile({sample(4)}); // 3 x 2: rows of 12 bytes as device pixels
    TIcon refused;
    refused.SetMaxPixelBytes(23);
    EXPECT_THROW(load(refused, bytes), EOutOfMemory);
    EXPECT_TRUE(refused.IsEmpty());
    TIcon loaded;
    loaded.SetMaxPixelBytes(24);
    load(loaded, bytes);
    EXPECT_EQ(loaded.Width(), 3);
}
