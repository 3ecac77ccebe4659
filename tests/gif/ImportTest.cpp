// Frames made from bitmaps and other graphics.
#include "tests/gif/ImageBuilder.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/Picture.h"
#include "gif/DIB.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TPalette> paletteOf(std::vector<TColor> colors)
{
    std::vector<TPaletteEntry> entries;
    for (TColor c : colors)
        entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
    return std::make_unique<TPalette>(std::move(entries));
}

std::unique_ptr<TBitmap> indexed(TPixelFormat format, int width, int height, std::vector<TColor> palette,
                                 const std::vector<std::vector<uint8_t>>& rowBytes)
{
    auto bitmap = std::make_unique<TBitmap>(width, height, format);
    bitmap->SetPalette(paletteOf(std::move(palette)));
    for (int y = 0; y < height; ++y)
        std::copy(rowBytes[size_t(y)].begin(), rowBytes[size_t(y)].end(), bitmap->ScanLine(y));
    return bitmap;
}

std::vector<uint8_t> row(TGIFSubImage& frame, int y)
{
    return {frame.Scanline(y), frame.Scanline(y) + frame.Width()};
}

// The colour every pixel of the frame shows.
std::vector<TColor> frameColors(TGIFSubImage& frame)
{
    std::vector<TColor> colors;
    TGIFColorMap& map = frame.EffectiveColorMap();
    for (int64_t n = 0; n < frame.DataSize(); ++n)
        colors.push_back(map.Colors(frame.Data()[n]));
    return colors;
}

std::vector<TColor> bitmapColors(const TBitmap& bitmap)
{
    std::vector<TColor> colors;
    TDIBReader reader(bitmap, TPixelFormat::pf24bit);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = reader.ScanLineAt(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3)
            colors.push_back(RGB(p[2], p[1], p[0]));
    }
    return colors;
}

// A frame of a real image, so that import uses the image's settings and reports.
struct Target {
    TGIFImage image;
    TGIFSubImage* frame;
    std::vector<std::pair<TProgressStage, int>> reports;
    Target()
    {
        image.Images().Add(std::make_unique<TGIFSubImage>(&image));
        frame = &image.Images().Items(0);
        image.OnProgressStep = [this](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                      const std::string& message) {
            EXPECT_EQ(message, "Converting...");
            reports.emplace_back(stage, percent);
        };
    }
};

// A few colours in every format, the same picture in each.
std::unique_ptr<TBitmap> pattern(TPixelFormat format)
{
    auto bitmap = std::make_unique<TBitmap>(7, 5, format);
    const TColor colors[] = {RGB(255, 0, 0), RGB(0, 128, 255), RGB(10, 20, 30), RGB(255, 255, 255)};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            bitmap->Canvas().SetPixel(x, y, colors[(x + 2 * y) % 4]);
    return bitmap;
}

TEST(Import, IndexedRowsUnpackHighBitsFirst)
{
    Target t;
    t.frame->CopyFrom(indexed(TPixelFormat::pf1bit, 8, 1, {clBlack, clWhite}, {{0xB0}}).get());
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{1, 0, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(t.frame->ColorMap().Count(), 2);

    std::vector<TColor> sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.push_back(RGB(i * 16, 0, 0));
    t.frame->CopyFrom(indexed(TPixelFormat::pf4bit, 3, 1, sixteen, {{0x5C, 0x30}}).get());
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{5, 12, 3}));

    std::vector<TColor> palette = {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)};
    t.frame->CopyFrom(indexed(TPixelFormat::pf8bit, 3, 2, palette, {{2, 0, 1}, {1, 1, 2}}).get());
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{2, 0, 1}));
    EXPECT_EQ(row(*t.frame, 1), (std::vector<uint8_t>{1, 1, 2}));
    ASSERT_EQ(t.frame->ColorMap().Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(t.frame->ColorMap().Colors(i), palette[size_t(i)]);
}

TEST(Import, TrueColourUnderNoReductionKeepsFirstAppearanceOrder)
{
    Target t;
    t.image.SetReductionMethod(crNone);
    TBitmap bitmap(4, 1, TPixelFormat::pf24bit);
    const TColor colors[] = {RGB(0, 0, 255), RGB(9, 200, 1), RGB(0, 0, 255), RGB(255, 1, 2)};
    for (int x = 0; x < 4; ++x)
        bitmap.Canvas().SetPixel(x, 0, colors[x]);
    t.frame->CopyFrom(&bitmap);
    ASSERT_EQ(t.frame->ColorMap().Count(), 3);
    EXPECT_EQ(t.frame->ColorMap().Colors(0), colors[0]);
    EXPECT_EQ(t.frame->ColorMap().Colors(1), colors[1]);
    EXPECT_EQ(t.frame->ColorMap().Colors(2), colors[3]);
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{0, 1, 0, 2}));
    EXPECT_EQ(t.frame->Bitmap(), nullptr);
}

