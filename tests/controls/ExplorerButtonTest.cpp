// The button on a real form, driven by real mouse and key events.
#include "controls/ExplorerButton.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/Application.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

namespace {

constexpr TColor kGround = RGB(0, 128, 128);
constexpr TPoint kAway{190, 110};

class ExplorerButtonBehaviour : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 200, 120);
        form->SetColor(kGround);
        button = addButton("b", 20, 20, 40, 30);
        ShowAndActivate(*form);
        // The test driver moves the platform's pointer, and a move to where that pointer
        // already is sends nothing; presses of earlier tests went elsewhere without it.
        QCursor::setPos(form->Widget()->mapToGlobal(QPoint(kAway.x - 1, kAway.y)));
        MouseMove(*form, kAway);
        log.clear();
    }
    void TearDown() override
    {
        TPopupMenu::SetOpenHook(nullptr);
        delete form;
        SetCaptureControl(nullptr);
    }

    TExplorerButton* addButton(const std::string& name, int left, int top, int width, int height)
    {
        auto* b = new TExplorerButton(form);
        b->SetName(name);
        b->SetBounds(left, top, width, height);
        b->SetCaption("&Go");
        b->SetParent(form);
        b->OnEnter = [this, name](TObject*) { log.push_back("enter " + name); };
        b->OnExit = [this, name](TObject*) { log.push_back("exit " + name); };
        b->OnClick = [this, name](TObject*) { log.push_back("click " + name); };
        return b;
    }

    TPopupMenu* addMenu()
    {
        auto* menu = new TPopupMenu(form);
        for (const char* caption : {"New", "Exit"}) {
            auto* item = new TMenuItem(form);
            item->SetCaption(caption);
            item->OnClick = [this, caption](TObject*) { log.push_back(std::string("command ") + caption); };
            menu->Items().Add(item);
        }
        return menu;
    }

    TColor pixel(TPoint p) { return TCanvas(form->Surface()).Pixel(p.x, p.y); }

    // The look as the left column shows it: "raised", "sunken" or "flat".
    std::string look(const TExplorerButton* b)
    {
        PumpEvents();
        const TColor c = pixel({b->Left(), b->Top() + 1});
        if (c == ColorToRGB(clBtnHighlight))
            return "raised";
        if (c == ColorToRGB(clBtnShadow))
            return "sunken";
        return c == kGround ? "flat" : "?";
    }

    // A handler that destroys the button; it touches nothing of it afterwards.
    TNotifyEvent destroyButton()
    {
        return [this](TObject*) {
            TExplorerButton* doomed = button;
            button = nullptr;
            delete doomed;
        };
    }

    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    std::vector<std::string> log;
    TForm* form = nullptr;
    TExplorerButton* button = nullptr;
};

using Log = std::vector<std::string>;

// Closes the menu that opens next without choosing; notes where it opened.
void closeMenuWhenOpen(QPoint* openedAt, const std::function<void()>& whileOpen = {})
{
    TPopupMenu::SetOpenHook([openedAt, whileOpen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        if (openedAt)
            *openedAt = menu->pos();
        if (whileOpen)
            whileOpen();
        menu->close();
    });
}

} // namespace

TEST_F(ExplorerButtonBehaviour, FollowsTheMouseThroughEveryState)
{
    const TPoint centre = CentreOf(*button);
    bool mouseEvents = false;
    button->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { mouseEvents = true; };
    button->OnMouseUp = button->OnMouseDown;
    EXPECT_EQ(look(button), "flat");

    MouseMove(*form, centre); // idle -> hot
    EXPECT_EQ(take(), Log{"enter b"});
    EXPECT_EQ(look(button), "raised");
    MouseMove(*form, kAway); // hot -> idle
    EXPECT_EQ(take(), Log{"exit b"});
    EXPECT_EQ(look(button), "flat");

    MouseMove(*form, centre);
    MousePress(*form, centre); // hot -> pressed inside
    EXPECT_TRUE(button->Pressed() && button->MouseInside());
    EXPECT_EQ(GetCaptureControl(), button);
    EXPECT_EQ(look(button), "sunken");
    MouseMove(*form, kAway); // pressed inside -> pressed outside
    EXPECT_TRUE(button->Pressed() && !button->MouseInside());
    EXPECT_EQ(look(button), "flat");
    MouseMove(*form, centre); // pressed outside -> pressed inside
    EXPECT_EQ(look(button), "sunken");
    MouseRelease(*form, centre); // pressed inside -> hot, with a click
    EXPECT_EQ(take(), (Log{"enter b", "exit b", "enter b", "click b"}));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_TRUE(button->MouseInside() && !button->Pressed());
    EXPECT_EQ(look(button), "raised");

    MousePress(*form, centre);
    MouseMove(*form, kAway);
    MouseRelease(*form, kAway); // pressed outside -> idle, no click
    EXPECT_EQ(take(), Log{"exit b"});
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_FALSE(button->Pressed() || button->MouseInside());
    EXPECT_EQ(look(button), "flat");
    EXPECT_FALSE(mouseEvents) << "the framework's own left-button handling does not run";
}

