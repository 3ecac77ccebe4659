// Placement of picture and caption on a 60 x 40 button with a 20 x 13 caption and a
// 16 x 12 picture; expected values worked out by hand.
#include "controls/ExplorerButtonLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using L = TExplorerButtonLayout;
using A = TAlignment;

ExplorerButtonMetrics metrics(L layout, A alignment, bool bitmap, bool mark)
{
    ExplorerButtonMetrics m;
    m.width = 60;
    m.height = 40;
    m.captionShown = true;
    m.textWidth = 20;
    m.textHeight = 13;
    m.bitmapWidth = bitmap ? 16 : 0;
    m.bitmapHeight = bitmap ? 12 : 0;
    m.popupMark = mark;
    m.layout = layout;
    m.alignment = alignment;
    return m;
}

struct BitmapCase {
    const char* name;
    L layout;
    A alignment;
    bool mark;
    int bx, by, tx, ty;
};

class PictureAndCaption : public testing::TestWithParam<BitmapCase> {};

TEST_P(PictureAndCaption, ArePlacedAsTheLayoutAndAlignmentSay)
{
    const BitmapCase& c = GetParam();
    const ExplorerButtonPlacement p = placeExplorerButton(metrics(c.layout, c.alignment, true, c.mark));
    EXPECT_EQ(p.bitmap, (TPoint{c.bx, c.by}));
    EXPECT_EQ(p.text, Rect(c.tx, c.ty, c.tx + 20, c.ty + 13));
    // The mark stands right of the picture itself, halfway down it.
    EXPECT_EQ(p.popupMark, (TPoint{c.bx + 16 + 3, c.by + 6}));
}

