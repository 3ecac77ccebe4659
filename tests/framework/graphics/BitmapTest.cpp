#include "framework/graphics/Bitmap.h"

#include "RasterTestUtil.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Palette.h"

#include <gtest/gtest.h>

TEST(Bitmap, NewPixelsAreWhiteAndResizingKeepsTheOverlap)
{
    for (TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf4bit, TPixelFormat::pf1bit,
                                TPixelFormat::pf16bit, TPixelFormat::pf24bit}) {
        TBitmap bitmap(3, 2, format);
        EXPECT_EQ(bitmap.Canvas().Pixel(2, 1), clWhite);
        bitmap.Canvas().SetPixel(2, 1, clBlack);
        bitmap.Canvas().SetPixel(0, 0, clBlack);
        bitmap.SetSize(5, 4);
        EXPECT_EQ(bitmap.PixelFormat(), format);
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clBlack);
        EXPECT_EQ(bitmap.Canvas().Pixel(2, 1), clBlack);
        EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), clWhite);
        EXPECT_EQ(bitmap.Canvas().Pixel(4, 3), clWhite);
        EXPECT_EQ(bitmap.Canvas().Pixel(3, 0), clWhite);
        bitmap.ChangeWidth(1);
        EXPECT_EQ(bitmap.Width(), 1);
        EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clBlack);
    }
}

TEST(Bitmap, FormatConversionsKeepColoursEachFormatCanHold)
{
    const TColor colours[] = {clRed, clLime, clBlue, clWhite, clBlack, clYellow};
    TBitmap bitmap(6, 1);
    for (int x = 0; x < 6; ++x)
        bitmap.Canvas().SetPixel(x, 0, colours[x]);
    for (TPixelFormat format :
         {TPixelFormat::pf24bit, TPixelFormat::pf16bit, TPixelFormat::pf15bit, TPixelFormat::pf8bit,
          TPixelFormat::pf4bit, TPixelFormat::pf32bit, TPixelFormat::pfDevice}) {
        bitmap.SetPixelFormat(format);
        EXPECT_EQ(bitmap.PixelFormat(), format);
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(bitmap.Canvas().Pixel(x, 0), colours[x]) << "format " << static_cast<int>(format);
    }
    bitmap.SetBitFields(32, {0x000003FF, 0x000FFC00, 0x3FF00000});
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfCustom);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(bitmap.Canvas().Pixel(x, 0), colours[x]);
}

TEST(Bitmap, IndexedPixelsTakeTheNearestEntryLowestIndexAmongEquals)
{
    TBitmap bitmap(2, 1, TPixelFormat::pf8bit);
    bitmap.SetPalette(std::make_unique<TPalette>(
        std::vector<TPaletteEntry>{{0, 0, 255, 0}, {250, 0, 0, 0}, {250, 0, 0, 0}, {0, 0, 0, 0}}));
    bitmap.Canvas().SetPixel(0, 0, clRed);
    bitmap.Canvas().SetPixel(1, 0, RGB(10, 10, 10));
    EXPECT_EQ(bitmap.ScanLine(0)[0], 1);
    EXPECT_EQ(bitmap.ScanLine(0)[1], 3);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), RGB(250, 0, 0));
}

TEST(Bitmap, PaletteReplacementKeepsIndices)
{
    TBitmap bitmap(1, 1, TPixelFormat::pf8bit);
    bitmap.ScanLine(0)[0] = 2;
    bitmap.AssignPalette(&DefaultPalette());
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), RGB(0, 128, 0));
    EXPECT_NE(bitmap.Palette(), &DefaultPalette());
    auto taken = bitmap.ReleasePalette();
    EXPECT_TRUE(taken->SameEntries(DefaultPalette()));
    EXPECT_EQ(bitmap.Palette(), nullptr);
}

TEST(BitmapDib, LowerDepthMapsToNearestEntryOfTheTableLowestIndexAmongEquals)
{
    TBitmap bitmap(3, 2);
    bitmap.Canvas().SetPixel(0, 0, RGB(250, 5, 5));
    bitmap.Canvas().SetPixel(1, 0, RGB(0, 0, 0));
    bitmap.Canvas().SetPixel(2, 0, RGB(0, 0, 200));
    const std::vector<TRGBQuad> table = {
        {255, 255, 255, 0}, {0, 0, 255, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}, {0, 0, 0, 0}};
    std::vector<uint8_t> rows(2 * RowBytes(3, 8, 32), 0xEE);
    bitmap.ReadDIBRows(0, 2, 8, table, rows.data());
    EXPECT_EQ(rows[0], 1);
    EXPECT_EQ(rows[1], 4);
    EXPECT_EQ(rows[2], 3);
    EXPECT_EQ(rows[3], 0) << "row padding is cleared";
    EXPECT_EQ(rows[4], 0) << "white";
    EXPECT_THROW(bitmap.ReadDIBRows(1, 2, 8, table, rows.data()), EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.ReadDIBRows(0, 1, 7, table, rows.data()), EInvalidGraphicOperation);
}

TEST(BitmapDib, SameDepthWithItsOwnTableKeepsIndices)
{
    TBitmap bitmap(2, 1, TPixelFormat::pf8bit);
    bitmap.SetPalette(std::make_unique<TPalette>(std::vector<TPaletteEntry>{{9, 9, 9, 0}, {9, 9, 9, 0}}));
    bitmap.ScanLine(0)[0] = 1;
    bitmap.ScanLine(0)[1] = 0;
    const auto table = bitmap.DIBColorTable(8, &DefaultPalette());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0], (TRGBQuad{9, 9, 9, 0}));
    uint8_t row[4] = {};
    bitmap.ReadDIBRows(0, 1, 8, table, row);
    EXPECT_EQ(row[0], 1);
    EXPECT_EQ(row[1], 0);
}