TEST(Import, EveryPixelFormatShowsItsColoursOrTheirReduction)
{
    for (TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf15bit, TPixelFormat::pf16bit,
                                TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        SCOPED_TRACE(static_cast<int>(format));
        auto source = pattern(format);
        Target plain;
        plain.image.SetReductionMethod(crNone);
        plain.frame->CopyFrom(source.get());
        EXPECT_EQ(frameColors(*plain.frame), bitmapColors(*source));

        Target reduced;
        reduced.frame->CopyFrom(source.get());
        auto expected = ReduceColors(*source, DefaultReductionMethod, DefaultDitherMethod);
        EXPECT_EQ(frameColors(*reduced.frame), bitmapColors(*expected));
    }
}

// A 24-bit .ico of one image: colours top row first, and which pixels the mask leaves out.
std::unique_ptr<TIcon> icon(int width, int height, const std::vector<TColor>& colors, const std::vector<bool>& masked)
{
    auto le = [](std::vector<uint8_t>& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
    };
    const int colorStride = (width * 3 + 3) / 4 * 4, maskStride = ((width + 31) / 32) * 4;
    std::vector<uint8_t> image;
    le(image, 40, 4), le(image, uint32_t(width), 4), le(image, uint32_t(height * 2), 4), le(image, 1, 2);
    le(image, 24, 2), le(image, 0, 4), le(image, 0, 4), le(image, 0, 4), le(image, 0, 4), le(image, 0, 4);
    le(image, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const TColor c = masked[size_t(y * width + x)] ? clBlack : colors[size_t(y * width + x)];
            image.insert(image.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        }
        image.resize(image.size() + size_t(colorStride - width * 3));
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> bits(static_cast<size_t>(maskStride));
        for (int x = 0; x < width; ++x)
            if (masked[size_t(y * width + x)])
                bits[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        image.insert(image.end(), bits.begin(), bits.end());
    }
    std::vector<uint8_t> file;
    le(file, 0, 2), le(file, 1, 2), le(file, 1, 2);
    file.insert(file.end(), {uint8_t(width), uint8_t(height), 0, 0});
    le(file, 1, 2), le(file, 24, 2), le(file, uint32_t(image.size()), 4), le(file, 22, 4);
    file.insert(file.end(), image.begin(), image.end());
    auto result = std::make_unique<TIcon>();
    TReadOnlyMemoryStream stream(file.data(), file.size());
    result->LoadFromStream(stream);
    return result;
}

TEST(Import, IconMaskBecomesTheBlackEntryAddedAfterSorting)
{
    Target t;
    // Blue is used most; after sorting it comes first, then red, then the added black.
    const std::vector<TColor> colors = {clBlue, clBlue, clRed, clBlue};
    t.frame->CopyFrom(icon(2, 2, colors, {false, false, false, true}).get());
    ASSERT_TRUE(t.frame->Transparent());
    const int tr = t.frame->GraphicControlExtension()->TransparentColorIndex();
    ASSERT_EQ(t.frame->ColorMap().Count(), 4) << "blue, red, the masked pixels' black, the transparent black";
    EXPECT_EQ(tr, 3);
    EXPECT_EQ(t.frame->ColorMap().Colors(tr), clBlack);
    EXPECT_EQ(t.frame->Pixels(1, 1), tr);
    EXPECT_EQ(t.frame->ColorMap().Colors(t.frame->Pixels(0, 0)), clBlue);

    t.frame->CopyFrom(icon(2, 1, {clRed, clBlue}, {false, false}).get());
    EXPECT_FALSE(t.frame->Transparent());
    EXPECT_EQ(t.frame->Extensions().Count(), 0);
    EXPECT_EQ(t.frame->ColorMap().Count(), 2);
}

TEST(Import, MetafileLeavesUnpaintedPixelsTransparent)
{
    Target t;
    TMetafile metafile;
    metafile.SetSize(4, 2);
    metafile.AddFillRect(Rect(0, 0, 2, 2), RGB(200, 10, 10));
    metafile.AddPixel(TPoint{3, 0}, RGB(255, 255, 255));
    t.frame->CopyFrom(&metafile);
    ASSERT_TRUE(t.frame->Transparent());
    const int tr = t.frame->GraphicControlExtension()->TransparentColorIndex();
    EXPECT_EQ(t.frame->ColorMap().Colors(tr), clBlack);
    EXPECT_EQ(tr, t.frame->ColorMap().Count() - 1);
    EXPECT_EQ(t.frame->Pixels(2, 0), tr);
    EXPECT_EQ(t.frame->Pixels(3, 1), tr);
    EXPECT_NE(t.frame->Pixels(3, 0), tr);
    EXPECT_EQ(t.frame->ColorMap().Colors(t.frame->Pixels(3, 0)), clWhite);
    EXPECT_EQ(t.frame->ColorMap().Colors(t.frame->Pixels(0, 1)), t.frame->ColorMap().Colors(t.frame->Pixels(1, 0)));

    // Painted everywhere: no transparency and no extra colour.
    TMetafile full;
    full.SetSize(2, 1);
    full.AddFillRect(Rect(0, 0, 2, 1), RGB(0, 0, 200));
    t.frame->CopyFrom(&full);
    EXPECT_FALSE(t.frame->Transparent());
    EXPECT_EQ(t.frame->Extensions().Count(), 0);
    EXPECT_EQ(t.frame->ColorMap().Count(), 1);
}

TEST(Import, PictureNoneSelfAndOtherObjects)
{
    Target t;
    auto bitmap = indexed(TPixelFormat::pf8bit, 2, 1, {clRed, clBlue}, {{1, 0}});
    TPicture picture;
    picture.SetGraphic(bitmap.get());
    t.frame->CopyFrom(&picture);
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{1, 0}));

    t.frame->CopyFrom(t.frame);
    EXPECT_EQ(t.frame->Width(), 2);

    TPen pen;
    EXPECT_THROW(t.frame->CopyFrom(&pen), EConvertError);
    EXPECT_EQ(row(*t.frame, 0), (std::vector<uint8_t>{1, 0}));

    TPicture empty;
    t.frame->CopyFrom(&empty);
    EXPECT_TRUE(t.frame->Empty());
    t.frame->CopyFrom(bitmap.get());
    t.frame->CopyFrom(nullptr);
    EXPECT_TRUE(t.frame->Empty());
}

