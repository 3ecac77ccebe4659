#include "framework/graphics/Bitmap.h"

#include "RasterTestUtil.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Picture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
std::vector<uint8_t> save(TBitmap& bitmap)
{
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return stream.Bytes();
}

std::unique_ptr<TBitmap> load(const std::vector<uint8_t>& bytes)
{
    auto bitmap = std::make_unique<TBitmap>();
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    bitmap->LoadFromStream(stream);
    return bitmap;
}

std::vector<TColor> pixels(TBitmap& bitmap)
{
    std::vector<TColor> out;
    TCanvas reader(bitmap);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            out.push_back(reader.Pixel(x, y));
    return out;
}

// A plain-text PPM ("P3") as colours, row by row.
std::vector<TColor> readPpm(const std::string& path, int& width, int& height)
{
    std::ifstream in(path);
    std::string magic;
    int max = 0;
    in >> magic >> width >> height >> max;
    std::vector<TColor> out;
    for (int i = 0; i < width * height; ++i) {
        int r, g, b;
        in >> r >> g >> b;
        out.push_back(RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
    }
    return out;
}

std::string dataFile(const std::string& name)
{
    return std::string(CARNELO_TEST_DATA) + "/bitmaps/" + name;
}

int channelDistance(TColor a, TColor b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

struct FormatCase {
    const char* name;
    TPixelFormat format;
    int tolerance; // per channel, for formats with fewer bits than the random colours
};

class BitmapFileRoundTrip : public testing::TestWithParam<FormatCase> {};
} // namespace

TEST_P(BitmapFileRoundTrip, SavedStreamLoadsBackTheSamePixelsAndFormat)
{
    const FormatCase& c = GetParam();
    std::mt19937 random(42);
    TBitmap bitmap(11, 5);
    FillRandom(bitmap, random);
    bitmap.SetPixelFormat(c.format);
    const std::vector<TColor> before = pixels(bitmap);
    const std::vector<uint8_t> bytes = save(bitmap);
    auto loaded = load(bytes);
    EXPECT_EQ(loaded->PixelFormat(), c.format == TPixelFormat::pfDevice ? TPixelFormat::pf32bit : c.format);
    EXPECT_EQ(loaded->Width(), 11);
    EXPECT_EQ(loaded->Height(), 5);
    EXPECT_EQ(pixels(*loaded), before);
    // Saving again gives the very same bytes.
    EXPECT_EQ(save(*loaded), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BitmapFileRoundTrip,
    testing::Values(FormatCase{"mono", TPixelFormat::pf1bit, 0}, FormatCase{"four", TPixelFormat::pf4bit, 0},
                    FormatCase{"eight", TPixelFormat::pf8bit, 0}, FormatCase{"fifteen", TPixelFormat::pf15bit, 0},
                    FormatCase{"sixteen", TPixelFormat::pf16bit, 0}, FormatCase{"twentyfour", TPixelFormat::pf24bit, 0},
                    FormatCase{"thirtytwo", TPixelFormat::pf32bit, 0}, FormatCase{"device", TPixelFormat::pfDevice, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BitmapFile, MonochromeAndCustomMasksRoundTrip)
{
    TBitmap bitmap(10, 3);
    bitmap.Canvas().SetPixel(9, 2, clBlack);
    bitmap.SetMonochrome(true);
    auto loaded = load(save(bitmap));
    EXPECT_EQ(loaded->PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(pixels(*loaded), pixels(bitmap));

    TBitmap custom(3, 2);
    custom.Canvas().SetPixel(0, 0, clRed);
    custom.Canvas().SetPixel(1, 0, clLime);
    custom.SetBitFields(16, {0x000F, 0x00F0, 0x0F00});
    auto back = load(save(custom));
    EXPECT_EQ(back->PixelFormat(), TPixelFormat::pfCustom);
    EXPECT_EQ(back->BitFields(), (TBitFields{0x000F, 0x00F0, 0x0F00}));
    EXPECT_EQ(pixels(*back), pixels(custom));
}

TEST(BitmapFile, FilesWrittenByAnotherToolReadAsTheirSource)
{
    struct Case {
        const char* file;
        const char* ppm;
        TPixelFormat format;
        int tolerance;
    };
    const Case cases[] = {
        {"rgb24.bmp", "in.ppm", TPixelFormat::pf24bit, 0},  {"pal4.bmp", "in.ppm", TPixelFormat::pf4bit, 0},
        {"pal8.bmp", "wide.ppm", TPixelFormat::pf8bit, 0},  {"pal8rle.bmp", "wide.ppm", TPixelFormat::pf8bit, 0},
        {"rgb565.bmp", "in.ppm", TPixelFormat::pf16bit, 8}, {"argb32.bmp", "in.ppm", TPixelFormat::pf32bit, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        int width = 0, height = 0;
        const std::vector<TColor> expected = readPpm(dataFile(c.ppm), width, height);
        TBitmap bitmap;
        bitmap.LoadFile(dataFile(c.file));
        ASSERT_EQ(bitmap.Width(), width);
        ASSERT_EQ(bitmap.Height(), height);
        EXPECT_EQ(bitmap.PixelFormat(), c.format);
        const std::vector<TColor> got = pixels(bitmap);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_LE(channelDistance(got[i], expected[i]), c.tolerance) << "pixel " << i;
    }
}

TEST(BitmapFile, MonochromeFileFromAnotherToolKeepsBlackAndWhite)
{
    int width = 0, height = 0;
    const std::vector<TColor> source = readPpm(dataFile("in.ppm"), width, height);
    TBitmap bitmap;
    bitmap.LoadFile(dataFile("mono1.bmp"));
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf1bit);
    const std::vector<TColor> got = pixels(bitmap);
    for (size_t i = 0; i < got.size(); ++i) {
        if (source[i] == clBlack || source[i] == clWhite) {
            EXPECT_EQ(got[i], source[i]) << "pixel " << i;
        }
    }
}

namespace {
// A 2 x 2 24-bit file with a 40-byte header; height -2 stores rows top row first.
Bytes smallFile(int32_t height, uint32_t offset = 54)
{
    Bytes b;
    b.u8('B').u8('M').u32(54 + 16).u32(0).u32(offset);
    b.u32(40).u32(2).u32(static_cast<uint32_t>(height)).u16(1).u16(24).u32(0).u32(16).u32(0).u32(0).u32(0).u32(0);
    b.u8(0).u8(0).u8(255).u8(0).u8(255).u8(0).u16(0);     // first stored row: red, green
    b.u8(255).u8(0).u8(0).u8(255).u8(255).u8(255).u16(0); // second: blue, white
    return b;
}
} // namespace

TEST(BitmapFile, RowsAreReadEitherWayUp)
{
    auto bottomUp = load(smallFile(2).data());
    EXPECT_EQ(pixels(*bottomUp), (std::vector<TColor>{clBlue, clWhite, clRed, clLime}));
    auto topDown = load(smallFile(-2).data());
    EXPECT_EQ(pixels(*topDown), (std::vector<TColor>{clRed, clLime, clBlue, clWhite}));
}

TEST(BitmapFile, ReadingStopsAtTheEndOfTheImage)
{
    Bytes b = smallFile(2);
    b.u8(0xAB);
    TReadOnlyMemoryStream stream(b.data().data(), b.size());
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), 70);
}

TEST(BitmapFile, EveryTruncationRaisesAndLeavesTheBitmap)
{
    TBitmap source(5, 3, TPixelFormat::pf8bit);
    const std::vector<uint8_t> bytes = save(source);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        TBitmap bitmap(1, 1);
        TReadOnlyMemoryStream stream(bytes.data(), cut);
        EXPECT_THROW(bitmap.LoadFromStream(stream), Exception) << "cut at " << cut;
        EXPECT_EQ(bitmap.Width(), 1);
    }
}

TEST(BitmapFile, MalformedHeadersRaiseInvalidGraphic)
{
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        {"signature", 0, 'X', 1},        {"header size", 14, 20, 4},     {"zero width", 18, 0, 4},
        {"huge width", 18, 1u << 24, 4}, {"zero height", 22, 0, 4},      {"bit count 7", 28, 7, 2},
        {"run-length on 24", 30, 1, 4},  {"bit fields on 24", 30, 3, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = smallFile(2).data();
        for (int i = 0; i < c.bytes; ++i)
            bytes[c.at + static_cast<size_t>(i)] = static_cast<uint8_t>(c.value >> (8 * i));
        TBitmap bitmap;
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic) << c.name;
    }
}

TEST(BitmapFile, AnEmptyBitmapSavesNothingAndLoadsFromNothing)
{
    TBitmap empty;
    EXPECT_TRUE(save(empty).empty());
    TBitmap bitmap(2, 2);
    TMemoryStream nothing;
    bitmap.LoadFromStream(nothing);
    EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(BitmapFile, SaveFileReplacesTheFileAndLoadFileReadsIt)
{
    TempDir dir;
    TBitmap bitmap(3, 3, TPixelFormat::pf24bit);
    bitmap.Canvas().SetPixel(1, 1, clNavy);
    bitmap.SaveFile(dir.File("a.bmp"));
    TBitmap back;
    back.LoadFile(dir.File("a.bmp"));
    EXPECT_EQ(back.Canvas().Pixel(1, 1), clNavy);
    EXPECT_TRUE(back.Equals(bitmap));
}

TEST(BitmapFile, RunLengthFourBitsExpandsRunsEscapesAndLiterals)
{
    // 6 x 2, 4 bits: bottom row: run of 5 alternating 1,2 then end of row; top row:
    // move by (1, 0), 3 literal pixels 3,4,5, end of image.
    const std::vector<uint8_t> runs = {5, 0x12, 0, 0, 0, 2, 1, 0, 0, 3, 0x34, 0x50, 0, 1};
    Bytes b;
    b.u8('B').u8('M').u32(0).u32(0).u32(14 + 40 + 64);
    b.u32(40).u32(6).u32(2).u16(1).u16(4).u32(BI_RLE4).u32(static_cast<uint32_t>(runs.size())).u32(0).u32(0);
    b.u32(16).u32(0);
    for (int i = 0; i < 16; ++i)
        b.u8(static_cast<uint32_t>(i * 16)).u8(0).u8(0).u8(0); // entry i: blue 16 i
    b.raw(runs);
    auto bitmap = load(b.data());
    EXPECT_EQ(bitmap->PixelFormat(), TPixelFormat::pf4bit);
    std::vector<int> indices;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            indices.push_back(static_cast<int>(GetBValue(TCanvas(*bitmap).Pixel(x, y)) / 16));
    EXPECT_EQ(indices, (std::vector<int>{0, 3, 4, 5, 0, 0, 1, 2, 1, 2, 1, 0}));
}

TEST(BitmapFile, RunLengthClaimingAHugeImageIsRefused)
{
    Bytes b;
    b.u8('B').u8('M').u32(0).u32(0).u32(14 + 40 + 1024);
    b.u32(40).u32(60000).u32(60000).u16(1).u16(8).u32(BI_RLE8).u32(2).u32(0).u32(0).u32(0).u32(0);
    b.fill(1024);
    b.u8(0).u8(1);
    TBitmap bitmap;
    TReadOnlyMemoryStream stream(b.data().data(), b.size());
    EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);
}

TEST(BitmapFile, PixelBudgetRefusesLargerImagesBeforeReadingThem)
{
    TBitmap source(100, 10, TPixelFormat::pf24bit); // rows of 300 bytes
    const std::vector<uint8_t> bytes = save(source);
    for (const int64_t budget : {int64_t(2999), int64_t(3000)}) {
        TBitmap bitmap(1, 1);
        bitmap.SetMaxPixelBytes(budget);
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        if (budget < 3000) {
            try {
                bitmap.LoadFromStream(stream);
                ADD_FAILURE() << "loaded beyond the budget";
            } catch (const EOutOfMemory& e) {
                EXPECT_EQ(e.Message(), "Mémoire insuffisante");
            }
            EXPECT_EQ(bitmap.Width(), 1);
        } else {
            bitmap.LoadFromStream(stream);
            EXPECT_EQ(bitmap.Width(), 100);
        }
    }

    // A picture hands its budget to the graphic it reads.
    TPicture picture;
    picture.Bitmap().SetSize(100, 10);
    picture.Bitmap().SetPixelFormat(TPixelFormat::pf24bit);
    TMemoryStream stored;
    picture.WriteStored(stored);
    TPicture reader;
    reader.SetMaxPixelBytes(2999);
    TReadOnlyMemoryStream in(stored.Bytes().data(), stored.Bytes().size());
    EXPECT_THROW(reader.ReadStored(in), EOutOfMemory);
}