TEST_F(ExplorerButtonBehaviour, PressMoveOffAndReleaseChangesNoGroup)
{
    auto* other = addButton("o", 100, 20, 40, 30);
    button->SetGroupIndex(1);
    other->SetGroupIndex(1);
    other->SetDown(true);
    MouseMove(*form, CentreOf(*button));
    MousePress(*form, CentreOf(*button));
    MouseMove(*form, kAway);
    MouseRelease(*form, kAway);
    EXPECT_EQ(take(), (Log{"enter b", "exit b"}));
    EXPECT_TRUE(other->Down());
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(look(button), "flat");
}

TEST_F(ExplorerButtonBehaviour, AClickOnTheLeftmostColumnFiresButLeavesTheButtonFlat)
{
    const TPoint edge{button->Left(), button->Top() + 10};
    MouseMove(*form, edge);
    MouseClick(*form, edge);
    EXPECT_EQ(take(), (Log{"enter b", "click b"}));
    EXPECT_FALSE(button->MouseInside()) << "the strict cursor test counts the column as outside";
    EXPECT_EQ(look(button), "flat");
}

TEST_F(ExplorerButtonBehaviour, HotThenLeaveLeavesThePictureUnderTheButtonAsItWas)
{
    auto* image = new TImage(form);
    image->SetBounds(0, 0, 200, 120);
    TBitmap& picture = image->Picture().Bitmap();
    picture.SetSize(200, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            picture.Canvas().SetPixel(x, y, RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 90));
    image->SetParent(form);
    auto* top = addButton("t", 100, 40, 50, 40); // created after the picture, so above it
    top->SetCaption("Top");
    PumpEvents();
    auto area = [&] {
        std::vector<TColor> pixels;
        for (int y = top->Top(); y < top->Top() + top->Height(); ++y)
            for (int x = top->Left(); x < top->Left() + top->Width(); ++x)
                pixels.push_back(pixel({x, y}));
        return pixels;
    };
    const std::vector<TColor> before = area();
    MouseMove(*form, CentreOf(*top));
    PumpEvents();
    EXPECT_NE(area(), before);
    MouseMove(*form, kAway);
    PumpEvents();
    EXPECT_EQ(area(), before);
}

TEST_F(ExplorerButtonBehaviour, AGroupOfThreeKeepsExactlyTheClickedOneDown)
{
    auto* b2 = addButton("b2", 70, 20, 40, 30);
    auto* b3 = addButton("b3", 120, 20, 40, 30);
    for (TExplorerButton* b : {button, b2, b3})
        b->SetGroupIndex(7);
    const auto downs = [&] {
        return std::string(button->Down() ? "1" : "0") + (b2->Down() ? "1" : "0") + (b3->Down() ? "1" : "0");
    };
    MouseClick(*form, CentreOf(*button));
    EXPECT_EQ(downs(), "100");
    MouseClick(*form, CentreOf(*b2));
    EXPECT_EQ(downs(), "010");
    MouseClick(*form, CentreOf(*b3));
    EXPECT_EQ(downs(), "001");
    EXPECT_EQ(look(button), "flat");
    EXPECT_EQ(look(b3), "sunken") << "down: sunken bevel";
    const TColor inside = pixel({b3->Left() + 1, b3->Top() + 1});
    EXPECT_TRUE(inside == ColorToRGB(clBtnFace) || inside == ColorToRGB(clBtnHighlight)) << "and the pattern";
    take();
    MouseClick(*form, CentreOf(*b3));
    EXPECT_EQ(downs(), "001") << "without AllowAllUp the down button stays down";
    EXPECT_EQ(take().back(), "click b3");

    b2->SetAllowAllUp(true); // copied to the whole group
    EXPECT_TRUE(button->AllowAllUp() && b3->AllowAllUp());
    MouseClick(*form, CentreOf(*b3));
    EXPECT_EQ(downs(), "000");
    EXPECT_EQ(take().back(), "click b3");
}

