// The button's looks painted on plain bitmaps, pixel by pixel.
#include "controls/ExplorerButtonPaint.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "tests/framework/graphics/RasterTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr TColor kGround = RGB(0, 128, 0);
const TColor kLight = ColorToRGB(clBtnHighlight);
const TColor kDark = ColorToRGB(clBtnShadow);
const TColor kFace = ColorToRGB(clBtnFace);

const std::vector<std::pair<TColor, char>> kLegend = {{kGround, '.'}, {kLight, 'H'}, {kDark, 'S'},  {kFace, 'F'},
                                                      {clNavy, 'n'},  {clRed, 'r'},  {clBlack, 'K'}};

std::unique_ptr<TBitmap> ground(int width, int height)
{
    auto bitmap = std::make_unique<TBitmap>(width, height);
    bitmap->Canvas().Brush().SetColor(kGround);
    bitmap->Canvas().FillRect(Rect(0, 0, width, height));
    return bitmap;
}

ExplorerButtonLook plainLook(int width, int height)
{
    ExplorerButtonLook look;
    look.width = width;
    look.height = height;
    look.options = boShowBevel;
    return look;
}

std::string painted(const ExplorerButtonLook& look)
{
    TBitmap surface(look.width, look.height);
    surface.Canvas().Brush().SetColor(kGround);
    surface.Canvas().FillRect(Rect(0, 0, look.width, look.height));
    paintExplorerButton(surface.Canvas(), look);
    return Picture(surface, kLegend);
}

// Text-free pictures from rows: "r." is a red and a ground pixel.
std::unique_ptr<TBitmap> fromRows(const std::vector<std::string>& rows,
                                  const std::vector<std::pair<char, TColor>>& colors)
{
    auto bitmap = std::make_unique<TBitmap>(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            for (const auto& [symbol, color] : colors)
                if (symbol == rows[y][x])
                    bitmap->Canvas().SetPixel(static_cast<int>(x), static_cast<int>(y), color);
    return bitmap;
}

enum class Axis { Columns, Rows };

// The first and last column (or row) that hold a pixel of the colour; -1 for none.
std::pair<int, int> inkSpan(TBitmap& surface, TColor ink, Axis axis)
{
    int first = -1, last = -1;
    TCanvas reader(surface);
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x)
            if (reader.Pixel(x, y) == ink) {
                const int at = axis == Axis::Columns ? x : y;
                first = first < 0 ? at : std::min(first, at);
                last = std::max(last, at);
            }
    return {first, last};
}

std::pair<int, int> inkColumns(TBitmap& surface, TColor ink)
{
    return inkSpan(surface, ink, Axis::Columns);
}

std::pair<int, int> inkRows(TBitmap& surface, TColor ink)
{
    return inkSpan(surface, ink, Axis::Rows);
}

} // namespace

TEST(ExplorerButtonPaint, BevelsFollowStyleAndLook)
{
    const std::string lightTopLeft = "HHHHS\nH...S\nH...S\nHSSSS\n";
    const std::string darkTopLeft = "SSSSH\nS...H\nS...H\nSHHHH\n";
    ExplorerButtonLook look = plainLook(5, 4);
    look.mouseInside = true;
    EXPECT_EQ(painted(look), lightTopLeft) << "raised, hot";
    look.pressed = true;
    EXPECT_EQ(painted(look), darkTopLeft) << "raised, pressed";
    look.bevelStyle = TBevelStyle::bsLowered;
    EXPECT_EQ(painted(look), lightTopLeft) << "lowered, pressed";
    look.pressed = false;
    EXPECT_EQ(painted(look), darkTopLeft) << "lowered, hot";
    look.mouseInside = false;
    EXPECT_EQ(painted(look), ".....\n.....\n.....\n.....\n") << "flat";
}

TEST(ExplorerButtonPaint, WithoutShowBevelNoFrameIsDrawnEvenWhenDown)
{
    ExplorerButtonLook look = plainLook(5, 4);
    look.options = 0;
    look.mouseInside = true;
    look.pressed = true;
    EXPECT_EQ(painted(look), ".....\n.....\n.....\n.....\n");
    look.down = true;
    look.showDownPattern = false;
    EXPECT_EQ(painted(look), ".....\n.....\n.....\n.....\n");
}

