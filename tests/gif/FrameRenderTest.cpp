#include "tests/gif/ColourTestUtil.h"
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Palette.h"
#include "gif/ColorLookup.h"
#include "gif/Dither.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

const std::vector<TColor> kFour = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};

// Indices 0 .. 3 in turn.
FramePlan countingFrame(int width, int height)
{
    FramePlan f;
    f.width = width;
    f.height = height;
    for (int i = 0; i < width * height; ++i)
        f.pixels.push_back(uint8_t(i % 4));
    return f;
}

std::unique_ptr<TBitmap> canvasOf(int width, int height, TColor colour)
{
    auto bitmap = std::make_unique<TBitmap>(width, height);
    bitmap->Canvas().Brush().SetColor(colour);
    bitmap->Canvas().FillRect(Rect(0, 0, width, height));
    return bitmap;
}

TGIFSubImage& frameOf(TGIFImage& image, int index = 0)
{
    return image.Images().Items(index);
}

std::vector<std::string> warningsOf(TGIFImage& image, const std::function<void()>& f)
{
    std::vector<std::string> warnings;
    image.OnWarn = [&](TObject*, int, const std::string& message) { warnings.push_back(message); };
    f();
    image.OnWarn = nullptr;
    return warnings;
}

} // namespace

TEST(FrameRendering, DirectRenderingKeepsTheIndicesUnderTheFramesColours)
{
    // Shaped like the main window's background: no graphic control block.
    auto image = buildImage({4, 2, kFour, {countingFrame(4, 2)}});
    image->SetDrawFlags(image->DrawFlags() & ~dfDither);
    TBitmap* bitmap = frameOf(*image).RenderedBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->BitsPerPixel(), 8);
    ASSERT_EQ(bitmap->Palette()->Count(), 256);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RGB(bitmap->Palette()->Entry(i).peRed, bitmap->Palette()->Entry(i).peGreen,
                      bitmap->Palette()->Entry(i).peBlue),
                  kFour[size_t(i)]);
    EXPECT_EQ(bitmap->Palette()->Entry(4), TPaletteEntry{});
    EXPECT_EQ(bitmap->ScanLine(1)[1], 1);
    EXPECT_EQ(frameOf(*image).Mask(), nullptr);

    auto target = canvasOf(4, 2, clBlack);
    frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 4, 2), false, true);
    EXPECT_EQ(pixelAt(*target, 0, 0), kFour[0]);
    EXPECT_EQ(pixelAt(*target, 3, 1), kFour[3]);
}

struct MaskCase {
    int width;
    size_t rowBytes;
    bool dithered;
};

class FrameMask : public testing::TestWithParam<MaskCase> {};

TEST_P(FrameMask, MarksExactlyTheTransparentPixelsMostSignificantBitFirst)
{
    const MaskCase& c = GetParam();
    EXPECT_EQ(MaskRowBytes(c.width), c.rowBytes);
    FramePlan f;
    f.width = c.width;
    f.height = 2;
    f.transparent = 3;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < c.width; ++x)
            f.pixels.push_back((y == 0 ? x % 3 == 0 : x == c.width - 1) ? 3 : 1);
    auto image = buildImage({c.width, 2, kFour, {f}});
    image->SetDrawFlags(c.dithered ? dfDither : 0);
    TGIFSubImage& frame = frameOf(*image);
    ASSERT_TRUE(frame.MaskAvailable());
    EXPECT_FALSE(frame.MaskDue());
    const TBitmap& mask = *frame.Mask();
    ASSERT_TRUE(mask.Monochrome());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < c.width; ++x) {
            const bool bit = (mask.ScanLine(y)[x >> 3] & (0x80 >> (x & 7))) != 0;
            EXPECT_EQ(bit, f.pixels[size_t(y * c.width + x)] == 3) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Widths, FrameMask,
                         testing::Values(MaskCase{1, 2, false}, MaskCase{7, 2, false}, MaskCase{8, 2, true},
                                         MaskCase{15, 2, true}, MaskCase{16, 2, false}, MaskCase{17, 4, true},
                                         MaskCase{9, 2, true}));