TEST_F(ExplorerButtonBehaviour, AllowAllUpIsCopiedOnlyWithinAGroup)
{
    auto* loose = addButton("l", 70, 20, 40, 30);
    button->SetAllowAllUp(true);
    EXPECT_FALSE(loose->AllowAllUp()) << "GroupIndex 0 is no group";
    loose->SetGroupIndex(2);
    button->SetGroupIndex(3);
    button->SetAllowAllUp(false);
    button->SetGroupIndex(2);
    button->SetAllowAllUp(true);
    EXPECT_TRUE(loose->AllowAllUp());
}

TEST_F(ExplorerButtonBehaviour, DownInCode)
{
    auto* b2 = addButton("b2", 70, 20, 40, 30);
    button->SetDown(true);
    EXPECT_FALSE(button->Down()) << "GroupIndex 0: never down";
    button->SetGroupIndex(4);
    b2->SetGroupIndex(4);
    button->SetDown(true);
    b2->SetDown(true);
    EXPECT_TRUE(b2->Down());
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(look(b2), "sunken");
    EXPECT_EQ(look(button), "flat");
    b2->SetDown(false);
    EXPECT_FALSE(b2->Down()) << "releasing in code ignores AllowAllUp";
    b2->SetDown(true);
    b2->SetGroupIndex(0);
    EXPECT_FALSE(b2->Down());
    EXPECT_EQ(look(b2), "flat");
    EXPECT_TRUE(take().empty()) << "no events from code";
}

TEST_F(ExplorerButtonBehaviour, TheSharedPatternOutlivesADestroyedButtonAndGoesWithTheLast)
{
    auto* b2 = addButton("b2", 70, 20, 40, 30);
    button->SetGroupIndex(1);
    button->SetDown(true);
    PumpEvents();
    ASSERT_TRUE(downPatternExists());
    std::vector<TColor> before;
    for (int x = 21; x < 59; ++x)
        before.push_back(pixel({x, 25}));
    delete b2;
    EXPECT_TRUE(downPatternExists()) << "another button still paints with it";
    button->Repaint();
    std::vector<TColor> after;
    for (int x = 21; x < 59; ++x)
        after.push_back(pixel({x, 25}));
    EXPECT_EQ(after, before);
    delete button;
    button = nullptr;
    EXPECT_FALSE(downPatternExists()) << "the last button frees it";
}

