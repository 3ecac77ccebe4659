#include "framework/graphics/Canvas.h"

#include "RasterTestUtil.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"

#include <gtest/gtest.h>

namespace {
const std::vector<std::pair<TColor, char>> kLegend = {
    {clBlack, 'k'},  {clWhite, 'w'},  {clRed, 'r'},  {clLime, 'g'}, {clBlue, 'b'},
    {clYellow, 'y'}, {clSilver, 's'}, {clGray, 'd'}, {clNavy, 'n'},
};

std::string row(TBitmap& bitmap)
{
    return Picture(bitmap, kLegend);
}

void paint(TBitmap& bitmap, const std::string& rows)
{
    int x = 0, y = 0;
    for (char ch : rows) {
        if (ch == '\n') {
            ++y;
            x = 0;
            continue;
        }
        for (const auto& [color, symbol] : kLegend)
            if (symbol == ch)
                bitmap.Canvas().SetPixel(x, y, color);
        ++x;
    }
}

// A monochrome bitmap from rows of '0' and '1'.
std::unique_ptr<TBitmap> mono(const std::vector<std::string>& rows)
{
    const int width = static_cast<int>(rows[0].size()), height = static_cast<int>(rows.size());
    std::vector<uint8_t> bits(RowBytes(width, 1, 16) * rows.size(), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '1')
                bits[static_cast<size_t>(y) * RowBytes(width, 1, 16) + static_cast<size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    return TBitmap::CreateMonochrome(width, height, bits.data());
}

std::string bits(TBitmap& bitmap)
{
    std::string out;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x)
            out += bitmap.Canvas().Pixel(x, y) == clWhite ? '1' : '0';
        out += '\n';
    }
    return out;
}
} // namespace

TEST(CanvasMono, ColourToMonoMarksPixelsOfTheSourceBackgroundColour)
{
    TBitmap source(4, 1);
    paint(source, "rwbr");
    source.Canvas().SetBackgroundColor(clRed);
    auto target = mono({"0000"});
    target->Canvas().BitBlt(0, 0, 4, 1, &source.Canvas(), 0, 0, cmSrcCopy);
    EXPECT_EQ(bits(*target), "1001\n");
}

TEST(CanvasMono, MonoToColourTakesDestinationTextAndBackgroundColours)
{
    auto source = mono({"1010"});
    TBitmap target(4, 1);
    target.Canvas().SetTextColor(clBlue);
    target.Canvas().SetBackgroundColor(clYellow);
    target.Canvas().BitBlt(0, 0, 4, 1, &source->Canvas(), 0, 0, cmSrcCopy);
    EXPECT_EQ(row(target), "ybyb\n");
}

TEST(CanvasMono, ConversionByBrushColourWhitensThatColourOnly)
{
    TBitmap image(4, 1);
    paint(image, "krkg");
    image.Canvas().Brush().SetColor(clBlack);
    image.SetMonochrome(true);
    EXPECT_TRUE(image.Monochrome());
    EXPECT_EQ(bits(image), "1010\n");
    image.SetMonochrome(false);
    EXPECT_EQ(row(image), "wkwk\n");
}

// The embossing step: a one-bit stencil (white where the image was black) goes through
// the text and background colours (black, white); 0x00E20746 paints the brush under its
// white bits and leaves the canvas under its black bits.
TEST(CanvasMono, PatternThroughStencilPaintsBrushUnderWhiteBits)
{
    TBitmap image(4, 1);
    paint(image, "krkg");
    TBitmap stencil;
    stencil.CopyFrom(&image);
    stencil.Canvas().Brush().SetColor(clBlack);
    stencil.SetMonochrome(true);

    TBitmap target(4, 1);
    paint(target, "ssss");
    TCanvas& canvas = target.Canvas();
    canvas.SetTextColor(clBlack);
    canvas.SetBackgroundColor(clWhite);
    canvas.Brush().SetColor(clBtnHighlight);
    canvas.BitBlt(0, 0, 4, 1, &stencil.Canvas(), 0, 0, cmPatThroughMask);
    EXPECT_EQ(row(target), "wsws\n");
}