TEST(BitmapDib, OtherDepthsHaveTheirOwnRowLayout)
{
    TBitmap bitmap(9, 1);
    for (int x = 0; x < 9; ++x)
        bitmap.Canvas().SetPixel(x, 0, x % 2 ? clWhite : clBlack);
    bitmap.Canvas().SetPixel(8, 0, RGB(0x10, 0x20, 0x30));

    const auto mono = bitmap.DIBColorTable(1, nullptr);
    ASSERT_EQ(mono.size(), 2u);
    uint8_t one[4];
    bitmap.ReadDIBRows(0, 1, 1, mono, one);
    EXPECT_EQ(one[0], 0x55);
    EXPECT_EQ(one[1], 0x00);

    uint8_t rgb[28];
    bitmap.ReadDIBRows(0, 1, 24, {}, rgb);
    EXPECT_EQ(rgb[24], 0x30);
    EXPECT_EQ(rgb[25], 0x20);
    EXPECT_EQ(rgb[26], 0x10);

    uint8_t words[20];
    bitmap.ReadDIBRows(0, 1, 16, {}, words);
    EXPECT_EQ(words[2] | (words[3] << 8), 0x7FFF);
}

TEST(BitmapDib, ObjectQueryTellsSectionDepthAndMasks)
{
    TBitmap empty;
    EXPECT_FALSE(empty.QueryObject().has_value());
    EXPECT_FALSE(empty.HandleAllocated());

    TBitmap device(3, 2);
    auto object = device.QueryObject();
    ASSERT_TRUE(object);
    EXPECT_FALSE(object->dibSection);
    EXPECT_EQ(object->bitsPerPixel, 32);

    TBitmap wide(3, 2, TPixelFormat::pf16bit);
    object = wide.QueryObject();
    EXPECT_TRUE(object->dibSection);
    EXPECT_EQ(object->header.biCompression, BI_BITFIELDS);
    EXPECT_EQ(object->masks, kBitFields565);
    EXPECT_EQ(object->header.biSizeImage, 16u);

    TBitmap eight(3, 2, TPixelFormat::pf8bit);
    object = eight.QueryObject();
    EXPECT_EQ(object->header.biCompression, BI_RGB);
    EXPECT_EQ(object->header.biClrUsed, 256u);

    device.SetMonochrome(true);
    EXPECT_FALSE(device.QueryObject()->dibSection);
    EXPECT_EQ(device.QueryObject()->bitsPerPixel, 1);
}

TEST(Bitmap, MonochromeFromRowsPaddedTo16Bits)
{
    // 17 pixels: 3 bytes of bits padded to 4; the second row starts at byte 4.
    const uint8_t rows[] = {0x80, 0x00, 0x80, 0xFF, 0x01, 0x00, 0x00, 0x00};
    auto bitmap = TBitmap::CreateMonochrome(17, 2, rows);
    EXPECT_TRUE(bitmap->Monochrome());
    EXPECT_EQ(bitmap->Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(bitmap->Canvas().Pixel(1, 0), clBlack);
    EXPECT_EQ(bitmap->Canvas().Pixel(16, 0), clWhite);
    EXPECT_EQ(bitmap->Canvas().Pixel(7, 1), clWhite);
    EXPECT_EQ(bitmap->Canvas().Pixel(16, 1), clBlack);
}

TEST(Bitmap, WrappingSharesPixelsAndReleasingLeavesTheOriginal)
{
    TBitmap original(2, 2);
    TBitmap wrapper;
    wrapper.Wrap(original);
    wrapper.Canvas().SetPixel(1, 1, clRed);
    EXPECT_EQ(original.Canvas().Pixel(1, 1), clRed);
    wrapper.ReleaseHandle();
    EXPECT_TRUE(wrapper.IsEmpty());
    EXPECT_EQ(original.Width(), 2);
    EXPECT_EQ(original.Canvas().Pixel(1, 1), clRed);
}

TEST(Bitmap, CopyIsIndependentWithItsOwnPalette)
{
    TBitmap original(2, 1, TPixelFormat::pf8bit);
    original.Canvas().SetPixel(0, 0, clRed);
    TBitmap copy;
    copy.CopyFrom(&original);
    original.Canvas().SetPixel(0, 0, clBlue);
    EXPECT_EQ(copy.Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf8bit);
    ASSERT_NE(copy.Palette(), nullptr);
    EXPECT_NE(copy.Palette(), original.Palette());
    EXPECT_TRUE(copy.Palette()->SameEntries(*original.Palette()));
    EXPECT_TRUE(copy.Equals(copy));
    copy.CopyFrom(nullptr);
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(Bitmap, MaskWhitensTheTransparentColour)
{
    TBitmap bitmap(3, 1);
    bitmap.Canvas().SetPixel(1, 0, clRed);
    bitmap.Mask(clRed);
    EXPECT_TRUE(bitmap.Monochrome());
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clBlack);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), clWhite);
}

TEST(Bitmap, ScanLineOutsideRaises)
{
    TBitmap bitmap(2, 2);
    EXPECT_THROW(bitmap.ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.SetSize(-1, 2), EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.SetSize(1 << 21, 1), EOutOfMemory);
}