TEST(FrameRendering, ATransparentColourNoPixelHasGivesNoMaskAndDrawsOpaque)
{
    FramePlan f = countingFrame(4, 1);
    f.pixels = {0, 1, 2, 0};
    f.transparent = 3;
    auto image = buildImage({4, 1, kFour, {f}});
    TGIFSubImage& frame = frameOf(*image);
    EXPECT_FALSE(frame.MaskAvailable());
    EXPECT_FALSE(frame.MaskDue());
    auto target = canvasOf(4, 1, clBlack);
    frame.DrawFrame(target->Canvas(), Rect(0, 0, 4, 1), false, true);
    EXPECT_EQ(pixelAt(*target, 2, 0), kFour[2]);
}

TEST(FrameRendering, TransparentDrawingKeepsTheTargetUnderTransparentPixels)
{
    FramePlan f;
    f.width = 3;
    f.height = 1;
    f.pixels = {0, 3, 2};
    f.transparent = 3;
    auto image = buildImage({3, 1, kFour, {f}});
    auto target = canvasOf(3, 1, RGB(9, 9, 9));
    frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 3, 1), false, true);
    EXPECT_EQ(pixelAt(*target, 0, 0), kFour[0]);
    EXPECT_EQ(pixelAt(*target, 1, 0), RGB(9, 9, 9));
    EXPECT_EQ(pixelAt(*target, 2, 0), kFour[2]);
    frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 3, 1), false, false);
    EXPECT_EQ(pixelAt(*target, 1, 0), kFour[3]);
}

TEST(FrameRendering, AnEmptyFrameHasNoBitmapAndDrawsNothing)
{
    ImagePlan plan{4, 4, kFour, {FramePlan{}}};
    auto image = buildImage(plan);
    EXPECT_EQ(frameOf(*image).RenderedBitmap(), nullptr);
    auto target = canvasOf(4, 4, clBlack);
    frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 4, 4), false, true);
    EXPECT_EQ(pixelAt(*target, 0, 0), clBlack);
}

TEST(FrameRendering, TilesRepeatAtTheImageSizeFromTheFramesPlace)
{
    auto image = buildImage({20, 20, kFour, {solidFrame(2, 3, 10, 10, 0)}});
    auto target = canvasOf(45, 45, clBlack);
    frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 45, 45), true, false);
    const int starts[] = {2, 22, 42};
    for (int x = 0; x < 45; ++x)
        for (int y = 0; y < 45; ++y) {
            bool inTile = false;
            for (int tx : starts)
                for (int ty : {3, 23, 43})
                    inTile = inTile || (x >= tx && x < tx + 10 && y >= ty && y < ty + 10);
            ASSERT_EQ(pixelAt(*target, x, y), inTile ? kFour[0] : clBlack) << x << "," << y;
        }
}

TEST(FrameRendering, ScaledBoundsRoundToTheNearestPixel)
{
    auto image = buildImage({3, 3, kFour, {solidFrame(1, 1, 1, 1, 0)}});
    EXPECT_EQ(frameOf(*image).ScaledBounds(Rect(10, 20, 20, 30)), Rect(13, 23, 17, 27));
}

