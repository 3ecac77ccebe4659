// The main window's three buttons over its backdrop, flat, hot and pressed, compared
// pixel for pixel with reviewed pictures. CARNELO_UPDATE_GOLDEN=1 rewrites the pictures
// (review them before committing).
#include "controls/ExplorerButton.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMenu>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const std::string kGoldenFolder = std::string(CARNELO_TEST_DATA) + "/golden/";
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
    QImage image(QString::fromStdString(kGoldenFolder + "backdrop.png"));
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

// Pixels that differ from the reviewed picture; -1 when there is none to compare with.
int differences(const QImage& actual, const std::string& name)
{
    const std::string golden = kGoldenFolder + name + ".png";
    if (const char* update = std::getenv("CARNELO_UPDATE_GOLDEN"); update && std::string(update) == "1")
        actual.save(QString::fromStdString(golden));
    QImage expected(QString::fromStdString(golden));
    if (expected.isNull())
        return -1;
    expected = expected.convertToFormat(QImage::Format_RGB32);
    if (expected.size() != actual.size())
        return actual.width() * actual.height();
    int count = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            count += (actual.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF);
    if (count > 0)
        actual.save(QString::fromStdString(std::string(CARNELO_TEST_OUTPUT) + "/" + name + ".actual.png"));
    return count;
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
        EXPECT_EQ(differences(snapshot(*form, button), base + "-flat"), 0);

        MouseMove(*form, centre);
        PumpEvents();
        ASSERT_TRUE(button.MouseInside());
        EXPECT_EQ(differences(snapshot(*form, button), base + "-hot"), 0);

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
        EXPECT_EQ(differences(pressed, base + "-pressed"), 0);
    }
}
