// A form with every control, rendered to PNG for a look by eye and checked by pixels.
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/FormSnapshot.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(DemoForm, EveryControlShowsOnTheRenderedForm)
{
    TForm form(nullptr);
    form.SetCaption("Demonstration");
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetBounds(0, 0, 320, 200);
    form.SetColor(RGB(192, 168, 136));

    auto* image = new TImage(&form);
    image->SetBounds(10, 10, 64, 64);
    image->SetAutoSize(true);
    image->SetParent(&form);
    TBitmap& picture = image->Picture().Bitmap();
    picture.SetSize(48, 32);
    picture.Canvas().Brush().SetColor(clBlue);
    picture.Canvas().FillRect(Rect(0, 0, 48, 32));
    picture.Canvas().Brush().SetColor(clYellow);
    picture.Canvas().FillRect(Rect(8, 8, 40, 24));

    auto* label = new TLabel(&form);
    label->SetBounds(90, 12, 120, 16);
    label->SetCaption("&Name :");
    label->SetTransparent(true);
    label->Font().SetColor(clNavy);
    label->SetParent(&form);

    auto* combo = new TComboBox(&form);
    combo->SetBounds(90, 32, 200, 22);
    combo->SetSorted(true);
    combo->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    combo->SetColor(RGB(226, 215, 199));
    combo->Items().AddStrings({"Bob", "Alice"});
    combo->SetItemIndex(0);
    combo->SetParent(&form);

    auto* edit = new TEdit(&form);
    edit->SetBounds(90, 64, 200, 21);
    edit->SetText("555 0101");
    edit->SetColor(RGB(218, 203, 182));
    edit->Font().SetColor(clMaroon);
    edit->SetParent(&form);

    auto* bevel = new TBevel(&form);
    bevel->SetBounds(8, 150, 300, 18);
    bevel->SetShape(TBevelShape::bsBottomLine);
    bevel->SetParent(&form);

    auto* button = new TButton(&form);
    button->SetBounds(10, 110, 57, 25);
    button->SetCaption("Ok");
    button->SetParent(&form);

    ShowAndActivate(form);
    EXPECT_EQ(image->Width(), 48) << "auto-size takes the picture's size";

    const std::string path = std::string(CARNELO_TEST_OUTPUT) + "/demo-form.png";
    ASSERT_TRUE(SaveFormPng(form, path));
    EXPECT_GT(std::filesystem::file_size(path), 1000u);

    auto shot = RenderForm(form);
    TCanvas& c = shot->Canvas();
    EXPECT_EQ(c.Pixel(12, 12), clBlue);
    EXPECT_EQ(c.Pixel(30, 25), clYellow);
    EXPECT_EQ(c.Pixel(300, 5), RGB(192, 168, 136));
    EXPECT_EQ(c.Pixel(100, 166), ColorToRGB(clBtnShadow)) << "etched line";
    EXPECT_EQ(c.Pixel(100, 167), ColorToRGB(clBtnHighlight));
    int navy = 0;
    for (int x = 90; x < 150; ++x)
        for (int y = 12; y < 28; ++y)
            navy += c.Pixel(x, y) == clNavy;
    EXPECT_GT(navy, 20) << "the label's text";
}