TEST(FrameRendering, AScreenWithoutAreaDrawsNothingAndScalesToNothing)
{
    // Nothing ties a frame to the logical screen on reading.
    const std::vector<uint8_t> gif = ByteBuilder(gifHeader(0, 0, 2))
                                         .raw(imageDescriptor(0, 0, 2, 2).bytes())
                                         .raw(LzwCodes(2).add({4, 1, 1, 1, 1, 5}).imageData())
                                         .u8(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    ASSERT_EQ(loaded->Width(), 0);
    EXPECT_TRUE(frameOf(*loaded.image).ScaledBounds(Rect(0, 0, 8, 8)).IsEmpty());
    auto target = canvasOf(8, 8, clBlack);
    loaded->Draw(target->Canvas(), Rect(0, 0, 8, 8));
    frameOf(*loaded.image).DrawFrame(target->Canvas(), Rect(0, 0, 8, 8), true, false);
    EXPECT_EQ(pixelAt(*target, 0, 0), clBlack);
    TGIFPainter* painter = nullptr;
    EXPECT_EQ(loaded->StartPainting(painter, target->Canvas(), dfAnimate, Rect(0, 0, 8, 8)), nullptr);
}

struct DitherCase {
    int width;
};

class DitheredFrame : public testing::TestWithParam<DitherCase> {};

// Cube colours need no diffusion, so every pixel must get its own colour's cube index,
// whichever way its row is walked; transparent pixels keep the cube index nearest the
// transparent colour.
TEST_P(DitheredFrame, CubeColoursMapExactlyAndTransparentPixelsKeepTheFill)
{
    const int width = GetParam().width;
    const std::vector<TColor> colours = {RGB(0, 51, 102), RGB(255, 204, 153), RGB(100, 30, 200), RGB(51, 51, 51)};
    FramePlan f;
    f.width = width;
    f.height = 3;
    f.transparent = 2;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x)
            f.pixels.push_back(uint8_t((x + y) % 5 == 0 ? 2 : (x * 7 + y) % 2 ? 3 : x % 2));
    auto image = buildImage({width, 3, colours, {f}});
    image->SetDrawFlags(dfDither);
    TBitmap* bitmap = frameOf(*image).RenderedBitmap();
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(bitmap->Palette()->Count(), 256);
    auto cube = [](int r, int g, int b) { return 36 * ((r + 3) / 51) + 6 * ((g + 3) / 51) + (b + 3) / 51; };
    const int expected[] = {cube(0, 51, 102), cube(255, 204, 153), cube(100, 30, 200), cube(51, 51, 51)};
    EXPECT_EQ(expected[2], 75);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(bitmap->ScanLine(y)[x], expected[f.pixels[size_t(y * width + x)]]) << x << "," << y;
}