TEST_F(ExplorerButtonBehaviour, AReleaseIsHitTestedWhereItHappenedNotWhereTheCursorIsReported)
{
    const TPoint centre = CentreOf(*button);
    MouseMove(*form, centre);
    MousePress(*form, centre);
    // The release is over the button; its global position, which the framework takes as
    // the cursor's, is elsewhere.
    QWidget* window = form->Widget();
    const QPointF over(centre.x, centre.y), elsewhere(kAway.x, kAway.y);
    QMouseEvent release(QEvent::MouseButtonRelease, over, window->mapToGlobal(elsewhere), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(window, &release);
    EXPECT_EQ(take(), (Log{"enter b", "click b"}));
    EXPECT_TRUE(button->MouseInside());
    EXPECT_EQ(look(button), "raised");
    MouseRelease(*form, centre); // the test driver's own record of the button, for later tests
}

TEST_F(ExplorerButtonBehaviour, DisabledIsTheFrameworksFlagAndAPressStillReachesNothingUnder)
{
    TControl& control = *button;
    control.SetEnabled(false);
    EXPECT_FALSE(button->Enabled());
    bool formHeard = false;
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { formHeard = true; };
    MouseMove(*form, CentreOf(*button));
    MouseClick(*form, CentreOf(*button));
    EXPECT_FALSE(formHeard) << "the disabled button takes the press and ignores it";
    EXPECT_EQ(take(), Log{"enter b"});
    control.SetEnabled(true);
    MouseClick(*form, CentreOf(*button));
    EXPECT_EQ(take(), Log{"click b"});
}

TEST_F(ExplorerButtonBehaviour, TheDropDownMenuOpensBelowAndTheButtonNeverClicks)
{
    button->SetDropDownMenu(addMenu());
    auto* neighbour = addButton("n", 100, 20, 40, 30);
    QPoint openedAt;
    bool pressedWhileOpen = false;
    std::string lookWhileOpen;
    closeMenuWhenOpen(&openedAt, [&] {
        pressedWhileOpen = button->Pressed();
        lookWhileOpen = look(button);
    });
    const TPoint centre = CentreOf(*button);
    MouseMove(*form, centre);
    MousePress(*form, centre);
    MouseRelease(*form, centre);
    EXPECT_EQ(openedAt, form->Widget()->mapToGlobal(QPoint(button->Left(), button->Top() + button->Height())));
    EXPECT_TRUE(pressedWhileOpen);
    EXPECT_EQ(lookWhileOpen, "sunken");
    EXPECT_FALSE(button->Pressed());
    EXPECT_TRUE(button->MouseInside()) << "the cursor is still over the button";
    EXPECT_EQ(look(button), "raised");
    EXPECT_EQ(take(), Log{"enter b"}) << "no click";
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(GetCaptureControl(), nullptr);
    (void)neighbour;
}

TEST_F(ExplorerButtonBehaviour, TheClickThatClosesTheMenuReachesNoControl)
{
    button->SetDropDownMenu(addMenu());
    std::vector<std::string> formEvents;
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { formEvents.push_back("down"); };
    form->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { formEvents.push_back("up"); };
    QWidget* window = form->Widget();
    const QPoint elsewhere(kAway.x, kAway.y);
    TPopupMenu::SetOpenHook([&] {
        // The press lands outside the menu and closes it; its release is still queued
        // when the menu call returns.
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        QCursor::setPos(window->mapToGlobal(elsewhere));
        QTest::mousePress(menu, Qt::LeftButton, Qt::NoModifier, menu->mapFromGlobal(window->mapToGlobal(elsewhere)));
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, elsewhere,
                                                            window->mapToGlobal(elsewhere), Qt::LeftButton,
                                                            Qt::NoButton, Qt::NoModifier));
    });
    MouseMove(*form, CentreOf(*button));
    MousePress(*form, CentreOf(*button));
    ASSERT_FALSE(TPopupMenu::MenuOpen());
    PumpEvents();
    EXPECT_TRUE(formEvents.empty());
    EXPECT_EQ(take(), Log{"enter b"});
    EXPECT_FALSE(button->MouseInside()) << "the cursor went where the closing click was";
    EXPECT_EQ(look(button), "flat");
    MouseRelease(*form, kAway); // the test driver's own record of the button, for later tests
}

TEST_F(ExplorerButtonBehaviour, AChosenMenuCommandRunsOnce)
{
    button->SetDropDownMenu(addMenu());
    ChooseWhenOpen("Exit");
    MouseMove(*form, CentreOf(*button));
    MousePress(*form, CentreOf(*button));
    MouseRelease(*form, CentreOf(*button));
    PumpEvents();
    EXPECT_EQ(take(), (Log{"enter b", "command Exit"}));
}