TEST(ExplorerButtonPaint, ADownButtonShowsTheSunkenBevelOverTheCheckeredPattern)
{
    ExplorerButtonLook look = plainLook(6, 4);
    look.down = true;
    EXPECT_EQ(painted(look), "SSSSSH\nSHFHFH\nSFHFHH\nSHHHHH\n");
    look.showDownPattern = false;
    EXPECT_EQ(painted(look), "SSSSSH\nS....H\nS....H\nSHHHHH\n") << "the parent's own background";
    look.showDownPattern = true;
    look.enabled = false;
    EXPECT_EQ(painted(look), "SSSSSH\nSHFHFH\nSFHFHH\nSHHHHH\n") << "disabled and down";
}

TEST(ExplorerButtonPaint, ThePatternIsAnchoredToTheSurfaceNotTheButton)
{
    ExplorerButtonLook look = plainLook(4, 2);
    look.options = 0;
    look.down = true;
    auto surface = ground(5, 2);
    TCanvas& canvas = surface->Canvas();
    canvas.SetOrigin({1, 0});
    canvas.SetClipRect(Rect(0, 0, 4, 2));
    paintExplorerButton(canvas, look);
    // At an odd position the button's own (0, 0) falls on a face-coloured cell.
    EXPECT_EQ(Picture(*surface, kLegend), ".FHFH\n.HFHF\n");
}

TEST(ExplorerButtonPaint, TheSharedPatternIsMadeOnFirstNeedAndMadeAgainIdentically)
{
    freeDownPattern();
    ExplorerButtonLook look = plainLook(8, 8);
    look.options = 0;
    std::string blank;
    for (int y = 0; y < 8; ++y)
        blank += "........\n";
    EXPECT_EQ(painted(look), blank);
    EXPECT_FALSE(downPatternExists()) << "an up button needs no pattern";
    look.down = true;
    const std::string first = painted(look);
    EXPECT_TRUE(downPatternExists());
    EXPECT_EQ(first.substr(0, 9), "HFHFHFHF\n");
    freeDownPattern();
    EXPECT_EQ(painted(look), first);
}

TEST(ExplorerButtonPaint, AnEmptyCaptionShowsTheMarkAloneCentredAsATenPixelBlock)
{
    ExplorerButtonLook look = plainLook(17, 17);
    look.options = boPopupMark;
    look.hasDropDownMenu = true;
    look.unselectedFontColor = clNavy;
    look.font.SetColor(clRed);
    const auto markRows = [](const std::string& picture, char ink) {
        // Rows of the picture from the mark's top row on, reduced to the mark's columns.
        std::vector<std::string> rows;
        size_t start = 0;
        for (int y = 0; y < 17; ++y) {
            const std::string row = picture.substr(start, 17);
            start += 18;
            if (row.find(ink) != std::string::npos)
                rows.push_back(std::to_string(y) + ":" + row);
        }
        return rows;
    };
    // Flat: left end (17 - 10) div 2 + 3 = 6, top row 17 div 2 - 1 = 7, unselected colour.
    EXPECT_EQ(markRows(painted(look), 'n'), (std::vector<std::string>{"7:......nnnnnnn....", "8:.......nnnnn.....",
                                                                      "9:........nnn......", "10:.........n......."}));
    look.mouseInside = true;
    EXPECT_EQ(markRows(painted(look), 'r'), (std::vector<std::string>{"7:......rrrrrrr....", "8:.......rrrrr.....",
                                                                      "9:........rrr......", "10:.........r......."}))
        << "hot: the font's colour";
    look.pressed = true;
    EXPECT_EQ(markRows(painted(look), 'r'), (std::vector<std::string>{"8:.......rrrrrrr...", "9:........rrrrr....",
                                                                      "10:.........rrr.....", "11:..........r......"}))
        << "pressed: one pixel right and down";
    look.hasDropDownMenu = false;
    EXPECT_TRUE(markRows(painted(look), 'r').empty()) << "no menu, no mark";
    look.hasDropDownMenu = true;
    look.enabled = false;
    EXPECT_TRUE(markRows(painted(look), 'r').empty() && markRows(painted(look), 'n').empty()) << "disabled";
}