// Diffused errors follow the walk: rows alternate direction, and the source pixel is the
// one under the ditherer's column.
TEST_P(DitheredFrame, ErrorsDiffuseAlongTheSerpentineWalk)
{
    const int width = GetParam().width;
    std::vector<TColor> ramp;
    for (int i = 0; i < 16; ++i)
        ramp.push_back(RGB(i * 13 + 7, 200 - i * 9, (i * 37) % 256));
    FramePlan f;
    f.width = width;
    f.height = 4;
    f.transparent = 5;
    for (int i = 0; i < width * 4; ++i)
        f.pixels.push_back(uint8_t((i * 11) % 16));
    auto image = buildImage({width, 4, ramp, {f}});
    image->SetDrawFlags(dfDither);
    TBitmap* bitmap = frameOf(*image).RenderedBitmap();
    ASSERT_NE(bitmap, nullptr);

    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer ditherer(width, lookup);
    uint8_t r, g, b;
    for (int y = 0; y < 4; ++y) {
        for (int n = 0; n < width; ++n) {
            const int x = y % 2 == 0 ? n : width - 1 - n;
            ASSERT_EQ(ditherer.Column(), x);
            const uint8_t index = f.pixels[size_t(y * width + x)];
            if (index == 5) {
                ditherer.SkipColumn();
                continue;
            }
            const TColor c = ramp[index];
            ASSERT_EQ(bitmap->ScanLine(y)[x], ditherer.MapPixel(GetRValue(c), GetGValue(c), GetBValue(c), r, g, b))
                << x << "," << y;
        }
        ditherer.EndRow();
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, DitheredFrame, testing::Values(DitherCase{8}, DitherCase{9}, DitherCase{15}));

TEST(FrameRendering, IndicesBeyondTheMapRenderBlackWithOneWarning)
{
    for (const bool dithered : {false, true}) {
        FramePlan f;
        f.width = 4;
        f.height = 2;
        f.pixels = {0, 9, 200, 1, 9, 9, 1, 0};
        auto image = buildImage({4, 2, {RGB(255, 0, 0), RGB(0, 0, 255)}, {f}});
        image->SetDrawFlags(dithered ? dfDither : 0);
        const auto warnings = warningsOf(*image, [&] { frameOf(*image).RenderedBitmap(); });
        EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
        auto target = canvasOf(4, 2, clWhite);
        frameOf(*image).DrawFrame(target->Canvas(), Rect(0, 0, 4, 2), false, false);
        EXPECT_EQ(pixelAt(*target, 1, 0), clBlack) << dithered;
        EXPECT_EQ(pixelAt(*target, 2, 0), clBlack) << dithered;
        EXPECT_EQ(pixelAt(*target, 0, 0), RGB(255, 0, 0)) << dithered;
    }
}

TEST(FrameRendering, AnImageWithoutColourTablesRendersBlackWhileItsPalettesStillRaise)
{
    for (const bool dithered : {false, true}) {
        auto image = buildImage({2, 1, {}, {solidFrame(0, 0, 2, 1, 1)}});
        image->SetDrawFlags(dithered ? dfDither : 0);
        const auto warnings = warningsOf(*image, [&] { frameOf(*image).RenderedBitmap(); });
        EXPECT_EQ(warnings, std::vector<std::string>{"No global or local color table defined"});
        auto target = canvasOf(2, 1, clWhite);
        image->Draw(target->Canvas(), Rect(0, 0, 2, 1));
        EXPECT_EQ(pixelAt(*target, 1, 0), clBlack);
        if (!dithered) {
            frameOf(*image).DiscardBitmap();
            EXPECT_EQ(messageOf<GIFException>([&] { frameOf(*image).FramePalette(); }),
                      "No global or local color table defined");
            EXPECT_EQ(messageOf<GIFException>([&] { image->QueryPalette(); }),
                      "No global or local color table defined");
            EXPECT_EQ(frameOf(*image).DrawingPalette(), nullptr);
        }
    }
}

TEST(FramePalette, TakesTheFirstOfBitmapCacheCubeImageAndLocalMap)
{
    FramePlan local = solidFrame(0, 0, 1, 1, 0);
    local.local = {RGB(1, 2, 3), RGB(4, 5, 6)};
    auto image = buildImage({1, 1, kFour, {solidFrame(0, 0, 1, 1, 0), local}});
    image->SetDrawFlags(0);
    TGIFSubImage& global = frameOf(*image, 0);
    TGIFSubImage& own = frameOf(*image, 1);

    EXPECT_EQ(global.FramePalette(), image->QueryPalette());
    EXPECT_EQ(global.CachedPalette(), nullptr);
    EXPECT_EQ(global.FramePalette()->Count(), 4);

    const TPalette* made = own.FramePalette();
    EXPECT_EQ(made, own.CachedPalette());
    EXPECT_EQ(made->Entry(1), (TPaletteEntry{4, 5, 6, pcNoCollapse}));

    own.RenderedBitmap();
    EXPECT_EQ(own.FramePalette(), own.Bitmap()->Palette());

    image->SetDrawFlags(dfDither);
    global.DiscardBitmap();
    EXPECT_EQ(global.FramePalette()->Count(), 216);
    EXPECT_EQ(global.FramePalette(), global.CachedPalette());
}

TEST(FramePalette, ANewPaletteDropsTheBitmapAndTellsTheImage)
{
    auto image = buildImage({1, 1, kFour, {solidFrame(0, 0, 1, 1, 0)}});
    std::vector<TObject*> senders;
    image->OnChange = [&](TObject*) {};
    TGIFSubImage& frame = frameOf(*image);
    frame.RenderedBitmap();
    EXPECT_FALSE(image->PaletteChanged());
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    frame.SetFramePalette(std::make_unique<TPalette>(std::vector<TPaletteEntry>{{9, 9, 9, 0}}));
    EXPECT_EQ(frame.Bitmap(), nullptr);
    EXPECT_TRUE(image->PaletteChanged());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(frame.CachedPalette()->Entry(0).peRed, 9);

    // With PaletteChanged set every rendering asks for a repaint, naming the frame.
    TObject* sender = nullptr;
    bool redraw = false;
    image->OnProgressStep = [&](TObject* s, TProgressStage stage, uint8_t, bool r, const TRect&, const std::string&) {
        if (stage == TProgressStage::psEnding) {
            sender = s;
            redraw = r;
        }
    };
    frame.RenderedBitmap();
    EXPECT_EQ(sender, &frame);
    EXPECT_TRUE(redraw);
    EXPECT_EQ(changes, 2);

    // A change of the local map drops the bitmap too.
    frame.ColorMap().Add(RGB(1, 1, 1));
    EXPECT_EQ(frame.Bitmap(), nullptr);
}

TEST(FrameRendering, ReportsStartEveryThirtySecondRowAndEnd)
{
    auto image = buildImage({1, 70, kFour, {solidFrame(0, 0, 1, 70, 1)}});
    std::vector<std::pair<TProgressStage, int>> reports;
    image->OnProgressStep = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect& rect,
                                const std::string& message) {
        EXPECT_EQ(message, "Rendering...");
        EXPECT_EQ(sender, &frameOf(*image));
        EXPECT_FALSE(redraw);
        EXPECT_TRUE(rect.IsEmpty());
        reports.emplace_back(stage, percent);
    };
    frameOf(*image).RenderedBitmap();
    using S = TProgressStage;
    EXPECT_EQ(reports,
              (std::vector<std::pair<S, int>>{
                  {S::psStarting, 0}, {S::psRunning, 0}, {S::psRunning, 46}, {S::psRunning, 91}, {S::psEnding, 100}}));
}