TEST_F(ExplorerButtonBehaviour, AMenuCommandMayDestroyTheButtonThatDroppedTheMenu)
{
    TPopupMenu* menu = addMenu();
    menu->Items().Item(0)->OnClick = destroyButton();
    button->SetDropDownMenu(menu);
    ChooseWhenOpen("New");
    MouseMove(*form, {30, 30});
    MousePress(*form, {30, 30});
    MouseRelease(*form, {30, 30});
    PumpEvents();
    EXPECT_EQ(button, nullptr);
    EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST_F(ExplorerButtonBehaviour, RemovingTheMenuComponentMakesAPlainButton)
{
    TPopupMenu* menu = addMenu();
    button->SetDropDownMenu(menu);
    delete menu;
    EXPECT_EQ(button->DropDownMenu(), nullptr);
    MouseMove(*form, CentreOf(*button));
    MouseClick(*form, CentreOf(*button));
    EXPECT_EQ(take(), (Log{"enter b", "click b"}));
}

TEST_F(ExplorerButtonBehaviour, TheRightButtonRunsTheFrameworksMenuFirst)
{
    TPopupMenu* menu = addMenu();
    form->SetPopupMenu(menu);
    bool rightUp = false;
    button->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { rightUp = b == TMouseButton::mbRight; };
    QPoint openedAt;
    closeMenuWhenOpen(&openedAt);
    const TPoint centre = CentreOf(*button);
    MouseMove(*form, centre);
    MouseClick(*form, centre, true);
    EXPECT_TRUE(rightUp);
    EXPECT_EQ(openedAt, form->Widget()->mapToGlobal(QPoint(centre.x, centre.y))) << "the parent's menu";
    EXPECT_TRUE(button->MouseInside());
    EXPECT_FALSE(button->Pressed());
    EXPECT_EQ(look(button), "raised");
    EXPECT_EQ(take(), Log{"enter b"});
}

TEST_F(ExplorerButtonBehaviour, AltAndTheAcceleratorClicks)
{
    KeyClick(*form, Qt::Key_G, true, "g");
    EXPECT_EQ(take(), Log{"click b"});
    EXPECT_FALSE(button->MouseInside() || button->Pressed()) << "the cursor is elsewhere";
    EXPECT_EQ(look(button), "flat");
    KeyClick(*form, Qt::Key_G, false, "g");
    KeyClick(*form, Qt::Key_O, true, "o");
    EXPECT_TRUE(take().empty());
    button->SetEnabled(false);
    KeyClick(*form, Qt::Key_G, true, "G");
    EXPECT_TRUE(take().empty()) << "disabled";
}

TEST_F(ExplorerButtonBehaviour, AltAndTheAcceleratorDropsTheMenuDown)
{
    button->SetDropDownMenu(addMenu());
    QPoint openedAt;
    closeMenuWhenOpen(&openedAt);
    KeyClick(*form, Qt::Key_G, true, "g");
    EXPECT_EQ(openedAt, form->Widget()->mapToGlobal(QPoint(button->Left(), button->Top() + button->Height())));
    EXPECT_TRUE(take().empty()) << "no click";
    EXPECT_FALSE(button->Pressed());
}

TEST_F(ExplorerButtonBehaviour, AClickHandlerMayDestroyTheButtonDuringTheAcceleratorPath)
{
    button->OnClick = destroyButton();
    KeyClick(*form, Qt::Key_G, true, "g");
    EXPECT_EQ(button, nullptr);
    KeyClick(*form, Qt::Key_G, true, "g"); // nothing left to answer it
}

TEST_F(ExplorerButtonBehaviour, AMenuCommandMayDestroyTheButtonDuringTheAcceleratorPath)
{
    TPopupMenu* menu = addMenu();
    menu->Items().Item(1)->OnClick = destroyButton();
    button->SetDropDownMenu(menu);
    ChooseWhenOpen("Exit");
    KeyClick(*form, Qt::Key_G, true, "g");
    PumpEvents();
    EXPECT_EQ(button, nullptr);
}

TEST_F(ExplorerButtonBehaviour, DisablingOrHidingAPressedButtonGivesTheMouseBack)
{
    auto* other = addButton("o", 100, 20, 40, 30);
    MouseMove(*form, CentreOf(*button));
    MousePress(*form, CentreOf(*button));
    ASSERT_EQ(GetCaptureControl(), button);
    button->SetEnabled(false);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_FALSE(button->Pressed() || button->MouseInside());
    MouseRelease(*form, CentreOf(*button));
    MouseMove(*form, CentreOf(*other));
    MouseClick(*form, CentreOf(*other));
    EXPECT_EQ(take(), (Log{"enter b", "exit b", "enter o", "click o"})) << "the form answers the mouse again";

    MousePress(*form, CentreOf(*other));
    ASSERT_EQ(GetCaptureControl(), other);
    other->Hide();
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_FALSE(other->Pressed());
}

TEST_F(ExplorerButtonBehaviour, ADisabledButtonTracksTheMouseButIgnoresItsButtons)
{
    button->SetEnabled(false);
    MouseMove(*form, CentreOf(*button));
    EXPECT_TRUE(button->MouseInside());
    MouseClick(*form, CentreOf(*button));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    MouseMove(*form, kAway);
    EXPECT_EQ(take(), (Log{"enter b", "exit b"}));
    EXPECT_EQ(look(button), "flat") << "no bevel while disabled";
}

TEST_F(ExplorerButtonBehaviour, PressingBringsTheButtonsFormToTheFront)
{
    TForm other(nullptr);
    other.SetBounds(300, 0, 100, 100);
    ShowAndActivate(other);
    ASSERT_EQ(Application->ActiveForm(), &other);
    MouseClick(*form, CentreOf(*button));
    PumpEvents();
    EXPECT_EQ(Application->ActiveForm(), form);
}

TEST(ExplorerButton, StartsWithItsDefaults)
{
    TForm form(nullptr);
    TExplorerButton button(&form);
    EXPECT_EQ(button.Width(), 50);
    EXPECT_EQ(button.Height(), 40);
    EXPECT_EQ(button.Caption(), "");
    EXPECT_EQ(button.Alignment(), TAlignment::taCenter);
    EXPECT_EQ(button.BevelStyle(), TBevelStyle::bsRaised);
    EXPECT_EQ(button.Layout(), TExplorerButtonLayout::blBitmapTop);
    EXPECT_EQ(button.Options(), boMonoDisplay | boPopupMark | boShowBevel);
    EXPECT_EQ(button.ShadingType(), TExplorerButtonShadingType::stMedium);
    EXPECT_EQ(button.UnselectedFontColor(), clWindowText);
    EXPECT_TRUE(button.Enabled() && button.ShowDownPattern() && button.ParentFont() && button.ParentShowHint());
    EXPECT_FALSE(button.AllowAllUp() || button.Down() || button.WordWrap() || button.MouseInside() || button.Pressed());
    EXPECT_EQ(button.GroupIndex(), 0);
    EXPECT_EQ(button.DropDownMenu(), nullptr);
    EXPECT_TRUE(button.Bitmap().Empty() && button.NoFocusBitmap().Empty() && button.DisabledBitmap().Empty() &&
                button.ShadedBitmap().Empty());
    EXPECT_TRUE(TExplorerButton::UseEllipsis());
}

TEST(ExplorerButton, IconOnlyLendsTheCaptionToTheHint)
{
    TForm form(nullptr);
    TExplorerButton button(&form);
    button.SetCaption("&File");
    button.SetOptions(button.Options() | boIconOnly);
    EXPECT_EQ(button.Hint(), "File");
    EXPECT_TRUE(button.ShowHint());
    button.SetCaption("&Save");
    EXPECT_EQ(button.Hint(), "Save") << "the caption keeps the hint up to date";
    button.SetOptions(button.Options() & ~boIconOnly);
    EXPECT_EQ(button.Hint(), "");
    EXPECT_FALSE(button.ShowHint());
    button.SetHint("Saves the contact");
    button.SetOptions(button.Options() | boIconOnly);
    button.SetOptions(button.Options() & ~boIconOnly);
    EXPECT_EQ(button.Hint(), "Saves the contact") << "a hint of its own is left alone";
}

TEST(ExplorerButton, StripAcceleratorsAndTheAcceleratorItself)
{
    EXPECT_EQ(StripAccelerators("&File"), "File");
    EXPECT_EQ(StripAccelerators("A&&B"), "A&B");
    EXPECT_EQ(StripAccelerators("Save&"), "Save&");
    EXPECT_EQ(StripAccelerators("&&&x&y"), "&xy");
    EXPECT_TRUE(isAccelerator(U'g', "&Go"));
    EXPECT_TRUE(isAccelerator(U'G', "&go"));
    EXPECT_FALSE(isAccelerator(U'b', "A&&B")) << "a doubled mark stands for itself";
    EXPECT_TRUE(isAccelerator(U'x', "A&&B&x"));
    EXPECT_FALSE(isAccelerator(U'&', "Save&"));
    EXPECT_TRUE(isAccelerator(U'\u00E9', "&\xC3\x89t\xC3\xA9")) << "É, without regard to case";
}

namespace {

std::unique_ptr<TBitmap> colourful()
{
    auto bitmap = std::make_unique<TBitmap>(3, 2);
    TCanvas& c = bitmap->Canvas();
    c.SetPixel(0, 0, clFuchsia);
    c.SetPixel(1, 0, clWhite);
    c.SetPixel(2, 0, RGB(200, 100, 0));
    c.SetPixel(0, 1, clBlack);
    c.SetPixel(1, 1, RGB(40, 10, 10));
    c.SetPixel(2, 1, clFuchsia);
    return bitmap;
}

} // namespace

TEST(ExplorerButton, DesignModeNamesOutlinesAndGreysTheButton)
{
    TForm designer(nullptr);
    designer.SetDesigning(true);
    auto* placed = new TExplorerButton(&designer);
    EXPECT_TRUE(placed->Designing());
    EXPECT_EQ(placed->Caption(), "ExplorerButton");
    placed->SetBounds(10, 10, 30, 20);
    placed->SetParent(&designer);
    placed->Repaint();
    EXPECT_EQ(TCanvas(designer.Surface()).Pixel(10, 29), clBlack) << "the outline";

    placed->SetBitmap(colourful().get());
    TCanvas grey(placed->ShadedBitmap());
    EXPECT_EQ(grey.Pixel(0, 0), clFuchsia);
    EXPECT_EQ(grey.Pixel(1, 0), clWhite);
    EXPECT_EQ(grey.Pixel(2, 0), ColorToRGB(clBtnHighlight)) << "300 lies between 231 and 553";
    EXPECT_EQ(grey.Pixel(1, 1), ColorToRGB(clBtnShadow)) << "60 is above 57";
    placed->SetShadingType(TExplorerButtonShadingType::stDark);
    EXPECT_EQ(TCanvas(placed->ShadedBitmap()).Pixel(1, 1), clBlack) << "but not above 175";
    EXPECT_EQ(TCanvas(placed->ShadedBitmap()).Pixel(2, 0), ColorToRGB(clBtnHighlight));
    EXPECT_TRUE(placed->Bitmap().IsDormant());

    designer.BeginLoad();
    auto* loaded = new TExplorerButton(&designer);
    EXPECT_EQ(loaded->Caption(), "") << "a button read from a stored form keeps its own caption";
    loaded->BeginLoad();
    loaded->SetBitmap(colourful().get());
    EXPECT_TRUE(loaded->ShadedBitmap().Empty()) << "not while loading";
    loaded->EndLoad();
    EXPECT_FALSE(loaded->ShadedBitmap().Empty()) << "after loading";
    designer.EndLoad();
}

TEST(ExplorerButton, AtRunTimeNoGreyImageIsMade)
{
    TForm form(nullptr);
    TExplorerButton button(&form);
    button.SetBitmap(colourful().get());
    button.SetShadingType(TExplorerButtonShadingType::stLight);
    button.EndLoad();
    EXPECT_TRUE(button.ShadedBitmap().Empty());
    EXPECT_EQ(button.Caption(), "");
}

TEST(ExplorerButton, TheGreyImageTravelsAsStoredData)
{
    TForm designer(nullptr);
    designer.SetDesigning(true);
    TExplorerButton designed(&designer);
    designed.SetBitmap(colourful().get());
    TMemoryStream stored;
    designed.WriteIBitmap(stored);
    EXPECT_GT(stored.Size(), 54);

    TForm form(nullptr);
    TExplorerButton running(&form);
    stored.SetPosition(0);
    running.ReadIBitmap(stored);
    ASSERT_EQ(running.ShadedBitmap().Width(), 3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(TCanvas(running.ShadedBitmap()).Pixel(x, y), TCanvas(designed.ShadedBitmap()).Pixel(x, y));

    TExplorerButton empty(&form);
    TMemoryStream none;
    empty.WriteIBitmap(none);
    EXPECT_EQ(none.Size(), 0) << "an empty image is stored as no data";
    running.ReadIBitmap(none);
    EXPECT_TRUE(running.ShadedBitmap().Empty());
}