TEST(ExplorerButtonPaint, TransparentBitmapsKeepTheCanvasUnderTheirTransparentColour)
{
    auto image = fromRows({"mrm", "rKm"}, {{'m', clFuchsia}, {'r', clRed}, {'K', clBlack}});
    auto surface = ground(5, 4);
    DrawTransparentBitmap(surface->Canvas(), *image, 1, 1, clFuchsia);
    EXPECT_EQ(Picture(*surface, kLegend), ".....\n..r..\n.rK..\n.....\n");
    EXPECT_EQ(TCanvas(*image).Pixel(0, 0), clFuchsia) << "the image itself is unchanged";
}

TEST(ExplorerButtonPaint, TheEmbossedReliefLandsOnTheImagesBlackPixels)
{
    // Black pixels get the highlight one pixel down and right and the shadow in place;
    // every other pixel of the image, white or coloured, leaves the canvas alone.
    auto image = fromRows({"wKw", "Krw", "www"}, {{'w', clWhite}, {'K', clBlack}, {'r', clRed}});
    auto surface = ground(5, 5);
    DrawEmbossedBitmap(surface->Canvas(), 1, 1, *image);
    EXPECT_EQ(Picture(*surface, kLegend), ".....\n..S..\n.S.H.\n..H..\n.....\n");
}

TEST(ExplorerButtonPaint, ADisabledButtonShowsTheReliefWithoutMark)
{
    auto image = fromRows({"wKw", "KKK"}, {{'w', clWhite}, {'K', clBlack}});
    ExplorerButtonLook look = plainLook(15, 8);
    look.enabled = false;
    look.mouseInside = true;
    look.bitmap = image.get();
    look.hasDropDownMenu = true;
    look.options = boShowBevel | boPopupMark;
    // With the mark's 10 pixels bx = (15 - 13) div 2 = 1; by = (8 - 2) div 2 = 3.
    const std::string blank = "...............\n";
    EXPECT_EQ(painted(look),
              blank + blank + blank + "..S............\n.SSS...........\n..HHH..........\n" + blank + blank);
    auto disabled = fromRows({"rr"}, {{'r', clRed}});
    disabled->Canvas().SetPixel(0, 0, clBlue);
    look.disabledBitmap = disabled.get();
    look.hasDropDownMenu = false;
    // Placed by Bitmap's size: bx = (15 - 3) div 2 = 6; its own corner colour is transparent.
    EXPECT_EQ(painted(look), blank + blank + blank + ".......r.......\n" + blank + blank + blank + blank);
}

TEST(ExplorerButtonPaint, ADisabledCaptionIsEmbossed)
{
    ExplorerButtonLook look = plainLook(40, 20);
    look.caption = "Go";
    look.enabled = false;
    auto surface = ground(40, 20);
    paintExplorerButton(surface->Canvas(), look);
    const auto [lightTop, lightBottom] = inkRows(*surface, kLight);
    const auto [darkTop, darkBottom] = inkRows(*surface, kDark);
    ASSERT_NE(darkTop, -1);
    EXPECT_EQ(lightBottom, darkBottom + 1) << "the highlight copy lies one pixel lower";
    EXPECT_EQ(inkColumns(*surface, kLight).second, inkColumns(*surface, kDark).second + 1);
}