TEST(FrameRendering, AFailedRenderingKeepsTheMaskDueAndAsksForNoRepaint)
{
    FramePlan f = solidFrame(0, 0, 2, 2, 3);
    f.transparent = 3;
    auto image = buildImage({2, 2, kFour, {f}});
    image->SetPaletteChanged();
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    int endedAt = -1;
    image->OnProgressStep = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                const std::string&) {
        if (stage == TProgressStage::psRunning)
            throw EOutOfMemory();
        if (stage == TProgressStage::psEnding)
            endedAt = percent;
    };
    TGIFSubImage& frame = frameOf(*image);
    EXPECT_THROW(frame.RenderedBitmap(), EOutOfMemory);
    EXPECT_EQ(frame.Bitmap(), nullptr);
    EXPECT_TRUE(frame.MaskDue());
    EXPECT_EQ(endedAt, 0);
    EXPECT_EQ(changes, 0);
    image->OnProgressStep = nullptr;
    EXPECT_TRUE(frame.MaskAvailable());
}

TEST(FrameRendering, MaskAvailableRendersAgainWhenTheMaskIsDue)
{
    FramePlan f = solidFrame(0, 0, 2, 1, 3);
    f.transparent = 3;
    auto image = buildImage({2, 1, kFour, {f}});
    TGIFSubImage& frame = frameOf(*image);
    EXPECT_TRUE(frame.MaskAvailable());
    frame.DiscardMask();
    EXPECT_TRUE(frame.MaskDue());
    EXPECT_EQ(frame.Mask(), nullptr);
    EXPECT_NE(frame.Bitmap(), nullptr);
    EXPECT_TRUE(frame.MaskAvailable());
    EXPECT_NE(frame.Mask(), nullptr);
}

