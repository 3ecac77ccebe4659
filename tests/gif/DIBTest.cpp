#include "gif/DIB.h"

#include "framework/graphics/Palette.h"
#include "gif/GIFException.h"
#include "gif/ThreadList.h"
#include "tests/gif/ColourTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using enum TPixelFormat;

namespace {

std::unique_ptr<TPalette> greys(int count)
{
    std::vector<TPaletteEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back({uint8_t(i * 16), uint8_t(i * 16 + 1), uint8_t(i * 16 + 2), pcNoCollapse});
    return std::make_unique<TPalette>(entries);
}

struct FormatCase {
    const char* name;
    std::function<void(TBitmap&)> make;
    TPixelFormat format;
};

class BitmapPixelFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(BitmapPixelFormatTest, ReportsTheBitmapsOwnFormat)
{
    TBitmap bitmap;
    GetParam().make(bitmap);
    bitmap.SetSize(3, 2);
    EXPECT_EQ(BitmapPixelFormat(bitmap), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(Formats, BitmapPixelFormatTest,
                         testing::Values(FormatCase{"device", [](TBitmap&) {}, pfDevice},
                                         FormatCase{"monochrome", [](TBitmap& b) { b.SetMonochrome(true); }, pf1bit},
                                         FormatCase{"indexed1", [](TBitmap& b) { b.SetPixelFormat(pf1bit); }, pf1bit},
                                         FormatCase{"indexed4", [](TBitmap& b) { b.SetPixelFormat(pf4bit); }, pf4bit},
                                         FormatCase{"indexed8", [](TBitmap& b) { b.SetPixelFormat(pf8bit); }, pf8bit},
                                         FormatCase{"rgb555", [](TBitmap& b) { b.SetPixelFormat(pf15bit); }, pf15bit},
                                         FormatCase{"rgb565", [](TBitmap& b) { b.SetPixelFormat(pf16bit); }, pf16bit},
                                         FormatCase{"custom16",
                                                    [](TBitmap& b) {
                                                        b.SetBitFields(16, {0x0F00, 0x00F0, 0x000F});
                                                    },
                                                    pfCustom},
                                         FormatCase{"rgb24", [](TBitmap& b) { b.SetPixelFormat(pf24bit); }, pf24bit},
                                         FormatCase{"rgb32", [](TBitmap& b) { b.SetPixelFormat(pf32bit); }, pf32bit},
                                         FormatCase{"custom32",
                                                    [](TBitmap& b) {
                                                        b.SetBitFields(32, {0xFF, 0xFF00, 0xFF0000});
                                                    },
                                                    pfCustom}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(DIBHelpers, EmptyBitmapsAndUnknownFormatsAreRefused)
{
    TBitmap empty;
    TBitmapInfoHeader header;
    EXPECT_EQ(messageOf<GIFException>([&] { BitmapPixelFormat(empty); }), "Unsupported bitmap format");
    EXPECT_EQ(messageOf<GIFException>([&] { FillDIBHeader(empty, header, pf8bit); }), "Bitmap image is not valid");
    TBitmap bitmap(2, 2);
    for (TPixelFormat format : {pfDevice, pf15bit, pf16bit, pf32bit, pfCustom})
        EXPECT_EQ(messageOf<GIFException>([&] { FillDIBHeader(bitmap, header, format); }), "Unsupported PixelFormat");
}

TEST(DIBHelpers, HeaderAndSizesFollowTheFormatsDepth)
{
    TBitmap bitmap(5, 3, pf4bit);
    TBitmapInfoHeader header;
    header.biClrImportant = 99;
    FillDIBHeader(bitmap, header, pf24bit);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 5);
    EXPECT_EQ(header.biHeight, 3);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biCompression, BI_RGB);
    EXPECT_EQ(header.biSizeImage, 16u * 3);
    EXPECT_EQ(header.biClrImportant, 0u);

    const TDIBSizes one = DIBSizes(bitmap, pf1bit);
    EXPECT_EQ(one.headerSize, 40u + 2 * 4);
    EXPECT_EQ(one.imageSize, 4u * 3);
    EXPECT_EQ(DIBSizes(bitmap, pf8bit).headerSize, 40u + 256 * 4);
    EXPECT_EQ(DIBSizes(bitmap, pf24bit).headerSize, 40u);
    // A device bitmap is no DIB section and gets a header of its own.
    FillDIBHeader(TBitmap(7, 1), header, pf1bit);
    EXPECT_EQ(header.biWidth, 7);
    EXPECT_EQ(header.biSizeImage, 4u);
}

TEST(DIBHelpers, PalettesCopyAndConvertToColourTables)
{
    EXPECT_EQ(DuplicatePalette(nullptr), nullptr);
    const auto palette = greys(3);
    const auto copy = DuplicatePalette(palette.get());
    EXPECT_NE(copy.get(), palette.get());
    EXPECT_TRUE(copy->SameEntries(*palette));

    uint8_t entries[] = {1, 2, 3, 4, 5, 6, 7, 8};
    PaletteToColorTable(entries, 2);
    EXPECT_EQ(std::vector<uint8_t>(entries, entries + 8), (std::vector<uint8_t>{3, 2, 1, 0, 7, 6, 5, 0}));
}

TEST(DIBReader, ReadsAnyFormatAsBgrRowsTopFirst)
{
    TBitmap bitmap(2, 2, pf8bit);
    bitmap.SetPalette(greys(4));
    bitmap.ScanLine(0)[0] = 1;
    bitmap.ScanLine(0)[1] = 2;
    bitmap.ScanLine(1)[0] = 3;
    bitmap.ScanLine(1)[1] = 0;
    TDIBReader reader(bitmap, pf24bit);
    const uint8_t* top = reader.ScanLineAt(0);
    EXPECT_EQ(std::vector<uint8_t>(top, top + 6), (std::vector<uint8_t>{18, 17, 16, 34, 33, 32}));
    const uint8_t* bottom = reader.ScanLineAt(1);
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 6), (std::vector<uint8_t>{50, 49, 48, 2, 1, 0}));

