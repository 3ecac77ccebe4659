// Composed frames against a small compositor of the usual rules, fed by giflib's decoding
// of the same bytes: start at the background colour; keep (0, 1 and the undefined 4 to
// 7), restore to background (2) or to previous (3) after a frame; transparent pixels
// leave what is under them; indices beyond the colour map are black; frames are clipped
// to the screen.
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "gif/ComposedFrames.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

namespace {

using Screen = std::vector<TColor>; // row by row, 0x00BBGGRR

struct Reference {
    int width = 0, height = 0;
    std::vector<Screen> frames;
};

std::vector<TColor> colorsOf(const ColorMapObject* map)
{
    std::vector<TColor> colors;
    if (map)
        for (int i = 0; i < map->ColorCount; ++i)
            colors.push_back(RGB(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return colors;
}

// honourTransparency: false draws transparent pixels in their colour.
std::unique_ptr<Reference> compose(const std::vector<uint8_t>& bytes, bool honourTransparency = true)
{
    const auto gif = giflibRead(bytes);
    if (!gif)
        return nullptr;
    auto result = std::make_unique<Reference>();
    const int w = result->width = gif->SWidth, h = result->height = gif->SHeight;
    const std::vector<TColor> global = colorsOf(gif->SColorMap);
    TColor background = ColorToRGB(clWindow);
    if (!global.empty())
        background = global[size_t(gif->SBackGroundColor) < global.size() ? gif->SBackGroundColor : 0];
    Screen screen(size_t(w) * size_t(h), background);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        for (int e = 0; e < image.ExtensionBlockCount; ++e)
            if (image.ExtensionBlocks[e].Function == GRAPHICS_EXT_FUNC_CODE) {
                DGifExtensionToGCB(image.ExtensionBlocks[e].ByteCount, image.ExtensionBlocks[e].Bytes, &control);
                break;
            }
        const int disposal = control.DisposalMode > 3 ? 1 : control.DisposalMode;
        const std::vector<TColor> colors = d.ColorMap ? colorsOf(d.ColorMap) : global;
        const Screen before = screen;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int sx = d.Left + x, sy = d.Top + y;
                const int index = image.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
                if (sx >= w || sy >= h || (honourTransparency && index == control.TransparentColor))
                    continue;
                screen[size_t(sy) * size_t(w) + size_t(sx)] =
                    size_t(index) < colors.size() ? colors[size_t(index)] : clBlack;
            }
        result->frames.push_back(screen);
        if (disposal == 2) {
            for (int y = d.Top; y < std::min(h, d.Top + d.Height); ++y)
                for (int x = d.Left; x < std::min(w, d.Left + d.Width); ++x)
                    screen[size_t(y) * size_t(w) + size_t(x)] = background;
        } else if (disposal == 3) {
            screen = before;
        }
    }
    return result;
}

// The first pixel where the composed frame differs, or "".
std::string difference(const TBitmap& composed, const Screen& expected, int width, int height, int dx = 0, int dy = 0)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TColor got = pixelAt(composed, x + dx, y + dy);
            const TColor want = expected[size_t(y) * size_t(width) + size_t(x)];
            if (got != want) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d, %d): %06X, expected %06X", x, y, unsigned(got), unsigned(want));
                return text;
            }
        }
    return "";
}

void expectComposedLikeReference(const std::vector<uint8_t>& bytes)
{
    auto reference = compose(bytes);
    ASSERT_NE(reference, nullptr) << "giflib refuses the file";
    Loaded loaded = loadGif(bytes);
    ASSERT_EQ(loaded.error, "");
    loaded->SetDrawFlags(0); // rendering straight from the indices, no dithering
    std::vector<std::string> mismatches;
    const int count = ComposeFrames(*loaded.image, [&](int k, const TBitmap& screen) {
        if (size_t(k) < reference->frames.size()) {
            const std::string d = difference(screen, reference->frames[size_t(k)], reference->width, reference->height);
            if (!d.empty())
                mismatches.push_back("frame " + std::to_string(k) + " " + d);
        }
        return mismatches.size() < 3;
    });
    EXPECT_EQ(mismatches, std::vector<std::string>{});
    EXPECT_EQ(size_t(count), reference->frames.size());
}

std::vector<uint8_t> bytesOf(const ImagePlan& plan)
{
    return saveGif(*buildImage(plan));
}