TEST(FrameRendering, CachesGoWhenTheFrameIsClearedOrResized)
{
    FramePlan f = solidFrame(0, 0, 2, 1, 3);
    f.transparent = 3;
    auto image = buildImage({4, 4, kFour, {f}});
    TGIFSubImage& frame = frameOf(*image);
    frame.MaskAvailable();
    frame.SetWidth(3);
    EXPECT_EQ(frame.Bitmap(), nullptr);
    EXPECT_TRUE(frame.MaskDue());
    frame.MaskAvailable();
    frame.SetLeft(1); // a move keeps them
    EXPECT_NE(frame.Bitmap(), nullptr);
    frame.Clear();
    EXPECT_EQ(frame.Bitmap(), nullptr);
    EXPECT_EQ(frame.Mask(), nullptr);
}

TEST(FrameRendering, RenderOnLoadRendersEveryFrameAsItIsRead)
{
    RenderOnLoad = true;
    Loaded loaded = loadGif(readDataFile("animated-red-blue.gif"));
    RenderOnLoad = false;
    ASSERT_EQ(loaded.error, "");
    for (int i = 0; i < loaded->Images().Count(); ++i) {
        if (!frameOf(*loaded.image, i).Empty()) {
            EXPECT_NE(frameOf(*loaded.image, i).Bitmap(), nullptr) << i;
        }
    }
}

TEST(MaskedStretchBlt, CopiesTheSourceOnlyWhereTheMaskIsClearAtAnySize)
{
    TBitmap source(2, 1);
    source.Canvas().SetPixel(0, 0, RGB(200, 0, 0));
    source.Canvas().SetPixel(1, 0, RGB(0, 200, 0));
    const uint8_t maskRows[] = {0x40, 0x00}; // the second pixel is transparent
    std::unique_ptr<TBitmap> mask = TBitmap::CreateMonochrome(2, 1, maskRows);
    TCanvas maskCanvas(*mask);
    for (const int scale : {1, 3}) {
        auto target = canvasOf(2 * scale, scale, RGB(5, 5, 5));
        MaskedStretchBlt(target->Canvas(), Rect(0, 0, 2 * scale, scale), source.Canvas(), Rect(0, 0, 2, 1), maskCanvas);
        for (int x = 0; x < 2 * scale; ++x)
            EXPECT_EQ(pixelAt(*target, x, scale - 1), x < scale ? RGB(200, 0, 0) : RGB(5, 5, 5)) << scale << ":" << x;
    }
}

TEST(FrameCopy, AnotherFramesContentIsCopiedAndOtherSourcesAreRefused)
{
    FramePlan f = solidFrame(1, 1, 2, 2, 1);
    f.transparent = 1;
    f.local = {RGB(7, 7, 7), RGB(8, 8, 8)};
    auto image = buildImage({4, 4, kFour, {f}});
    TGIFSubImage& source = frameOf(*image);
    source.RenderedBitmap();

    TGIFSubImage copy(image.get());
    copy.CopyFrom(&source);
    EXPECT_EQ(copy.BoundsRect(), source.BoundsRect());
    EXPECT_EQ(copy.ColorMap().Count(), 2);
    EXPECT_TRUE(copy.Transparent());
    ASSERT_NE(copy.GraphicControlExtension(), nullptr);
    EXPECT_EQ(copy.GraphicControlExtension()->TransparentColorIndex(), 1);
    EXPECT_EQ(std::vector<uint8_t>(copy.Data(), copy.Data() + 4), std::vector<uint8_t>(4, 1));
    ASSERT_NE(copy.Bitmap(), nullptr);
    EXPECT_NE(copy.Bitmap(), source.Bitmap());

    TBitmap bitmap;
    copy.CopyInto(bitmap);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), RGB(8, 8, 8));
    TPen pen;
    EXPECT_EQ(messageOf<EConvertError>([&] { copy.CopyFrom(&pen); }), "Ne peut affecter TPen à TGIFSubImage");
}