    TDIBReader indices(bitmap, pf8bit);
    EXPECT_EQ(indices.ScanLineAt(1)[0], 3);
    EXPECT_EQ(indices.Header().biBitCount, 8);
}

TEST(DIBReader, RowsOutsideTheBitmapAreRefused)
{
    TBitmap bitmap(4, 3, pf24bit);
    TDIBReader reader(bitmap, pf24bit);
    for (int row : {-1, 3})
        EXPECT_EQ(messageOf<EInvalidGraphicOperation>([&] { reader.ScanLineAt(row); }), "Scan line index out of range");
    EXPECT_EQ(messageOf<GIFException>([&] { TDIBReader(bitmap, pf16bit); }), "Unsupported PixelFormat");
}

TEST(DIBWriter, RefusesOtherFormatsAndEmptySizes)
{
    TBitmap target;
    EXPECT_EQ(messageOf<GIFException>([&] { TDIBWriter(target, pf4bit, 2, 2, nullptr); }), "Unsupported PixelFormat");
    EXPECT_EQ(messageOf<GIFException>([&] { TDIBWriter(target, pf8bit, 0, 2, nullptr); }), "Invalid image dimensions");
    EXPECT_EQ(messageOf<GIFException>([&] { TDIBWriter(target, pf24bit, 2, 0, nullptr); }), "Invalid image dimensions");
    EXPECT_EQ(messageOf<GIFException>([&] { TDIBWriter(target, pf24bit, -2, 2, nullptr); }),
              "Invalid image dimensions");
}

TEST(DIBWriter, ColourTableHasAllEntriesUsedAndThePalettesImportant)
{
    TBitmap target;
    const auto palette = greys(16);
    TDIBWriter writer(target, pf8bit, 3, 2, palette.get());
    writer.ScanLineAt(0);
    EXPECT_EQ(writer.InfoSize(), 40u + 1024);
    EXPECT_EQ(writer.InfoHeader().biClrUsed, 256u);
    EXPECT_EQ(writer.InfoHeader().biClrImportant, 16u);
    EXPECT_EQ(writer.InfoHeader().biHeight, 2);
    ASSERT_EQ(writer.ColorTable().size(), 256u);
    EXPECT_EQ(writer.ColorTable()[15], (TRGBQuad{242, 241, 240, 0}));
    for (size_t i = 16; i < 256; ++i)
        EXPECT_EQ(writer.ColorTable()[i], TRGBQuad{}) << i;
    writer.Store();
    ASSERT_EQ(target.PixelFormat(), pf8bit);
    ASSERT_EQ(target.Palette()->Count(), 256);
    EXPECT_EQ(target.Palette()->Entry(15), (TPaletteEntry{240, 241, 242, 0}));
}

TEST(DIBWriter, RowsAreStoredBottomUpAndLoadTopDown)
{
    TBitmap target;
    TDIBWriter writer(target, pf8bit, 5, 3, nullptr);
    uint8_t* last = writer.ScanLineAt(2);
    EXPECT_EQ(writer.ScanLineAt(0) - last, 2 * 8);
    EXPECT_EQ(writer.ScanLineAt(1) - last, 8);
    EXPECT_EQ(writer.BitsSize(), 3u * 8);
    EXPECT_EQ(writer.InfoHeader().biClrImportant, 0u);
    for (int row = 0; row < 3; ++row)
        std::memset(writer.ScanLineAt(row), 10 + row, 5);
    for (int row : {-1, 3})
        EXPECT_EQ(messageOf<EInvalidGraphicOperation>([&] { writer.ScanLineAt(row); }), "Scan line index out of range");
    writer.Store();
    ASSERT_EQ(target.Width(), 5);
    ASSERT_EQ(target.Height(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(target.ScanLine(row)[4], 10 + row);
    EXPECT_EQ(messageOf<GIFException>([&] { writer.ScanLineAt(0); }), "Image has no DIB");
}

TEST(DIBWriter, TwentyFourBitRowsHaveNoColourTable)
{
    TBitmap target;
    TDIBWriter writer(target, pf24bit, 2, 1, nullptr);
    uint8_t* row = writer.ScanLineAt(0);
    const uint8_t bgr[] = {1, 2, 3, 4, 5, 6};
    std::memcpy(row, bgr, 6);
    EXPECT_EQ(writer.InfoSize(), 40u);
    EXPECT_EQ(writer.InfoHeader().biClrUsed, 0u);
    writer.Store();
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    EXPECT_EQ(std::vector<uint8_t>(target.ScanLine(0), target.ScanLine(0) + 6), std::vector<uint8_t>(bgr, bgr + 6));
}

TEST(DIBWriter, StoresNothingWhenNoRowWasAsked)
{
    TBitmap target(4, 4);
    TDIBWriter writer(target, pf8bit, 2, 2, nullptr);
    writer.Store();
    EXPECT_EQ(target.Width(), 4);
    EXPECT_EQ(target.PixelFormat(), pfDevice);
}

TEST(DIBWriter, ADIBTooLargeForMemoryFailsBeforeAllocating)
{
    TBitmap target;
    TDIBWriter writer(target, pf24bit, 1 << 20, 1 << 20, nullptr);
    EXPECT_EQ(messageOf<EOutOfMemory>([&] { writer.ScanLineAt(0); }), "Failed to allocate memory for GIF DIB");
}

TEST(ThreadList, AddsEachItemOnceFromAnyThread)
{
    TThreadList<int> list;
    std::vector<int> items(2000);
    auto addHalf = [&](size_t from) {
        for (size_t i = from; i < items.size(); i += 2) {
            list.Add(&items[i]);
            list.Add(&items[i]);
        }
    };
    std::thread a(addHalf, 0), b(addHalf, 1);
    a.join();
    b.join();
    {
        auto locked = list.Lock();
        EXPECT_EQ(locked->Count(), 2000);
    }
    list.Remove(&items[7]);
    list.Remove(&items[7]);
    EXPECT_EQ(list.Lock()->IndexOf(&items[7]), -1);
    EXPECT_EQ(list.Lock()->Count(), 1999);
}

} // namespace