const std::vector<TColor> kColours = {RGB(250, 240, 230), RGB(200, 0, 0),   RGB(0, 160, 0),   RGB(0, 0, 220),
                                      RGB(90, 90, 90),    RGB(255, 255, 0), RGB(0, 255, 255), RGB(40, 20, 10)};

FramePlan disposed(FramePlan f, int disposal, int transparent = -1)
{
    f.disposal = disposal;
    f.transparent = transparent;
    return f;
}

// A frame whose pixels run through indices first..first+3, so each position shows.
FramePlan patterned(int left, int top, int width, int height, int first)
{
    FramePlan f = solidFrame(left, top, width, height, 0);
    for (size_t i = 0; i < f.pixels.size(); ++i)
        f.pixels[i] = uint8_t(first + (i * 5) % 4);
    return f;
}

} // namespace

class AnimatedFile : public testing::TestWithParam<std::string> {};

TEST_P(AnimatedFile, ComposesAsTheReferenceDoes)
{
    expectComposedLikeReference(readDataFile(GetParam()));
}

std::vector<std::string> animatedFiles()
{
    std::vector<std::string> animated;
    for (const char* folder : {"", "artificial-gif"})
        for (const std::string& file : dataFiles(folder)) {
            Loaded loaded = loadGif(readDataFile(file));
            if (loaded.error.empty() && framesWithImage(*loaded.image).size() >= 2)
                animated.push_back(file);
        }
    return animated;
}

INSTANTIATE_TEST_SUITE_P(TestData, AnimatedFile, testing::ValuesIn(animatedFiles()), [](const auto& testInfo) {
    std::string name = testInfo.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

struct MadeCase {
    const char* name;
    ImagePlan plan;
};

class MadeAnimation : public testing::TestWithParam<MadeCase> {};

TEST_P(MadeAnimation, ComposesAsTheReferenceDoes)
{
    expectComposedLikeReference(bytesOf(GetParam().plan));
}

INSTANTIATE_TEST_SUITE_P(
    Disposals, MadeAnimation,
    testing::Values(
        MadeCase{"previous_after_keep",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 1), disposed(patterned(2, 1, 4, 3, 4), 3, 5),
                                   disposed(patterned(1, 1, 3, 3, 1), 0)}}},
        MadeCase{"previous_after_none",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 0), disposed(patterned(2, 1, 4, 3, 4), 3),
                                   disposed(patterned(5, 2, 3, 4, 2), 1)}}},
        MadeCase{"previous_after_background",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 1), disposed(patterned(1, 1, 4, 4, 4), 2, 4),
                                   disposed(patterned(3, 2, 4, 3, 1), 3), disposed(patterned(0, 3, 5, 3, 2), 1)}}},
        MadeCase{"previous_after_previous",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 1), disposed(patterned(1, 1, 4, 4, 4), 3),
                                   disposed(patterned(3, 2, 4, 3, 1), 3), disposed(patterned(2, 0, 2, 6, 2), 0)}}},
        MadeCase{"background_under_transparency",
                 {8, 6, kColours, {disposed(patterned(1, 1, 6, 4, 0), 2, 2), disposed(patterned(0, 0, 4, 4, 4), 2, 5),
                                   disposed(patterned(3, 2, 5, 4, 1), 1, 3)},
                  -1, 6}},
        MadeCase{"undefined_disposals_keep",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 5), disposed(patterned(2, 2, 3, 3, 4), 7),
                                   disposed(patterned(1, 0, 3, 3, 1), 3)}}},
        MadeCase{"past_the_screen",
                 {8, 6, kColours, {disposed(patterned(0, 0, 8, 6, 0), 1), disposed(patterned(6, 4, 5, 5, 4), 2),
                                   disposed(patterned(5, 3, 4, 4, 1), 1)}}},
        MadeCase{"local_maps_and_background_index",
                 {6, 4, kColours, {disposed(patterned(0, 0, 6, 4, 0), 2),
                                   [] {
                                       FramePlan f = disposed(patterned(1, 1, 3, 2, 0), 1, 1);
                                       f.local = {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12)};
                                       return f;
                                   }()},
                  -1, 3}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Composition, IndicesBeyondTheColourMapAreBlack)
{
    // Two global colours, but 2-bit codes that reach indices 2 and 3.
    const std::vector<uint8_t> gif = ByteBuilder(gifHeader(4, 2, 2))
                                         .raw(imageDescriptor(0, 0, 4, 2).bytes())
                                         .raw(LzwCodes(2).add({4, 0, 1, 0, 1, 1, 0, 1, 0, 5}).imageData())
                                         .raw(imageDescriptor(1, 0, 3, 2).bytes())
                                         .raw(LzwCodes(2).add({4, 2, 3, 1, 3, 2, 0, 5}).imageData())
                                         .u8(0x3B);
    expectComposedLikeReference(gif);
}