// The AND/OR masking steps: black-under-mask colour image, mask ANDed onto the
// destination, colour image ORed on top.
TEST(CanvasMono, AndOrMaskingShowsSourceWhereOpaqueAndDestinationWhereTransparent)
{
    TBitmap source(3, 1);
    paint(source, "rgb");
    auto mask = mono({"010"});
    auto inverted = mono({"000"});
    inverted->Canvas().BitBlt(0, 0, 3, 1, &mask->Canvas(), 0, 0, cmNotSrcCopy);
    TBitmap colour(3, 1);
    colour.Canvas().BitBlt(0, 0, 3, 1, &inverted->Canvas(), 0, 0, cmSrcCopy);
    colour.Canvas().BitBlt(0, 0, 3, 1, &source.Canvas(), 0, 0, cmSrcAnd);
    EXPECT_EQ(row(colour), "rkb\n");

    TBitmap target(3, 1);
    paint(target, "yyy");
    target.Canvas().SetTextColor(clBlack);
    target.Canvas().SetBackgroundColor(clWhite);
    target.Canvas().BitBlt(0, 0, 3, 1, &mask->Canvas(), 0, 0, cmSrcAnd);
    EXPECT_EQ(row(target), "kyk\n");
    target.Canvas().BitBlt(0, 0, 3, 1, &colour.Canvas(), 0, 0, cmSrcPaint);
    EXPECT_EQ(row(target), "ryb\n");
}

TEST(CanvasMaskBlt, ForegroundOperationUnderOneBitsBackgroundUnderZeroBits)
{
    TBitmap source(4, 2), target(4, 2);
    paint(source, "rgbr\nbgrb");
    paint(target, "yyyy\nyyyy");
    auto mask = mono({"0110", "1000"});
    target.Canvas().MaskBlt(0, 0, 4, 2, source.Canvas(), 0, 0, *mask, 0, 0, MakeRop4(cmDstCopy, cmSrcCopy));
    EXPECT_EQ(row(target), "ryyr\nygrb\n");
    // Points outside the mask count as 0: everything is copied.
    paint(target, "yyyy\nyyyy");
    target.Canvas().MaskBlt(0, 0, 4, 2, source.Canvas(), 0, 0, *mask, 10, 10, MakeRop4(cmDstCopy, cmSrcCopy));
    EXPECT_EQ(row(target), "rgbr\nbgrb\n");
}

TEST(CanvasStretch, NearestPixelEnlargesAndReduces)
{
    TBitmap source(2, 2);
    paint(source, "rg\nby");
    TBitmap large(4, 4);
    large.Canvas().StretchBlt(Rect(0, 0, 4, 4), &source.Canvas(), Rect(0, 0, 2, 2), cmSrcCopy);
    EXPECT_EQ(row(large), "rrgg\nrrgg\nbbyy\nbbyy\n");

    TBitmap wide(4, 1);
    paint(wide, "rgby");
    TBitmap narrow(2, 1);
    narrow.Canvas().StretchBlt(Rect(0, 0, 2, 1), &wide.Canvas(), Rect(0, 0, 4, 1), cmSrcCopy);
    EXPECT_EQ(row(narrow), "gy\n");
}

TEST(CanvasStretch, MonoSourceStretchesThroughTextAndBackgroundColours)
{
    auto source = mono({"10"});
    TBitmap target(4, 2);
    target.Canvas().SetTextColor(clRed);
    target.Canvas().SetBackgroundColor(clBlue);
    target.Canvas().StretchBlt(Rect(0, 0, 4, 2), &source->Canvas(), Rect(0, 0, 2, 1), cmSrcCopy);
    EXPECT_EQ(row(target), "bbrr\nbbrr\n");
}

TEST(CanvasStretch, SourceAreaOutsideTheSourceLeavesTheDestination)
{
    TBitmap source(2, 1), target(4, 1);
    paint(source, "rg");
    paint(target, "yyyy");
    target.Canvas().BitBlt(0, 0, 4, 1, &source.Canvas(), -1, 0, cmSrcCopy);
    EXPECT_EQ(row(target), "yrgy\n");
}

