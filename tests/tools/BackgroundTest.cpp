#include "tools/background/Background.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Color.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string Committed = CARNELO_BACKGROUND_GIF;

struct GiflibClose {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GiflibFile = std::unique_ptr<GifFileType, GiflibClose>;

// The committed file as giflib, an independent decoder, reads it.
GiflibFile slurpCommitted()
{
    int error = 0;
    GiflibFile gif(DGifOpenFileName(Committed.c_str(), &error));
    if (!gif || DGifSlurp(gif.get()) != GIF_OK)
        return nullptr;
    return gif;
}

TColor shownAt(const GifFileType& gif, int x, int y)
{
    const GifColorType c = gif.SColorMap->Colors[gif.SavedImages[0].RasterBits[y * gif.SWidth + x]];
    return RGB(c.Red, c.Green, c.Blue);
}

// Contrast as screen readability guidelines measure it: (L1 + 0.05) / (L2 + 0.05) of
// the relative luminances, 1 to 21.
double luminance(TColor colour)
{
    auto linear = [](uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) + 0.0722 * linear(GetBValue(colour));
}

double contrast(TColor a, TColor b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(Background, CommittedFileIsWhatTheGeneratorWrites)
{
    TMemoryStream committed;
    committed.LoadFromFile(Committed);
    EXPECT_TRUE(background::gifBytes() == committed.Bytes())
        << "resources/background.gif is not the generator's output; redraw it with "
           "`cmake --build BUILD --target background`";
}

TEST(Background, IsOneWholeFrameOfGif87aWithA256ColourMapAndNoExtensions)
{
    const GiflibFile gif = slurpCommitted();
    ASSERT_TRUE(gif);
    TMemoryStream committed;
    committed.LoadFromFile(Committed);
    EXPECT_EQ(std::string(committed.Bytes().begin(), committed.Bytes().begin() + 6), "GIF87a");
    EXPECT_EQ(gif->SWidth, background::Width);
    EXPECT_EQ(gif->SHeight, background::Height);
    ASSERT_TRUE(gif->SColorMap);
    EXPECT_EQ(gif->SColorMap->ColorCount, 256);
    ASSERT_EQ(gif->ImageCount, 1);
    const GifImageDesc& frame = gif->SavedImages[0].ImageDesc;
    EXPECT_EQ(frame.Left, 0);
    EXPECT_EQ(frame.Top, 0);
    EXPECT_EQ(frame.Width, background::Width);
    EXPECT_EQ(frame.Height, background::Height);
    EXPECT_FALSE(frame.ColorMap);
    EXPECT_EQ(gif->ExtensionBlockCount + gif->SavedImages[0].ExtensionBlockCount, 0);
}

TEST(Background, FileShowsTheDrawnPictureExactly)
{
    const GiflibFile gif = slurpCommitted();
    ASSERT_TRUE(gif);
    const std::unique_ptr<TBitmap> picture = background::drawPicture();
    int wrong = 0;
    for (int y = 0; y < background::Height; ++y)
        for (int x = 0; x < background::Width; ++x)
            wrong += picture->Canvas().Pixel(x, y) != shownAt(*gif, x, y);
    EXPECT_EQ(wrong, 0);
}

// Where the window's captions and labels stand, and the least contrast their ink needs
// against every pixel of the picture under them.
struct CaptionCase {
    const char* name;
    int left, top, width, height;
    TColor ink;
    double least;
};

class BackgroundCaptions : public testing::TestWithParam<CaptionCase> {};

TEST_P(BackgroundCaptions, StandOutFromTheGroundUnderThem)
{
    const CaptionCase& c = GetParam();
    const GiflibFile gif = slurpCommitted();
    ASSERT_TRUE(gif);
    double worst = 21;
    for (int y = c.top; y < c.top + c.height; ++y)
        for (int x = c.left; x < c.left + c.width; ++x)
            worst = std::min(worst, contrast(c.ink, shownAt(*gif, x, y)));
    EXPECT_GE(worst, c.least);
}

// Red can reach no more than 4 : 1 on any ground, so the hot ">>" asks for less.
INSTANTIATE_TEST_SUITE_P(Layout, BackgroundCaptions,
                         testing::Values(CaptionCase{"tel_label", 50, 91, 24, 13, clNavy, 7},
                                         CaptionCase{"address_label", 50, 131, 38, 13, clNavy, 7},
                                         CaptionCase{"email_label", 50, 203, 29, 13, clNavy, 7},
                                         CaptionCase{"web_site_label", 242, 203, 44, 13, clNavy, 7},
                                         CaptionCase{"name_label", 138, 44, 34, 13, clNavy, 7},
                                         CaptionCase{"file_hot", 48, 40, 41, 20, clYellow, 7},
                                         CaptionCase{"file", 48, 40, 41, 20, RGB(218, 203, 182), 4.5},
                                         CaptionCase{"close", 449, 10, 17, 17, clNavy, 7},
                                         CaptionCase{"close_hot", 449, 10, 17, 17, clBlue, 4.5},
                                         CaptionCase{"go", 416, 216, 21, 20, clNavy, 7},
                                         CaptionCase{"go_hot", 416, 216, 21, 20, clRed, 3.5}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Background, PictureOfMoreThan256ColoursIsRefused)
{
    TBitmap picture(257, 1, TPixelFormat::pf32bit);
    for (int x = 0; x < 257; ++x)
        picture.Canvas().SetPixel(x, 0, RGB(uint8_t(x), uint8_t(x >> 8), 0));
    EXPECT_THROW(background::imageOf(picture), Exception);
    picture.Canvas().SetPixel(256, 0, RGB(1, 0, 0));
    EXPECT_EQ(background::imageOf(picture)->Header().ColorMap().Count(), 256);
}
