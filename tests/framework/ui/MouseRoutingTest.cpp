#include "UiProbe.h"

#include "framework/graphics/Bitmap.h"
#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

namespace {

class MouseRouting : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 200, 100);
        a = new ProbeControl(form, "a", log);
        a->SetBounds(10, 10, 40, 20);
        a->SetParent(form);
        b = new ProbeControl(form, "b", log);
        b->SetBounds(60, 10, 40, 20);
        b->SetParent(form);
        ShowAndActivate(*form);
        MouseMove(*form, {150, 80});
        log.clear();
    }
    void TearDown() override
    {
        delete form;
        SetCaptureControl(nullptr);
    }

    std::vector<std::string> log;
    TForm* form = nullptr;
    ProbeControl* a = nullptr;
    ProbeControl* b = nullptr;
};

} // namespace

TEST_F(MouseRouting, PressAndReleaseGoToTheControlInItsOwnCoordinates)
{
    MouseClick(*form, {15, 12});
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "down a 5,2", "up a 5,2"}));
}

TEST_F(MouseRouting, TheLatestCreatedControlIsOnTop)
{
    auto* top = new ProbeControl(form, "top", log);
    top->SetBounds(0, 0, 30, 30);
    top->SetParent(form);
    MouseClick(*form, {15, 12});
    EXPECT_EQ(log.at(1), "down top 15,12");
}

TEST_F(MouseRouting, CaptureKeepsMessagesAtTheControlAndOnlyItHearsEnterAndLeave)
{
    MouseMove(*form, {15, 12});
    MousePress(*form, {15, 12});
    ASSERT_EQ(GetCaptureControl(), a);
    MouseMove(*form, {70, 15}); // over b: only a is told it lost the mouse
    MouseRelease(*form, {70, 15});
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "down a 5,2", "leave a", "up a 60,5"}));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(Application->MouseControl(), b);
}

TEST_F(MouseRouting, EnterAndLeaveFollowTheControlUnderTheCursor)
{
    MouseMove(*form, {15, 12});
    MouseMove(*form, {20, 12});
    MouseMove(*form, {70, 12});
    MouseMove(*form, {150, 80});
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "leave a", "enter b", "leave b"}));
}

TEST_F(MouseRouting, MovingOntoAWindowedChildOrOutOfTheWindowIsALeave)
{
    auto* edit = new TEdit(form);
    edit->SetBounds(10, 50, 80, 20);
    edit->SetParent(form);
    PumpEvents();
    MouseMove(*form, {15, 12});
    // Qt sends the child its enter event as the pointer crosses into it.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(edit->Widget(), &enter);
    EXPECT_EQ(Application->MouseControl(), edit);
    MouseMove(*form, {16, 12});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->Widget(), &leave);
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "leave a", "enter a", "leave a"}));
    EXPECT_EQ(Application->MouseControl(), nullptr);
}

TEST_F(MouseRouting, DisabledControlsLetClicksThroughButStillHearEnter)
{
    a->SetEnabled(false);
    bool formClicked = false;
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) { formClicked = x == 15 && y == 12; };
    MouseClick(*form, {15, 12});
    EXPECT_TRUE(formClicked);
    EXPECT_EQ(log, (std::vector<std::string>{"enter a"}));
}

TEST_F(MouseRouting, ClickFiresOnReleaseInsideOnly)
{
    int clicks = 0;
    a->OnClick = [&](TObject*) { ++clicks; };
    MouseClick(*form, {15, 12});
    MousePress(*form, {15, 12});
    MouseRelease(*form, {150, 80});
    EXPECT_EQ(clicks, 1);
}

TEST_F(MouseRouting, AltLetterReachesControlsAsADialogCharacter)
{
    b->accelerator = U'g';
    KeyClick(*form, Qt::Key_G, true, "g");
    EXPECT_EQ(log, (std::vector<std::string>{"char b"}));
    log.clear();
    KeyClick(*form, Qt::Key_G, false, "g");
    EXPECT_TRUE(log.empty()) << "without Alt the letter is no accelerator";
}

TEST_F(MouseRouting, RepaintRedrawsTheSurfaceUnderAControl)
{
    form->SetColor(clWhite);
    a->paintColor = clRed;
    b->paintColor = clBlue;
    a->Repaint();
    TBitmap& surface = form->Surface();
    EXPECT_EQ(surface.Canvas().Pixel(10, 10), clRed);
    // Drawing less than before leaves no trace: the form's colour shows again.
    a->paintColor = clNone;
    a->Repaint();
    EXPECT_EQ(surface.Canvas().Pixel(10, 10), clWhite);
    EXPECT_EQ(surface.Canvas().Pixel(60, 10), clBlue);
}

TEST_F(MouseRouting, WhereAGraphicControlWasMovedFromOrDestroyedTheFormShowsAgain)
{
    form->SetColor(clWhite);
    a->paintColor = clRed;
    b->paintColor = clBlue;
    PumpEvents();
    TCanvas surface(form->Surface());
    ASSERT_EQ(surface.Pixel(60, 10), clBlue);
    delete b;
    b = nullptr;
    PumpEvents();
    EXPECT_EQ(surface.Pixel(60, 10), clWhite);
    a->SetBounds(100, 50, 40, 20);
    PumpEvents();
    EXPECT_EQ(surface.Pixel(10, 10), clWhite);
    EXPECT_EQ(surface.Pixel(100, 50), clRed);
}

TEST_F(MouseRouting, ControlsConvertBetweenClientAndScreen)
{
    form->SetBounds(100, 50, 200, 100);
    PumpEvents();
    const TPoint screen = a->ClientToScreen({1, 2});
    EXPECT_EQ(a->ScreenToClient(screen), (TPoint{1, 2}));
    EXPECT_EQ(screen.x - form->ClientToScreen({0, 0}).x, 11);
}

TEST_F(MouseRouting, GraphicHintShowsAsAToolTip)
{
    a->SetHint("Let's Go ...");
    a->SetShowHint(true);
    QHelpEvent help(QEvent::ToolTip, QPoint(15, 12), form->Widget()->mapToGlobal(QPoint(15, 12)));
    QApplication::sendEvent(form->Widget(), &help);
    EXPECT_EQ(QToolTip::text(), "Let's Go ...");
    b->SetHint("hidden hint"); // ShowHint stays off
    QHelpEvent other(QEvent::ToolTip, QPoint(70, 12), form->Widget()->mapToGlobal(QPoint(70, 12)));
    QApplication::sendEvent(form->Widget(), &other);
    EXPECT_NE(QToolTip::text(), "hidden hint");
}

TEST_F(MouseRouting, ParentListsItsChildrenByClass)
{
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    EXPECT_EQ(form->ControlsOf<ProbeControl>(), (std::vector<ProbeControl*>{a, b}));
    EXPECT_EQ(form->ControlsOf<TEdit>(), std::vector<TEdit*>{edit});
}