TEST(CanvasCopy, OverlappingCopyWithinOneBitmapReadsTheOldPixels)
{
    TBitmap bitmap(4, 1);
    paint(bitmap, "rgby");
    bitmap.Canvas().BitBlt(1, 0, 3, 1, &bitmap.Canvas(), 0, 0, cmSrcCopy);
    EXPECT_EQ(row(bitmap), "rrgb\n");
}

namespace {
// Checkerboard like the pressed-button pattern: (0,0) white.
std::unique_ptr<TBitmap> checkerboard()
{
    auto pattern = std::make_unique<TBitmap>(8, 8);
    pattern->Canvas().Brush().SetColor(clSilver);
    pattern->Canvas().FillRect(Rect(0, 0, 8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if ((x + y) % 2 == 0)
                pattern->Canvas().SetPixel(x, y, clWhite);
    return pattern;
}
} // namespace

TEST(CanvasBrush, PatternIsAnchoredAtTheSurfaceOrigin)
{
    TBitmap target(6, 2);
    auto pattern = checkerboard();
    TCanvas& canvas = target.Canvas();
    canvas.Brush().SetBitmap(pattern.get());
    canvas.SetOrigin({3, 0}); // a control at x = 3 of its form
    canvas.FillRect(Rect(0, 0, 3, 2));
    EXPECT_EQ(row(target), "wwwsws\nwwwwsw\n");
}

TEST(CanvasBrush, PatternOutlivesTheBitmapItCameFrom)
{
    TBitmap target(3, 1);
    {
        auto pattern = checkerboard();
        target.Canvas().Brush().SetBitmap(pattern.get());
    }
    target.Canvas().FillRect(Rect(0, 0, 3, 1));
    EXPECT_EQ(row(target), "wsw\n");
    target.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
    EXPECT_EQ(target.Canvas().Brush().Pattern(), nullptr);
}

TEST(CanvasBrush, MonochromePatternFollowsTextAndBackgroundColours)
{
    auto pattern = mono({"10"});
    TBitmap target(4, 1);
    TCanvas& canvas = target.Canvas();
    canvas.Brush().SetBitmap(pattern.get());
    canvas.SetTextColor(clRed);
    canvas.SetBackgroundColor(clBlue);
    canvas.FillRect(Rect(0, 0, 4, 1));
    EXPECT_EQ(row(target), "brbr\n");
}

TEST(CanvasShapes, LinesLeaveOutTheirEndPoint)
{
    TBitmap target(5, 5);
    TCanvas& canvas = target.Canvas();
    canvas.Pen().SetColor(clRed);
    canvas.MoveTo(0, 0);
    canvas.LineTo(4, 0);
    canvas.LineTo(4, 4);
    canvas.MoveTo(0, 1);
    canvas.LineTo(3, 4);
    EXPECT_EQ(row(target), "rrrrr\n"
                           "rwwwr\n"
                           "wrwwr\n"
                           "wwrwr\n"
                           "wwwww\n");
    EXPECT_EQ(canvas.PenPos(), (TPoint{3, 4}));
}

TEST(CanvasShapes, FrameUsesTheBrushAndRectangleThePen)
{
    TBitmap target(4, 4);
    TCanvas& canvas = target.Canvas();
    canvas.Brush().SetColor(clBlue);
    canvas.FrameRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(row(target), "bbbb\nbwwb\nbwwb\nbbbb\n");
    canvas.Brush().SetColor(clYellow);
    canvas.Pen().SetColor(clRed);
    canvas.Rectangle(Rect(0, 0, 4, 3));
    EXPECT_EQ(row(target), "rrrr\nryyr\nrrrr\nbbbb\n");
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(row(target), "rrrr\nryyr\nrrrr\nbbbb\n");
}

TEST(CanvasClip, DrawingStaysInsideClipAndSurface)
{
    TBitmap target(4, 3);
    TCanvas& canvas = target.Canvas();
    canvas.SetOrigin({1, 1});
    canvas.SetClipRect(Rect(0, 0, 2, 5));
    canvas.Brush().SetColor(clRed);
    canvas.FillRect(Rect(-5, -5, 10, 10));
    EXPECT_EQ(row(target), "wwww\nwrrw\nwrrw\n");
    EXPECT_EQ(canvas.ClipRect(), Rect(0, 0, 2, 2));
    EXPECT_EQ(canvas.Pixel(5, 0), clNone);
    canvas.SetPixel(-1, -1, clBlue); // outside the clip
    canvas.ClearClipRect();
    canvas.SetPixel(2, 0, clBlue);
    EXPECT_EQ(row(target), "wwww\nwrrb\nwrrw\n");
}

TEST(CanvasState, RestoreBringsBackEverySavedSetting)
{
    TBitmap target(2, 2);
    TCanvas& canvas = target.Canvas();
    {
        CanvasStateGuard guard(canvas);
        canvas.Brush().SetColor(clRed);
        canvas.Pen().SetColor(clBlue);
        canvas.Font().SetHeight(-20);
        canvas.SetTextColor(clYellow);
        canvas.SetBackgroundColor(clNavy);
        canvas.SetBackgroundMode(TBackgroundMode::bmTransparent);
        canvas.SetCopyMode(cmSrcInvert);
        canvas.SetOrigin({4, 4});
        canvas.SetClipRect(Rect(0, 0, 1, 1));
    }
    EXPECT_EQ(canvas.Brush().Color(), clWhite);
    EXPECT_EQ(canvas.Pen().Color(), clBlack);
    EXPECT_EQ(canvas.Font().Height(), -11);
    EXPECT_EQ(canvas.TextColor(), clBlack);
    EXPECT_EQ(canvas.BackgroundColor(), clWhite);
    EXPECT_EQ(canvas.BackgroundMode(), TBackgroundMode::bmOpaque);
    EXPECT_EQ(canvas.CopyMode(), cmSrcCopy);
    EXPECT_EQ(canvas.Origin(), (TPoint{0, 0}));
    EXPECT_FALSE(canvas.HasClipRect());
}

TEST(CanvasPalette, DrawingABitmapSelectsItsPaletteAsBackgroundAndPutsTheOldOneBack)
{
    TBitmap picture(2, 2, TPixelFormat::pf8bit);
    picture.AssignPalette(&DefaultPalette());
    TBitmap target(2, 2);
    TCanvas& canvas = target.Canvas();
    const TPalette& own = HalftonePalette();
    canvas.SelectPalette(&own, false);
    canvas.Draw(0, 0, picture);
    EXPECT_EQ(canvas.LastRealizedPalette(), picture.Palette());
    EXPECT_TRUE(canvas.LastRealizedInBackground());
    EXPECT_EQ(canvas.SelectedPalette(), &own);
    EXPECT_FALSE(canvas.PaletteInBackground());
    {
        PaletteSelection selection(canvas, &DefaultPalette(), false);
        EXPECT_EQ(canvas.RealizePalette(), 20);
    }
    EXPECT_EQ(canvas.SelectedPalette(), &own);
}

TEST(CanvasHandle, HandleIsValidUntilFreedOrMadeDormant)
{
    TBitmap target(2, 2);
    const TCanvasHandle handle = target.Canvas().Handle();
    EXPECT_TRUE(IsValidCanvasHandle(handle));
    target.Dormant();
    EXPECT_FALSE(IsValidCanvasHandle(handle));
    EXPECT_TRUE(target.IsDormant());
    const TCanvasHandle again = target.Canvas().Handle();
    EXPECT_NE(again, handle);
    EXPECT_TRUE(IsValidCanvasHandle(again));
    EXPECT_FALSE(IsValidCanvasHandle(0));
}

TEST(CanvasChange, DrawingRaisesTheBitmapChangeHandler)
{
    TBitmap target(2, 2);
    int changes = 0;
    target.OnChange = [&](TObject*) { ++changes; };
    target.Canvas().FillRect(Rect(0, 0, 1, 1));
    target.Canvas().SetPixel(1, 1, clRed);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(target.Modified());
}

TEST(CanvasSurface, DrawingWithoutSurfaceRaises)
{
    TCanvas canvas;
    EXPECT_THROW(canvas.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
}