// With the mark the picture block is 10 pixels wider: 26 instead of 16.
INSTANTIATE_TEST_SUITE_P(
    EveryCase, PictureAndCaption,
    testing::Values(BitmapCase{"TopLeft", L::blBitmapTop, A::taLeftJustify, false, 3, 6, 3, 20},
                    BitmapCase{"TopRight", L::blBitmapTop, A::taRightJustify, false, 41, 6, 37, 20},
                    BitmapCase{"TopCenter", L::blBitmapTop, A::taCenter, false, 22, 6, 20, 20},
                    BitmapCase{"BottomLeft", L::blBitmapBottom, A::taLeftJustify, false, 3, 21, 3, 6},
                    BitmapCase{"BottomRight", L::blBitmapBottom, A::taRightJustify, false, 41, 21, 37, 6},
                    BitmapCase{"BottomCenter", L::blBitmapBottom, A::taCenter, false, 22, 21, 20, 6},
                    BitmapCase{"LeftLeft", L::blBitmapLeft, A::taLeftJustify, false, 3, 14, 21, 13},
                    BitmapCase{"LeftRight", L::blBitmapLeft, A::taRightJustify, false, 19, 14, 37, 13},
                    BitmapCase{"LeftCenter", L::blBitmapLeft, A::taCenter, false, 11, 14, 29, 13},
                    BitmapCase{"RightLeft", L::blBitmapRight, A::taLeftJustify, false, 25, 14, 3, 13},
                    BitmapCase{"RightRight", L::blBitmapRight, A::taRightJustify, false, 41, 14, 19, 13},
                    BitmapCase{"RightCenter", L::blBitmapRight, A::taCenter, false, 33, 14, 11, 13},
                    BitmapCase{"TopLeftMark", L::blBitmapTop, A::taLeftJustify, true, 3, 6, 3, 20},
                    BitmapCase{"TopRightMark", L::blBitmapTop, A::taRightJustify, true, 31, 6, 37, 20},
                    BitmapCase{"TopCenterMark", L::blBitmapTop, A::taCenter, true, 17, 6, 20, 20},
                    BitmapCase{"BottomLeftMark", L::blBitmapBottom, A::taLeftJustify, true, 3, 21, 3, 6},
                    BitmapCase{"BottomRightMark", L::blBitmapBottom, A::taRightJustify, true, 31, 21, 37, 6},
                    BitmapCase{"BottomCenterMark", L::blBitmapBottom, A::taCenter, true, 17, 21, 20, 6},
                    BitmapCase{"LeftLeftMark", L::blBitmapLeft, A::taLeftJustify, true, 3, 14, 31, 13},
                    BitmapCase{"LeftRightMark", L::blBitmapLeft, A::taRightJustify, true, 9, 14, 37, 13},
                    BitmapCase{"LeftCenterMark", L::blBitmapLeft, A::taCenter, true, 6, 14, 34, 13},
                    BitmapCase{"RightLeftMark", L::blBitmapRight, A::taLeftJustify, true, 25, 14, 3, 13},
                    BitmapCase{"RightRightMark", L::blBitmapRight, A::taRightJustify, true, 31, 14, 9, 13},
                    BitmapCase{"RightCenterMark", L::blBitmapRight, A::taCenter, true, 28, 14, 6, 13}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct CaptionOnlyCase {
    const char* name;
    A alignment;
    bool mark;
    int tx;
};

class CaptionWithoutPicture : public testing::TestWithParam<CaptionOnlyCase> {};

TEST_P(CaptionWithoutPicture, IsCentredVerticallyWhateverTheLayout)
{
    const CaptionOnlyCase& c = GetParam();
    for (L layout : {L::blBitmapTop, L::blBitmapBottom, L::blBitmapLeft, L::blBitmapRight}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const ExplorerButtonPlacement p = placeExplorerButton(metrics(layout, c.alignment, false, c.mark));
        EXPECT_EQ(p.text, Rect(c.tx, 13, c.tx + 20, 26));
        if (c.mark) {
            EXPECT_EQ(p.popupMark, (TPoint{c.tx + 20 + 3, 13 + 6}));
        }
    }
}

// With the mark the caption block is 30 wide: the caption and 10 pixels for the mark.
INSTANTIATE_TEST_SUITE_P(EveryCase, CaptionWithoutPicture,
                         testing::Values(CaptionOnlyCase{"Left", A::taLeftJustify, false, 3},
                                         CaptionOnlyCase{"Right", A::taRightJustify, false, 37},
                                         CaptionOnlyCase{"Center", A::taCenter, false, 20},
                                         CaptionOnlyCase{"LeftMark", A::taLeftJustify, true, 3},
                                         CaptionOnlyCase{"RightMark", A::taRightJustify, true, 27},
                                         CaptionOnlyCase{"CenterMark", A::taCenter, true, 15}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace

TEST(ExplorerButtonLayout, ACaptionWiderThanTheButtonIsCutToWidthLessFour)
{
    ExplorerButtonMetrics m = metrics(L::blBitmapTop, A::taCenter, false, false);
    m.width = 30;
    m.textWidth = 40;
    EXPECT_EQ(placeExplorerButton(m).text, Rect(2, 13, 28, 26));
}

TEST(ExplorerButtonLayout, TheMarkCutsTheCaptionToWidthLessFourteenButCentresTheUncutBlock)
{
    ExplorerButtonMetrics m = metrics(L::blBitmapTop, A::taCenter, false, true);
    m.width = 30;
    m.textWidth = 40;
    // Block 26 + 10 = 36 on 30 pixels: (30 - 36) div 2 = -3, rounding towards zero.
    EXPECT_EQ(placeExplorerButton(m).text, Rect(-3, 13, 13, 26));
    m.alignment = A::taRightJustify;
    EXPECT_EQ(placeExplorerButton(m).text, Rect(-9, 13, 7, 26));
}

TEST(ExplorerButtonLayout, BesideThePictureTheCaptionGetsWhatIsLeft)
{
    ExplorerButtonMetrics m = metrics(L::blBitmapLeft, A::taLeftJustify, true, false);
    m.width = 40;
    m.textWidth = 30;
    // 36 < 16 + 30 + 2, so the caption gets 36 - 2 - 16 = 18.
    EXPECT_EQ(placeExplorerButton(m).text, Rect(21, 13, 39, 26));
    m.width = 20;
    m.popupMark = true;
    const TRect none = placeExplorerButton(m).text;
    EXPECT_LT(none.right, none.left) << "16 - 2 - 26 leaves a negative width";
}

TEST(ExplorerButtonLayout, WordWrapKeepsFivePixelsOnTheRight)
{
    ExplorerButtonMetrics m = metrics(L::blBitmapTop, A::taLeftJustify, false, false);
    m.textWidth = 56;
    m.wordWrap = true;
    EXPECT_EQ(placeExplorerButton(m).text, Rect(3, 13, 55, 26));
    m.wordWrap = false;
    EXPECT_EQ(placeExplorerButton(m).text, Rect(3, 13, 59, 26));
}

TEST(ExplorerButtonLayout, AnEmptyCaptionWithAMarkIsATenPixelBlock)
{
    ExplorerButtonMetrics m;
    m.width = 17;
    m.height = 17;
    m.popupMark = true;
    const ExplorerButtonPlacement p = placeExplorerButton(m);
    EXPECT_EQ(p.popupMark, (TPoint{(17 - 10) / 2 + 3, 17 / 2}));
    EXPECT_EQ(p.text, Rect(3, 8, 3, 8));
}

TEST(ExplorerButtonLayout, TooShortAButtonRoundsOffsetsTowardsZero)
{
    ExplorerButtonMetrics m = metrics(L::blBitmapTop, A::taCenter, true, false);
    m.height = 10;
    const ExplorerButtonPlacement p = placeExplorerButton(m);
    EXPECT_EQ(p.bitmap.y, -8) << "(10 - 27) div 2";
    EXPECT_EQ(p.text.top, -8 + 12 + 2);
}
