#include "framework/ui/Forms.h"
#include "framework/core/Exception.h"
#include "framework/graphics/Bitmap.h"
#include "framework/ui/Application.h"
#include "framework/ui/StdCtrls.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

namespace {

QSize screenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

TEST(Form, CentresOnTheScreenOnFirstShowOnly)
{
    TForm form(nullptr);
    form.SetPosition(TPosition::poScreenCenter);
    form.SetBounds(0, 0, 201, 101);
    form.Show();
    PumpEvents();
    EXPECT_EQ(form.Left(), (screenSize().width() - 201) / 2);
    EXPECT_EQ(form.Top(), (screenSize().height() - 101) / 2);
    form.SetBounds(7, 9, 201, 101);
    form.Hide();
    form.Show();
    PumpEvents();
    EXPECT_EQ(form.Left(), 7);
    EXPECT_EQ(form.Top(), 9);
}

TEST(Form, CentringNeverPlacesAWindowAboveOrLeftOfTheScreen)
{
    TForm form(nullptr);
    form.SetPosition(TPosition::poScreenCenter);
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, screenSize().width() + 40, 50);
    form.Show();
    EXPECT_EQ(form.Left(), 0);
    EXPECT_EQ(form.Top(), (screenSize().height() - 50) / 2);
}

TEST(Form, FramelessAndDialogFormsKeepTheirClientSize)
{
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, 479, 284);
    ShowAndActivate(form);
    EXPECT_EQ(form.Widget()->width(), 479);
    EXPECT_EQ(form.Widget()->height(), 284);
    EXPECT_TRUE(form.Widget()->windowFlags() & Qt::FramelessWindowHint);
    form.SetFormStyle(TFormStyle::fsStayOnTop);
    EXPECT_TRUE(form.Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(Form, ClosingAnotherFormHidesItAndTheMainFormEndsTheProgram)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    std::vector<std::string> log;
    auto* main = Application->CreateForm<TForm>();
    auto* second = Application->CreateForm<TForm>();
    EXPECT_EQ(Application->MainForm(), main);
    second->OnClose = [&](TObject*, TCloseAction& action) {
        log.push_back("close second");
        EXPECT_EQ(action, TCloseAction::caHide);
    };
    main->OnCloseQuery = [&](TObject*, bool&) { log.push_back("query main"); };
    main->OnClose = [&](TObject*, TCloseAction&) { log.push_back("close main"); };
    second->Show();
    second->Close();
    EXPECT_FALSE(second->Visible());
    EXPECT_FALSE(Application->Terminated());
    main->Show();
    main->Close();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(log, (std::vector<std::string>{"close second", "query main", "close main"}));
    delete second;
    delete main;
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Form, MainWindowTitleFollowsTheApplicationTitle)
{
    auto* main = Application->CreateForm<TForm>();
    main->SetCaption("Form1");
    Application->SetTitle("Bob");
    EXPECT_EQ(main->Widget()->windowTitle(), "Bob");
    TForm other(nullptr);
    other.SetCaption("About ...");
    EXPECT_EQ(other.Widget()->windowTitle(), "About ...");
    delete main;
    Application->SetTitle("Carnelo tests");
}

TEST(Form, AFailureInACloseHandlerCancelsTheCloseAndIsShown)
{
    ScriptedDialogs dialogs;
    TForm form(nullptr);
    form.OnCloseQuery = [](TObject*, bool&) { throw Exception("Ne peut écrire dans /x/Data.sys"); };
    ShowAndActivate(form);
    form.Widget()->close(); // the window's close box
    PumpEvents();
    EXPECT_TRUE(form.Visible());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].caption, "Carnelo tests");
    EXPECT_EQ(dialogs.asked[0].text, "Ne peut écrire dans /x/Data.sys.");
    EXPECT_EQ(dialogs.asked[0].icon, TMessageIcon::Stop);
    ASSERT_EQ(dialogs.asked[0].buttons.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].buttons[0].caption, "OK");
}

TEST(Form, CloseQueryCanKeepTheFormOpen)
{
    TForm form(nullptr);
    form.OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
    form.Show();
    form.Close();
    EXPECT_TRUE(form.Visible());
}

TEST(Form, TabMovesFocusInTabOrder)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    std::vector<TEdit*> edits;
    for (int i = 0; i < 3; ++i) {
        auto* e = new TEdit(&form);
        e->SetBounds(10, 10 + 30 * i, 100, 20);
        e->SetParent(&form);
        edits.push_back(e);
    }
    edits[0]->SetTabOrder(2);
    edits[1]->SetTabOrder(0);
    edits[2]->SetTabOrder(1);
    ShowAndActivate(form);
    edits[1]->SetFocus();
    PumpEvents();
    ASSERT_TRUE(edits[1]->Focused());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(edits[2]->Focused());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(edits[0]->Focused());
    EXPECT_EQ(form.ActiveControl(), edits[0]);
}