// Plays the file once onto a canvas of the given size filled with fill, at area, and
// compares each painted frame with the reference there. Returns the frames painted.
int playAgainstReference(const std::vector<uint8_t>& bytes, TGIFDrawFlags flags, int width, int height,
                         const TRect& area, TColor fill, const std::function<void(TGIFPainter&)>& check = {})
{
    auto reference = compose(bytes, (flags & dfTransparent) != 0);
    Loaded loaded = loadGif(bytes);
    loaded->SetDrawFlags(0);
    loaded->SetAnimationRate(-1);
    TBitmap canvas(width, height);
    canvas.Canvas().Brush().SetColor(fill);
    canvas.Canvas().FillRect(Rect(0, 0, width, height));
    TGIFPainter painter(flags | dfAnimate | dfDirect, area, canvas.Canvas(), *loaded.image);
    if (check)
        check(painter);
    int k = 0;
    painter.OnFramePainted = [&](TObject*) {
        EXPECT_EQ(
            difference(canvas, reference->frames[size_t(k)], reference->width, reference->height, area.left, area.top),
            "")
            << "frame " << k;
        ++k;
    };
    painter.Play();
    return k;
}

TEST(Composition, RestoringToBackgroundWithoutTransparencyFillsTheBackgroundColour)
{
    ImagePlan plan{8,
                   6,
                   kColours,
                   {disposed(patterned(1, 1, 6, 4, 0), 2, 2), disposed(patterned(0, 0, 4, 4, 4), 2, 5),
                    disposed(patterned(3, 2, 5, 4, 1), 1)},
                   -1,
                   7};
    const int painted = playAgainstReference(bytesOf(plan), 0, 8, 6, Rect(0, 0, 8, 6), kColours[7], [](TGIFPainter& p) {
        EXPECT_NE(p.FrameBuffer(), nullptr);
        EXPECT_EQ(p.BackgroundSave(), nullptr);
    });
    EXPECT_EQ(painted, 3);
}

TEST(Composition, APainterAwayFromTheCanvasOriginRestoresInItsOwnArea)
{
    ImagePlan plan{8,
                   6,
                   kColours,
                   {disposed(patterned(0, 0, 8, 6, 0), 1), disposed(patterned(1, 1, 4, 4, 4), 2, 4),
                    disposed(patterned(3, 2, 4, 3, 1), 1)}};
    for (const TGIFDrawFlags flags : {TGIFDrawFlags(dfTransparent), TGIFDrawFlags(0)})
        EXPECT_EQ(playAgainstReference(bytesOf(plan), flags, 20, 16, Rect(5, 7, 13, 13), kColours[0]), 3);
}

TEST(Composition, AnAnimationWithoutColourTablesComposesBlack)
{
    auto image = buildImage({4, 2, {}, {disposed(patterned(0, 0, 4, 2, 0), 2), disposed(patterned(1, 0, 2, 2, 0), 3)}});
    image->SetDrawFlags(0);
    const int count = ComposeFrames(*image, [](int, const TBitmap& screen) {
        EXPECT_EQ(pixelAt(screen, 1, 1), clBlack);
        return true;
    });
    EXPECT_EQ(count, 2);
    EXPECT_NE(image->Bitmap(), nullptr);
}

TEST(Composition, AScreenBeyondThePixelBudgetIsRefusedBeforeAllocating)
{
    Loaded loaded = loadGif(ByteBuilder(gifHeader(65535, 65535, 2))
                                .raw(imageDescriptor(0, 0, 1, 1).bytes())
                                .raw(LzwCodes(2).add({4, 1, 5}).imageData())
                                .u8(0x3B));
    ASSERT_EQ(loaded.error, "");
    EXPECT_THROW(ComposeFrames(*loaded.image, {}), EOutOfMemory);
}

TEST(Composition, StopsWhenTheCallerSaysSoAndLeavesTheRateAlone)
{
    Loaded loaded = loadGif(readDataFile("animated-red-blue.gif"));
    loaded->SetAnimationRate(250);
    const int count = ComposeFrames(*loaded.image, [](int k, const TBitmap&) { return k < 1; });
    EXPECT_EQ(count, 2);
    EXPECT_EQ(loaded->AnimationRate(), 250);
}
