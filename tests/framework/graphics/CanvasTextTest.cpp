#include "framework/graphics/Canvas.h"

#include "RasterTestUtil.h"
#include "framework/graphics/Bitmap.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
// The bounding box of every pixel that is not white; empty when there is none.
TRect inkBox(TBitmap& bitmap)
{
    TCanvas reader(bitmap);
    TRect box{bitmap.Width(), bitmap.Height(), 0, 0};
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (reader.Pixel(x, y) != clWhite) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

bool inside(const TRect& inner, const TRect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

int countColour(TBitmap& bitmap, TColor colour)
{
    TCanvas reader(bitmap);
    int n = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            n += reader.Pixel(x, y) == colour;
    return n;
}
} // namespace

TEST(CanvasText, InkLiesInsideTheMeasuredRectangle)
{
    for (int height : {-8, -11, -16}) {
        for (uint32_t align : {tfLeft, tfCenter, tfRight}) {
            TBitmap bitmap(200, 60);
            TCanvas& canvas = bitmap.Canvas();
            canvas.Font().SetHeight(height);
            canvas.Font().SetColor(clNavy);
            canvas.Brush().SetStyle(TBrushStyle::bsClear);
            const std::string text = "Telephone &Wg";
            TRect measured = Rect(10, 5, 190, 5);
            canvas.DrawText(text, measured, align | tfCalcRect);
            ASSERT_GT(measured.Width(), 0);
            ASSERT_EQ(measured.Height(), canvas.TextHeight("Wg"));
            TRect area = Rect(10, 5, 190, 5 + measured.Height());
            canvas.DrawText(text, area, align);
            const TRect ink = inkBox(bitmap);
            ASSERT_FALSE(ink.IsEmpty()) << "height " << height;
            // Placed as the alignment says, the measured box holds all the ink.
            TRect placed = measured;
            if (align == tfCenter)
                placed = placed.Offset((180 - measured.Width()) / 2, 0);
            if (align == tfRight)
                placed = placed.Offset(180 - measured.Width(), 0);
            EXPECT_TRUE(inside(ink, placed)) << "height " << height << " align " << align;
        }
    }
}

TEST(CanvasText, SmallLabelsFitTheirThirteenPixelBoxes)
{
    TBitmap bitmap(10, 10);
    for (int height : {-8, -11}) {
        bitmap.Canvas().Font().SetHeight(height);
        EXPECT_LE(bitmap.Canvas().TextHeight("Ag"), 13) << height;
    }
}

TEST(CanvasText, OverlongLineGetsAnEndEllipsisWhenAsked)
{
    TBitmap bitmap(120, 20);
    TCanvas& canvas = bitmap.Canvas();
    const std::string text = "A caption far too long for its button";
    TRect plain = Rect(0, 0, 60, 0);
    canvas.DrawText(text, plain, tfCalcRect | tfSingleLine);
    EXPECT_GT(plain.Width(), 60);
    TRect cut = Rect(0, 0, 60, 0);
    canvas.DrawText(text, cut, tfCalcRect | tfSingleLine | tfEndEllipsis);
    EXPECT_LE(cut.Width(), 60);
    EXPECT_GT(cut.Width(), canvas.TextWidth("..."));

    // Drawn: the dots appear and nothing passes the right edge.
    canvas.Font().SetColor(clBlack);
    TRect area = Rect(0, 0, 60, 20);
    canvas.DrawText(text, area, tfSingleLine | tfEndEllipsis);
    EXPECT_LE(inkBox(bitmap).right, 60);
    TBitmap dots(40, 20);
    TRect dotsArea = Rect(0, 0, 40, 20);
    dots.Canvas().DrawText("...", dotsArea, tfSingleLine);
    EXPECT_GT(countColour(dots, clBlack), 0);
}

TEST(CanvasText, AcceleratorMarkUnderlinesAndDoubleAmpersandIsOneAmpersand)
{
    TBitmap marked(80, 20), plain(80, 20), noPrefix(80, 20);
    TRect r1 = Rect(0, 0, 80, 20), r2 = r1, r3 = r1;
    marked.Canvas().DrawText("&File", r1, tfLeft);
    plain.Canvas().DrawText("File", r2, tfLeft);
    // The marked text has exactly the plain text's ink plus an underline below it.
    EXPECT_GT(countColour(marked, clBlack), countColour(plain, clBlack));
    EXPECT_GT(inkBox(marked).bottom, inkBox(plain).bottom);

    TRect doubled = Rect(0, 0, 80, 0), single = doubled, literal = doubled;
    marked.Canvas().DrawText("A&&B", doubled, tfCalcRect);
    marked.Canvas().DrawText("A&B", literal, tfCalcRect | tfNoPrefix);
    marked.Canvas().DrawText("AB", single, tfCalcRect);
    EXPECT_EQ(doubled.Width(), literal.Width());
    EXPECT_GT(doubled.Width(), single.Width());
    noPrefix.Canvas().DrawText("&File", r3, tfLeft | tfNoPrefix);
    EXPECT_GT(inkBox(noPrefix).right, inkBox(plain).right);
}

TEST(CanvasText, WordBreakingWrapsWithinTheWidthAndMeasuresEveryLine)
{
    TBitmap bitmap(100, 100);
    TCanvas& canvas = bitmap.Canvas();
    const int line = canvas.TextHeight("A");
    TRect oneLine = Rect(0, 0, 1000, 0);
    canvas.DrawText("alpha beta gamma delta", oneLine, tfCalcRect | tfWordBreak);
    EXPECT_EQ(oneLine.Height(), line);
    TRect narrow = Rect(0, 0, canvas.TextWidth("alpha beta") + 1, 0);
    canvas.DrawText("alpha beta alpha beta", narrow, tfCalcRect | tfWordBreak);
    EXPECT_EQ(narrow.Height(), 2 * line);
    EXPECT_LE(narrow.Width(), canvas.TextWidth("alpha beta") + 1);
    TRect lines = Rect(0, 0, 1000, 0);
    canvas.DrawText("one\ntwo\nthree", lines, tfCalcRect);
    EXPECT_EQ(lines.Height(), 3 * line);
    EXPECT_EQ(lines.Width(), canvas.TextWidth("three"));
}

TEST(CanvasText, OpaqueBackgroundUsesTheBrushAndTransparentLeavesTheSurface)
{
    TBitmap bitmap(60, 20);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().SetColor(clYellow);
    canvas.TextOut(0, 0, "Hi");
    EXPECT_EQ(canvas.Pixel(0, 0), clYellow);
    EXPECT_EQ(canvas.PenPos(), (TPoint{canvas.TextWidth("Hi"), 0}));
    canvas.SetBackgroundMode(TBackgroundMode::bmTransparent);
    canvas.TextOut(30, 0, "Hi");
    EXPECT_EQ(canvas.Pixel(30, 0), clWhite);
}

TEST(CanvasText, TextIsClippedToItsRectangle)
{
    TBitmap bitmap(80, 20);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.TextRect(Rect(0, 0, 12, 20), 0, 0, "Wide text here");
    EXPECT_LE(inkBox(bitmap).right, 12);
}

TEST(CanvasText, DrawsOnMonochromeAndIndexedSurfaces)
{
    auto check = [](TPixelFormat format) {
        TBitmap bitmap(40, 16, format);
        bitmap.Canvas().Font().SetColor(clBlack);
        bitmap.Canvas().TextOut(1, 1, "Ok");
        EXPECT_FALSE(inkBox(bitmap).IsEmpty()) << static_cast<int>(format);
    };
    check(TPixelFormat::pf1bit);
    check(TPixelFormat::pf8bit);
    TBitmap mono(40, 16);
    mono.SetMonochrome(true);
    mono.Canvas().Font().SetColor(clBlack);
    mono.Canvas().TextOut(1, 1, "Ok");
    EXPECT_FALSE(inkBox(mono).IsEmpty());
}

TEST(CanvasText, WorksOffTheUserInterfaceThread)
{
    TBitmap bitmap(60, 20);
    std::thread painter([&] {
        bitmap.Canvas().Font().SetColor(clRed);
        bitmap.Canvas().TextOut(2, 2, "Frame");
    });
    painter.join();
    EXPECT_GT(countColour(bitmap, clRed), 0);
}

TEST(CanvasText, StandardFacesMapToInstalledOnes)
{
    TBitmap bitmap(10, 10);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Font().SetName("Times New Roman");
    canvas.Font().SetHeight(-20);
    const int serif = canvas.TextWidth("Illustration");
    canvas.Font().SetName("MS Sans Serif");
    const int sans = canvas.TextWidth("Illustration");
    EXPECT_GT(serif, 0);
    EXPECT_GT(sans, 0);
    EXPECT_NE(serif, sans);
    canvas.Font().SetHeight(20); // positive: the whole cell
    EXPECT_EQ(canvas.TextHeight("A"), 20);
}
