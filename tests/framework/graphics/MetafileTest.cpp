#include "framework/graphics/Metafile.h"

#include "RasterTestUtil.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

#include <gtest/gtest.h>

namespace {
TMetafile sampleMetafile()
{
    TMetafile metafile;
    metafile.SetSize(4, 2);
    metafile.AddFillRect(Rect(0, 0, 2, 1), clRed);
    metafile.AddLine({0, 1}, {3, 1}, clBlue);
    metafile.AddPixel({3, 0}, clLime);
    return metafile;
}
} // namespace

TEST(Metafile, ReplaysItsCommandsScaledIntoTheRectangle)
{
    TMetafile metafile = sampleMetafile();
    TBitmap target(8, 4);
    target.Canvas().StretchDraw(Rect(0, 0, 8, 4), metafile);
    EXPECT_EQ(Picture(target, {{clWhite, 'w'}, {clRed, 'r'}, {clBlue, 'b'}, {clLime, 'g'}}), "rrrrwwgg\n"
                                                                                             "rrrrwwgg\n"
                                                                                             "bbbbbbww\n"
                                                                                             "wwwwwwww\n");
    EXPECT_EQ(target.Canvas().Brush().Color(), clWhite) << "the canvas's own settings come back";
}

// What frame import does: drawn over white and over black, the two results combined by
// exclusive-or are 0 exactly where the metafile painted.
TEST(Metafile, PaintedPixelsVanishUnderTheWhiteBlackExclusiveOr)
{
    TMetafile metafile = sampleMetafile();
    TBitmap white(4, 2), black(4, 2);
    black.Canvas().Brush().SetColor(clBlack);
    black.Canvas().FillRect(Rect(0, 0, 4, 2));
    white.Canvas().Draw(0, 0, metafile);
    black.Canvas().Draw(0, 0, metafile);
    white.Canvas().BitBlt(0, 0, 4, 2, &black.Canvas(), 0, 0, cmSrcInvert);
    EXPECT_EQ(Picture(white, {{clBlack, '0'}, {clWhite, '1'}}), "0010\n0001\n");
}

TEST(Metafile, EqualityCopiesAndNoStreamFormat)
{
    TMetafile a = sampleMetafile();
    TMetafile b;
    b.CopyFrom(&a);
    EXPECT_TRUE(b.Equals(a));
    b.AddPixel({0, 0}, clRed);
    EXPECT_FALSE(b.Equals(a));
    EXPECT_EQ(b.CommandCount(), 4u);
    TMemoryStream stream;
    EXPECT_THROW(a.SaveToStream(stream), EInvalidGraphicOperation);
    TBitmap bitmap;
    bitmap.CopyFrom(&a); // drawn onto white
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(TCanvas(bitmap).Pixel(0, 0), clRed);
    EXPECT_EQ(TCanvas(bitmap).Pixel(2, 0), clWhite);
}