TEST(ExplorerButtonPaint, TheMonoDisplayShowsTheNoFocusOrGreyImageWhileTheMouseIsAway)
{
    auto normal = fromRows({"wr"}, {{'w', clWhite}, {'r', clRed}});
    auto grey = fromRows({"wS"}, {{'w', clWhite}, {'S', kDark}});
    auto noFocus = fromRows({"wn"}, {{'w', clWhite}, {'n', clNavy}});
    ExplorerButtonLook look = plainLook(6, 3);
    look.options = boMonoDisplay;
    look.bitmap = normal.get();
    look.shadedBitmap = grey.get();
    // bx = (6 - 2) div 2 = 2, by = (3 - 1) div 2 = 1.
    EXPECT_EQ(painted(look), "......\n...S..\n......\n");
    look.noFocusBitmap = noFocus.get();
    EXPECT_EQ(painted(look), "......\n...n..\n......\n");
    look.mouseInside = true;
    EXPECT_EQ(painted(look), "......\n...r..\n......\n");
    look.mouseInside = false;
    look.options = 0;
    EXPECT_EQ(painted(look), "......\n...r..\n......\n") << "without boMonoDisplay";
    look.options = boMonoDisplay;
    look.noFocusBitmap = nullptr;
    look.shadedBitmap = nullptr;
    EXPECT_EQ(painted(look), "......\n......\n......\n") << "no grey image: no picture";
    look.pressed = look.mouseInside = true;
    EXPECT_EQ(painted(look), "......\n......\n....r.\n") << "pressed: one pixel right and down";
}

TEST(ExplorerButtonPaint, BitmapsAreDormantAfterPainting)
{
    auto normal = fromRows({"wr"}, {{'w', clWhite}, {'r', clRed}});
    auto disabled = fromRows({"wr"}, {{'w', clWhite}, {'r', clRed}});
    (void)normal->Canvas();
    (void)disabled->Canvas();
    ASSERT_FALSE(normal->IsDormant());
    ExplorerButtonLook look = plainLook(6, 3);
    look.bitmap = normal.get();
    look.disabledBitmap = disabled.get();
    painted(look);
    EXPECT_TRUE(normal->IsDormant());
    EXPECT_TRUE(disabled->IsDormant());
}

namespace {

struct ShadeCase {
    const char* name;
    TExplorerButtonShadingType shading;
    int white, highlight, shadow;
};

class GreyImage : public testing::TestWithParam<ShadeCase> {};

// A colour whose channels add up to sum.
TColor withSum(int sum)
{
    const int r = std::min(sum, 255), g = std::min(sum - r, 255), b = sum - r - g;
    return RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
}

} // namespace

TEST_P(GreyImage, ThresholdsSplitTheChannelSums)
{
    const ShadeCase& c = GetParam();
    const std::vector<std::pair<int, TColor>> cases = {
        {765, clWhite},       {c.white + 1, clWhite}, {c.white, kLight},   {c.highlight + 1, kLight},
        {c.highlight, kDark}, {c.shadow + 1, kDark},  {c.shadow, clBlack}, {0, clBlack}};
    TBitmap source(static_cast<int>(cases.size()) + 2, 1);
    TCanvas& s = source.Canvas();
    const TColor transparent = RGB(1, 2, 3);
    s.SetPixel(0, 0, transparent);
    for (size_t i = 0; i < cases.size(); ++i)
        s.SetPixel(static_cast<int>(i) + 1, 0, withSum(cases[i].first));
    s.SetPixel(static_cast<int>(cases.size()) + 1, 0, transparent);
    TBitmap grey;
    MakeShadedBitmap(grey, source, c.shading);
    TCanvas g(grey);
    EXPECT_EQ(g.Pixel(0, 0), transparent);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(g.Pixel(static_cast<int>(i) + 1, 0), cases[i].second) << "channel sum " << cases[i].first;
    EXPECT_EQ(g.Pixel(static_cast<int>(cases.size()) + 1, 0), transparent) << "the corner colour stays";
    EXPECT_TRUE(source.IsDormant() && grey.IsDormant());
}

