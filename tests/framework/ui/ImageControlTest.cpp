// The picture control: a graphic that fails is drawn once per picture, and what is drawn
// onto the control outside a paint reaches the screen without being painted over.
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace {

// A graphic whose drawing fails while failing is set.
class TFailingGraphic : public TBitmap {
    CARNELO_CLASS(TFailingGraphic, TBitmap)
public:
    void Draw(TCanvas& canvas, const TRect& rect) override
    {
        ++draws;
        if (failing)
            throw EInvalidGraphic("cannot draw");
        TBitmap::Draw(canvas, rect);
    }
    int draws = 0;
    bool failing = true;
};

// What the window shows, read from the screen, not painted again.
QColor shown(TForm& form, int x, int y)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(form.Widget()->winId()).toImage();
    return image.pixelColor(x, y);
}

} // namespace

TEST(ImageControl, AGraphicThatFailedIsNotDrawnAgainUntilThePictureChanges)
{
    ScriptedDialogs dialogs;
    TForm form(nullptr);
    form.SetBounds(0, 0, 40, 30);
    auto* image = new TImage(&form);
    image->SetParent(&form);
    auto graphic = std::make_unique<TFailingGraphic>();
    graphic->SetSize(20, 20);
    TFailingGraphic* failing = graphic.get();
    image->Picture().TakeGraphic(std::move(graphic));
    ShowAndActivate(form);
    for (int i = 0; i < 3; ++i) {
        form.Widget()->repaint();
        PumpEvents();
    }
    EXPECT_EQ(failing->draws, 1);
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "cannot draw.");

    failing->failing = false;
    failing->SetSize(21, 21); // a change of the picture
    form.Widget()->repaint();
    PumpEvents();
    EXPECT_EQ(failing->draws, 2);
}

TEST(ImageControl, DrawingOnItOutsideAPaintShowsWithoutThePictureOverIt)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 40, 30);
    form.SetColor(clWhite);
    auto* image = new TImage(&form);
    image->SetBounds(4, 4, 20, 20);
    image->SetParent(&form);
    TBitmap& picture = image->Picture().Bitmap();
    picture.SetSize(20, 20);
    picture.Canvas().Brush().SetColor(clBlue);
    picture.Canvas().FillRect(Rect(0, 0, 20, 20));
    ShowAndActivate(form);
    PumpEvents();
    ASSERT_EQ(shown(form, 10, 10), QColor(Qt::blue));

    // As a painter playing straight onto the control draws a frame.
    image->Canvas().Brush().SetColor(clRed);
    image->Canvas().FillRect(Rect(0, 0, 10, 10));
    PumpEvents();
    EXPECT_EQ(shown(form, 8, 8), QColor(Qt::red));
    EXPECT_EQ(shown(form, 20, 20), QColor(Qt::blue));

    // A new picture paints the control again.
    picture.Canvas().Brush().SetColor(clYellow);
    picture.Canvas().FillRect(Rect(0, 0, 20, 20));
    PumpEvents();
    EXPECT_EQ(shown(form, 8, 8), QColor(Qt::yellow));
}