TEST(DefaultExceptionHandler, ShowsTheMessageUnderTheCurrentTitleAndCancelsCapture)
{
    ScriptedDialogs dialogs;
    TForm form(nullptr);
    TEdit edit(nullptr);
    SetCaptureControl(&edit);
    Application->SetTitle("Alice");
    GuardedCall([] { throw EInvalidGraphic("Image corrompue"); });
    Application->SetTitle("Carnelo tests");
    EXPECT_EQ(GetCaptureControl(), nullptr);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].caption, "Alice");
    EXPECT_EQ(dialogs.asked[0].text, "Image corrompue.");
}

TEST(Edit, ReadOnlyFieldKeepsTextButRefusesTyping)
{
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetText("555 0101");
    edit->SetReadOnly(true);
    ShowAndActivate(form);
    edit->SetFocus();
    QTest::keyClicks(edit->Widget(), "x");
    EXPECT_EQ(edit->Text(), "555 0101");
    edit->SetReadOnly(false);
    QTest::keyClicks(edit->Widget(), "9");
    EXPECT_EQ(edit->Text(), "555 01019");
    edit->Clear();
    EXPECT_EQ(edit->Text(), "");
}

TEST(Button, EnterReturnAndSpaceClickTheFocusedButton)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    std::vector<std::string> clicks;
    auto makeButton = [&](const char* caption, int left) {
        auto* button = new TButton(&form);
        button->SetBounds(left, 8, 60, 25);
        button->SetCaption(caption);
        button->SetParent(&form);
        button->OnClick = [&clicks, caption](TObject*) { clicks.push_back(caption); };
        return button;
    };
    TButton* ok = makeButton("Ok", 8);
    makeButton("Other", 80);
    ShowAndActivate(form);
    ok->SetFocus();
    PumpEvents();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
        QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(clicks, (std::vector<std::string>{"Ok", "Ok", "Ok"}));
}

TEST(Form, PendingMessagesCanBeHandledFromInsideAPaint)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 80);
    int paints = 0;
    bool quitSeen = false;
    form.OnPaint = [&](TObject*) {
        ++paints;
        quitSeen = Application->ProcessMessages();
    };
    ShowAndActivate(form);
    form.Repaint();
    EXPECT_GT(paints, 0);
    EXPECT_EQ(quitSeen, Application->Terminated());
}

TEST(Form, AFailureInOnCloseCancelsTheClose)
{
    ScriptedDialogs dialogs;
    TForm form(nullptr);
    form.OnClose = [](TObject*, TCloseAction&) { throw Exception("disk full"); };
    ShowAndActivate(form);
    form.Widget()->close();
    PumpEvents();
    EXPECT_TRUE(form.Visible());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "disk full.");
}

TEST(Control, ChildrenFollowTheParentFontUntilTheyGetTheirOwn)
{
    TForm form(nullptr);
    auto* follower = new TLabel(&form);
    follower->SetParent(&form);
    auto* own = new TLabel(&form);
    own->SetParent(&form);
    own->Font().SetHeight(-8);
    EXPECT_FALSE(own->ParentFont());
    form.Font().SetName("Times New Roman");
    form.Font().SetHeight(-32);
    EXPECT_EQ(follower->Font().Name(), "Times New Roman");
    EXPECT_EQ(follower->Font().Height(), -32);
    EXPECT_TRUE(follower->ParentFont());
    EXPECT_EQ(own->Font().Height(), -8);
    own->SetParentFont(true);
    EXPECT_EQ(own->Font().Height(), -32);
}

TEST(Control, AWindowedControlShowsItsTextInTheFaceAndCellTheCanvasDrawsWith)
{
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->Font().SetName("MS Sans Serif");
    edit->Font().SetHeight(15); // positive: the whole cell, which only the face's metrics turn into a size
    TBitmap bitmap(4, 4);
    bitmap.Canvas().Font().CopyFrom(&edit->Font());
    const QFont shown = edit->Widget()->font();
    EXPECT_EQ(shown.family(), "Liberation Sans");
    EXPECT_EQ(QFontMetrics(shown).height(), bitmap.Canvas().TextHeight("A"));
    EXPECT_TRUE(shown.styleStrategy() & QFont::NoAntialias) << "the canvas draws exact pixels";
}
