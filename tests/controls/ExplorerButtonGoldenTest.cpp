// The main window's three buttons over its backdrop, flat, hot and pressed, compared
// pixel for pixel with reviewed pictures.
#include "controls/ExplorerButton.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
#include "tests/support/Golden.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMenu>

#include <cstring>
#include <string>

namespace {

constexpr int kMargin = 3;

struct MainButton {
    const char* name;
    int left, top, width, height;
    const char* caption;
    TColor fontColor;
    TColor unselectedFontColor;
    bool dropsMenu;
};

// As the main window lays them out.
constexpr MainButton kButtons[] = {
    {"go", 416, 216, 21, 20, ">>", clRed, clNavy, false},
    {"close", 449, 10, 17, 17, "X", clBlue, clNavy, false},
    {"file", 48, 40, 41, 20, "File", clYellow, 0x00B6CBDA, true},
};

void loadBackdrop(TBitmap& bitmap)
{
    QImage image(QString::fromStdString(GoldenPath("backdrop")));
    ASSERT_FALSE(image.isNull());
    image = image.convertToFormat(QImage::Format_RGB32);
    bitmap.SetSize(image.width(), image.height());
    // The device format and Qt's RGB32 share their byte layout.
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.ScanLine(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
}

// The button and a few pixels round it, as the form's surface shows them.
QImage snapshot(TForm& form, const TControl& control)
{
    TCanvas surface(form.Surface());
    QImage out(control.Width() + 2 * kMargin, control.Height() + 2 * kMargin, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const TColor c = surface.Pixel(control.Left() - kMargin + x, control.Top() - kMargin + y);
            out.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    return out;
}

class MainWindowButtons : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(0, 0, 479, 284);
        auto* backdrop = new TImage(form);
        backdrop->SetAutoSize(true);
        loadBackdrop(backdrop->Picture().Bitmap());
        backdrop->SetParent(form);
        menu = new TPopupMenu(form);
        for (const char* caption : {"New", "Save", "-", "Modify", "Delete", "About...", "-", "Exit"}) {
            auto* item = new TMenuItem(form);
            item->SetCaption(caption);
            menu->Items().Add(item);
        }
        for (const MainButton& b : kButtons) {
            auto* button = new TExplorerButton(form);
            button->SetBounds(b.left, b.top, b.width, b.height);
            button->SetCaption(b.caption);
            button->Font().SetName("MS Sans Serif");
            button->Font().SetHeight(-11);
            button->Font().SetStyle(fsBold);
            button->Font().SetColor(b.fontColor);
            button->SetUnselectedFontColor(b.unselectedFontColor);
            button->SetOptions(boMonoDisplay | boPopupMark | boShowBevel);
            if (b.dropsMenu)
                button->SetDropDownMenu(menu);
            button->SetParent(form);
            buttons.push_back(button);
        }
        buttons[0]->SetHint("Let's Go ...");
        buttons[0]->SetShowHint(true);
        ShowAndActivate(*form);
        // The test driver moves the platform's pointer, and a move to where that pointer
        // already is sends nothing; presses of earlier tests went elsewhere without it.
        QCursor::setPos(form->Widget()->mapToGlobal(QPoint(kAway.x - 1, kAway.y)));
        MouseMove(*form, kAway);
    }
    void TearDown() override
    {
        TPopupMenu::SetOpenHook(nullptr);
        delete form;
    }

    static constexpr TPoint kAway{240, 150};
    TForm* form = nullptr;
    TPopupMenu* menu = nullptr;
    std::vector<TExplorerButton*> buttons;
};

} // namespace

TEST_F(MainWindowButtons, LookAsReviewedFlatHotAndPressed)
{
    for (size_t i = 0; i < buttons.size(); ++i) {
        TExplorerButton& button = *buttons[i];
        const std::string base = std::string("explorer-button-") + kButtons[i].name;
        SCOPED_TRACE(base);
        const TPoint centre = CentreOf(button);

        MouseMove(*form, kAway);
        EXPECT_TRUE(MatchesGolden(snapshot(*form, button), base + "-flat", CARNELO_TEST_OUTPUT));

        MouseMove(*form, centre);
        PumpEvents();
        ASSERT_TRUE(button.MouseInside());
        EXPECT_TRUE(MatchesGolden(snapshot(*form, button), base + "-hot", CARNELO_TEST_OUTPUT));

        QImage pressed;
        bool menuWasOpen = false;
        TPopupMenu::SetOpenHook([&] {
            menuWasOpen = true;
            pressed = snapshot(*form, button);
            if (auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                open->close();
        });
        MousePress(*form, centre);
        if (!kButtons[i].dropsMenu)
            pressed = snapshot(*form, button);
        MouseRelease(*form, centre);
        TPopupMenu::SetOpenHook(nullptr);
        EXPECT_EQ(menuWasOpen, kButtons[i].dropsMenu);
        EXPECT_TRUE(MatchesGolden(pressed, base + "-pressed", CARNELO_TEST_OUTPUT));
    }
}

TEST(Golden, AMissingPictureFailsAndCiRefusesToRedraw)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    const std::string name = "no-such-reviewed-picture";
    EXPECT_FALSE(MatchesGolden(image, name, CARNELO_TEST_OUTPUT));
    EXPECT_TRUE(QImage(QString::fromStdString(GoldenPath(name))).isNull()) << "nothing written";

    setenv("CARNELO_UPDATE_GOLDEN", "1", 1);
    setenv("CI", "true", 1);
    const testing::AssertionResult underCi = MatchesGolden(image, name, CARNELO_TEST_OUTPUT);
    unsetenv("CARNELO_UPDATE_GOLDEN");
    unsetenv("CI");
    EXPECT_FALSE(underCi);
    EXPECT_NE(std::string(underCi.message()).find("refused under CI"), std::string::npos) << underCi.message();
    EXPECT_TRUE(QImage(QString::fromStdString(GoldenPath(name))).isNull()) << "nothing written";
}
