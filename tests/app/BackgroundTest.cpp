// The main window's background: stored picture data read through the picture registry,
// rendered once at the first paint, dithered onto the cube on a palette display, drawn
// without a painter; and the whole window against its reviewed picture.
#include "AppTestSupport.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/Application.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/FormSnapshot.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"
#include "tests/support/Golden.h"

#include <QImage>
#include <QWidget>

namespace {

// Points of the picture that no control covers.
const TPoint kPoints[] = {{2, 2}, {240, 4}, {470, 150}, {10, 270}, {300, 276}, {120, 75}, {460, 60}};

class Background : public AddressBook {
protected:
    // The program's windows, with the picture's renderings counted from the first paint
    // of the shown window on (controls that paint while the window is built may have
    // rendered it already).
    void StartCounting()
    {
        form = Application->CreateForm<TForm1>();
        about = Application->CreateForm<TForm2>();
        gif = dynamic_cast<TGIFImage*>(form->Im->Picture().Graphic());
        ASSERT_NE(gif, nullptr);
        gif->Images().Items(0).DiscardBitmap();
        gif->OnProgressStep = [this](TObject*, TProgressStage stage, uint8_t, bool, const TRect&,
                                     const std::string& message) {
            renderings += stage == TProgressStage::psStarting && message == "Rendering...";
        };
        ShowAndActivate(*form);
        PumpEvents();
    }

    // The colour the picture holds at p.
    TColor pictureAt(TPoint p)
    {
        TGIFSubImage& frame = gif->Images().Items(0);
        return gif->Header().ColorMap().Colors(frame.Pixels(p.x, p.y));
    }

    TGIFImage* gif = nullptr;
    int renderings = 0;
};

} // namespace

TEST_F(Background, ShowsThePictureRenderedOnceAndNeverAPainter)
{
    StartCounting();
    ASSERT_EQ(gif->Images().Count(), 1);
    EXPECT_EQ(form->ClientWidth(), gif->Width());
    for (int i = 0; i < 3; ++i) {
        form->Widget()->repaint();
        PumpEvents();
    }
    auto shot = RenderForm(*form);
    for (TPoint p : kPoints)
        EXPECT_EQ(shot->Canvas().Pixel(p.x, p.y), pictureAt(p)) << p.x << "," << p.y;
    EXPECT_EQ(renderings, 1);
    EXPECT_EQ(gif->Painter(), nullptr);
    EXPECT_EQ(TGIFPainter::Count(), 0);
    ASSERT_NE(gif->Images().Items(0).Bitmap(), nullptr);
    EXPECT_EQ(gif->Images().Items(0).Bitmap()->BitsPerPixel(), 8);
}

TEST_F(Background, OnAPaletteDisplayThePictureIsDitheredOntoTheCube)
{
    SetDitherOnPaletteDisplay(true);
    StartCounting();
    SetDitherOnPaletteDisplay(false);
    auto shot = RenderForm(*form);
    EXPECT_EQ(renderings, 1);
    int near = 0;
    for (TPoint p : kPoints) {
        const TColor c = shot->Canvas().Pixel(p.x, p.y);
        for (const uint8_t channel : {GetRValue(c), GetGValue(c), GetBValue(c)})
            EXPECT_EQ(channel % 51, 0) << p.x << "," << p.y;
        const TColor want = pictureAt(p);
        near += std::abs(GetRValue(c) - GetRValue(want)) <= 51 && std::abs(GetGValue(c) - GetGValue(want)) <= 51 &&
                std::abs(GetBValue(c) - GetBValue(want)) <= 51;
    }
    EXPECT_GE(near, int(std::size(kPoints)) - 1) << "dithering keeps each pixel near its colour";
    EXPECT_EQ(gif->Images().Items(0).Bitmap()->Palette()->Entry(215), (TPaletteEntry{255, 255, 255, 0}));
}

TEST_F(Background, TheWindowLooksAsItsReviewedPicture)
{
    StartCounting();
    auto shot = RenderForm(*form);
    QImage actual(shot->Width(), shot->Height(), QImage::Format_RGB32);
    for (int y = 0; y < shot->Height(); ++y)
        std::memcpy(actual.scanLine(y), shot->ScanLine(y), size_t(shot->Width()) * 4);
    EXPECT_TRUE(MatchesGolden(actual, "main-window", CARNELO_TEST_OUTPUT));
}