INSTANTIATE_TEST_SUITE_P(ShadingTypes, GreyImage,
                         testing::Values(ShadeCase{"Light", TExplorerButtonShadingType::stLight, 205, 127, 68},
                                         ShadeCase{"Medium", TExplorerButtonShadingType::stMedium, 553, 231, 57},
                                         ShadeCase{"Dark", TExplorerButtonShadingType::stDark, 335, 274, 175}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ExplorerButtonPaint, ALongCaptionIsCutToWidthLessFourAndEndsInAnEllipsis)
{
    ExplorerButtonLook look = plainLook(40, 20);
    look.caption = "A caption far too wide";
    look.unselectedFontColor = clNavy;
    auto cut = ground(40, 20);
    paintExplorerButton(cut->Canvas(), look);
    const auto [first, last] = inkColumns(*cut, clNavy);
    EXPECT_GE(first, 2);
    EXPECT_LE(last, 37) << "the caption's rectangle is 36 pixels wide from x = 2";
    look.useEllipsis = false;
    auto plain = ground(40, 20);
    paintExplorerButton(plain->Canvas(), look);
    EXPECT_NE(Picture(*cut, kLegend), Picture(*plain, kLegend)) << "the ellipsis replaces the cut-off text";
}

TEST(ExplorerButtonPaint, TheCaptionMovesOnePixelWhenPressedOrWhenTheBevelIsLowered)
{
    ExplorerButtonLook look = plainLook(30, 20);
    look.caption = "X";
    look.options = 0;
    look.unselectedFontColor = clNavy;
    look.font.SetColor(clNavy);
    const auto topLeftInk = [&look] {
        auto surface = ground(30, 20);
        paintExplorerButton(surface->Canvas(), look);
        return TPoint{inkColumns(*surface, clNavy).first, inkRows(*surface, clNavy).first};
    };
    const TPoint flat = topLeftInk();
    look.mouseInside = true;
    EXPECT_EQ(topLeftInk(), flat) << "hot";
    look.pressed = true;
    EXPECT_EQ(topLeftInk(), (TPoint{flat.x + 1, flat.y + 1})) << "pressed";
    look.bevelStyle = TBevelStyle::bsLowered;
    EXPECT_EQ(topLeftInk(), flat) << "lowered, pressed";
    look.pressed = false;
    EXPECT_EQ(topLeftInk(), (TPoint{flat.x + 1, flat.y + 1})) << "lowered, hot";
    look.mouseInside = false;
    EXPECT_EQ(topLeftInk(), (TPoint{flat.x + 1, flat.y + 1})) << "lowered, flat";
}

TEST(ExplorerButtonPaint, WordWrapBreaksTheCaptionOntoSeveralLines)
{
    ExplorerButtonLook look = plainLook(40, 40);
    look.caption = "Open file";
    look.unselectedFontColor = clNavy;
    auto oneLine = ground(40, 40);
    paintExplorerButton(oneLine->Canvas(), look);
    look.wordWrap = true;
    auto wrapped = ground(40, 40);
    paintExplorerButton(wrapped->Canvas(), look);
    const auto [top1, bottom1] = inkRows(*oneLine, clNavy);
    const auto [top2, bottom2] = inkRows(*wrapped, clNavy);
    EXPECT_GT(bottom2 - top2, 2 * (bottom1 - top1));
}

TEST(ExplorerButtonPaint, AnUnderlinedAcceleratorAndTheIconOnlyOption)
{
    ExplorerButtonLook look = plainLook(40, 20);
    look.caption = "&Go";
    look.unselectedFontColor = clNavy;
    auto marked = ground(40, 20);
    paintExplorerButton(marked->Canvas(), look);
    look.caption = "Go";
    auto plain = ground(40, 20);
    paintExplorerButton(plain->Canvas(), look);
    EXPECT_GT(inkRows(*marked, clNavy).second, inkRows(*plain, clNavy).second) << "the underline lies below the text";
    look.options |= boIconOnly;
    auto iconOnly = ground(40, 20);
    paintExplorerButton(iconOnly->Canvas(), look);
    EXPECT_EQ(inkRows(*iconOnly, clNavy).first, -1) << "no caption at all";
}

TEST(ExplorerButtonPaint, TheWorkingCaptionIsCutOnACharacterBoundary)
{
    const std::string x254(254, 'x');
    EXPECT_EQ(workingCaption(x254 + "\xC3\xA9" + "tail"), x254) << "the two-byte character does not fit";
    EXPECT_EQ(workingCaption(x254 + "y\xC3\xA9"), x254 + "y");
    EXPECT_EQ(workingCaption(x254 + "\xC3"), x254 + "\xC3") << "short captions stay as they are";
}

TEST(ExplorerButtonPaint, DesignModeOutlinesTheButton)
{
    ExplorerButtonLook look = plainLook(5, 4);
    look.designing = true;
    EXPECT_EQ(painted(look), "KKKKK\nK...K\nK...K\nKKKKK\n");
}