TEST(Import, ReportsConvertingEveryThirtyTwoRows)
{
    Target t;
    auto bitmap = indexed(TPixelFormat::pf8bit, 1, 100, {clRed}, std::vector<std::vector<uint8_t>>(100, {0}));
    t.frame->CopyFrom(bitmap.get());
    using S = TProgressStage;
    EXPECT_EQ(t.reports, (std::vector<std::pair<S, int>>{{S::psStarting, 0},
                                                         {S::psRunning, 0},
                                                         {S::psRunning, 32},
                                                         {S::psRunning, 64},
                                                         {S::psRunning, 96},
                                                         {S::psEnding, 100}}));
}

// Each failure leaves pixels, colours, bounds and extensions as they were.
TEST(Import, FailuresLeaveTheFrameAsItWas)
{
    struct Case {
        const char* name;
        TReductionMethod method;
        std::function<std::unique_ptr<TBitmap>()> make;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"over 256 colours without reduction", crNone,
         [] {
             auto b = std::make_unique<TBitmap>(300, 1, TPixelFormat::pf24bit);
             for (int x = 0; x < 300; ++x)
                 b->Canvas().SetPixel(x, 0, RGB(x % 256, x / 256, 7));
             return b;
         },
         "Color table overflow"},
        {"index beyond the palette", crNone,
         [] {
             return indexed(TPixelFormat::pf8bit, 2, 1, {clRed, clBlue}, {{0, 5}});
         },
         "Color not in color table"},
        {"reduction to a palette nobody gave", crPalette, [] { return pattern(TPixelFormat::pf24bit); },
         "No palette given for color reduction"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = buildImage({4, 4, {}, {[] {
                                     FramePlan f = solidFrame(1, 1, 2, 2, 1);
                                     f.local = {clGreen, clYellow};
                                     f.transparent = 0;
                                     f.delay = 7;
                                     return f;
                                 }()}});
        image->SetReductionMethod(c.method);
        TGIFSubImage& frame = image->Images().Items(0);
        const auto bitmap = c.make();
        try {
            frame.CopyFrom(bitmap.get());
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(frame.BoundsRect(), Rect(1, 1, 3, 3));
        EXPECT_EQ(row(frame, 1), (std::vector<uint8_t>{1, 1}));
        EXPECT_EQ(frame.ColorMap().Count(), 2);
        ASSERT_NE(frame.GraphicControlExtension(), nullptr);
        EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 7);
        EXPECT_TRUE(frame.Transparent());
        EXPECT_EQ(image->PixelBytes(), 4);
    }
}

TEST(Import, BitmapTakesAnImageThroughItsOwnCopyWithoutPainting)
{
    auto image = buildImage({3, 1, {clRed, clLime}, {solidFrame(0, 0, 3, 1, 1)}});
    TBitmap bitmap;
    bitmap.CopyFrom(image.get());
    EXPECT_EQ(image->Painter(), nullptr);
    ASSERT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(pixelAt(bitmap, 2, 0), clLime);
    // And back: the image's frame becomes a frame of another image.
    Target t;
    t.frame->CopyFrom(image.get());
    EXPECT_EQ(frameColors(*t.frame), (std::vector<TColor>(3, clLime)));

    // An image taking a bitmap reduces it with its own settings.
    TGIFImage gray;
    gray.SetReductionMethod(crBlackWhite);
    TBitmap red(2, 1, TPixelFormat::pf24bit);
    red.Canvas().SetPixel(0, 0, RGB(250, 250, 250));
    red.Canvas().SetPixel(1, 0, RGB(200, 0, 0));
    gray.CopyFrom(&red);
    ASSERT_EQ(gray.Images().Count(), 1);
    for (TColor c : frameColors(gray.Images().Items(0)))
        EXPECT_TRUE(c == clBlack || c == clWhite) << std::hex << c;
}

} // namespace
