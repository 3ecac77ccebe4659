#include "AppTestSupport.h"

#include "app/IniFile.h"
#include "controls/ExplorerButton.h"
#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/ui/Application.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/FormSnapshot.h"
#include "framework/ui/StdCtrls.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <QWidget>

#include <sys/stat.h>

namespace {
const std::string BobAndAlice = "[Bob]\n01=555 0101\n02=1 High Street\n03=\n04=\n"
                                "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n"
                                "[Items]\nAlice=\nBob=\n";
} // namespace

TEST_F(AddressBook, StartsWithAnEmptyListAndNoMessageWithoutAStore)
{
    Start();
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(form->ClientWidth(), 479);
    EXPECT_EQ(form->ClientHeight(), 284);
    EXPECT_EQ(form->Widget()->width(), 479);
    EXPECT_EQ(form->Widget()->windowTitle(), "Carnelo");
    EXPECT_TRUE(FieldsReadOnly());
    EXPECT_TRUE(ListFolder(folder.Path()).empty()) << "reading never creates the store";
}

TEST_F(AddressBook, ListsTheStoredNamesSortedAndPickingShowsAContact)
{
    WriteText(store, BobAndAlice + "[Zoe]\n01=9\n");
    Start();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"})) << "Zoe is not in the list";
    Pick("Bob");
    EXPECT_EQ(Fields(), (std::vector<std::string>{"555 0101", "1 High Street", "", ""}));
    EXPECT_EQ(Application->Title(), "Bob");
    EXPECT_EQ(form->Widget()->windowTitle(), "Bob");
    EXPECT_TRUE(FieldsReadOnly());
}

TEST_F(AddressBook, DraggingOnThePictureChangesNothing)
{
    Start();
    const int left = form->Left(), top = form->Top();
    MouseMove(*form, {200, 260});
    MousePress(*form, {200, 260});
    MouseMove(*form, {260, 270});
    MouseRelease(*form, {260, 270});
    EXPECT_EQ(form->Left(), left);
    EXPECT_EQ(form->Top(), top);
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(AddressBook, TabMovesThroughTheNameBoxAndTheFourFields)
{
    Start();
    form->Cm->SetFocus();
    PumpEvents();
    std::vector<TWinControl*> order;
    for (int i = 0; i < 5; ++i) {
        order.push_back(form->ActiveControl());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<TWinControl*>{form->Cm, form->d1, form->d2, form->d3, form->d4}));
}

TEST_F(AddressBook, OnlyTheGoButtonShowsATip)
{
    Start();
    auto tipAt = [&](TControl& c) {
        const QPoint p(CentreOf(c).x, CentreOf(c).y);
        QHelpEvent help(QEvent::ToolTip, p, form->Widget()->mapToGlobal(p));
        QApplication::sendEvent(form->Widget(), &help);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    // A hidden tip fades out slowly, so the buttons without a tip go first.
    EXPECT_EQ(tipAt(*form->ExplorerButton2), "");
    EXPECT_EQ(tipAt(*form->Ex3), "");
    EXPECT_EQ(tipAt(*form->ExplorerButton1), "Let's Go ...");
}

TEST_F(AddressBook, NewNameSavedTakesItsSortedPlaceAndIsStoredAtOnce)
{
    WriteText(store, "[Bob]\n01=1\n02=\n03=\n04=\n[Items]\nBob=\n");
    Start();
    Command("New");
    EXPECT_EQ(form->Cm->Style(), TComboBoxStyle::csDropDown);
    EXPECT_FALSE(FieldsReadOnly());
    EXPECT_EQ(form->ActiveControl(), form->Cm);
    TypeName("Alice");
    TypeInto(form->d1, "555 0202");
    TypeInto(form->d2, "2 Low Road");
    Command("Save");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(Fields(), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_TRUE(FieldsReadOnly());
    EXPECT_EQ(form->Cm->Style(), TComboBoxStyle::csOwnerDrawFixed);
    EXPECT_EQ(form->Cm->Text(), "") << "the pick list shows no name after a save";
    EXPECT_EQ(File(), "[Bob]\n01=1\n02=\n03=\n04=\n[Items]\nBob=\n[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n");
    Pick("Alice");
    EXPECT_EQ(Fields(), (std::vector<std::string>{"555 0202", "2 Low Road", "", ""}));
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(File(),
              "[Bob]\n01=1\n02=\n03=\n04=\n[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n[Items]\nAlice=\nBob=\n");
}

TEST_F(AddressBook, NewAfterPickingStartsACopyUnderTheSameName)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Bob");
    Command("New");
    EXPECT_EQ(form->Cm->Text(), "Bob") << "the editable box starts with the name shown before";
    EXPECT_EQ(Fields()[0], "555 0101");
    TypeName("Carl");
    Command("Save");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob", "Carl"}));
    TIniFile ini(store);
    EXPECT_EQ(ini.GetEntry("Carl", "02", ""), "1 High Street");
}

TEST_F(AddressBook, SaveWithoutANameKeepsWhatWasTyped)
{
    Start();
    Command("New");
    TypeInto(form->d1, "555 0303");
    Command("Save");
    EXPECT_EQ(Fields()[0], "555 0303");
    EXPECT_FALSE(FieldsReadOnly());
    EXPECT_EQ(form->Cm->Style(), TComboBoxStyle::csDropDown);
    EXPECT_EQ(form->ActiveControl(), form->Cm);
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

TEST_F(AddressBook, ModifyChangesTheStoredTelephoneOnly)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Bob");
    Command("Modify");
    EXPECT_FALSE(FieldsReadOnly());
    EXPECT_EQ(form->ActiveControl(), form->d1);
    TypeInto(form->d1, "555 9999");
    Command("Save");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(File(), "[Bob]\n01=555 9999\n02=1 High Street\n03=\n04=\n"
                      "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n[Items]\nAlice=\nBob=\n");
}

TEST_F(AddressBook, PickingWhileModifyingShowsTheStoredValuesStillEditable)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Bob");
    Command("Modify");
    TypeInto(form->d1, "changed");
    Pick("Alice");
    EXPECT_EQ(Fields()[0], "555 0202");
    EXPECT_FALSE(FieldsReadOnly());
}

TEST_F(AddressBook, SavingBobAsLowerCaseBobWritesIntoBob)
{
    WriteText(store, BobAndAlice);
    Start();
    Command("New");
    TypeName("bob");
    TypeInto(form->d1, "1");
    Command("Save");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(File().substr(0, 12), "[Bob]\n01=1\n0");
}

TEST_F(AddressBook, DeleteAsksAndOnlyYesErases)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Bob");
    dialogs.Answer(mrNo);
    Command("Delete");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "Are you sure wanna erase \" Bob \" from the list");
    EXPECT_EQ(dialogs.asked[0].caption, "Avertissement");
    EXPECT_EQ(File(), BobAndAlice);
    EXPECT_EQ(Fields()[0], "555 0101");

    dialogs.Answer(mrYes);
    Command("Delete");
    EXPECT_EQ(File(), "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n[Items]\nAlice=\nBob=\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"Alice"});
    EXPECT_EQ(Fields(), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(File(), "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n[Items]\nAlice=\n");
}

// How a user may pick a name: from the opened list, or with the arrow keys on the closed box.
struct PickWay {
    const char* name;
    bool arrowKeys;
    friend void PrintTo(const PickWay& way, std::ostream* os) { *os << way.name; }
};

class DeleteThenSave : public AddressBook, public testing::WithParamInterface<PickWay> {};

TEST_P(DeleteThenSave, LeavesTheOtherContactAlone)
{
    WriteText(store, BobAndAlice);
    Start();
    if (GetParam().arrowKeys)
        PickWithArrowKeys("Bob");
    else
        Pick("Bob");
    ASSERT_EQ(Fields()[0], "555 0101");
    dialogs.Answer(mrYes);
    Command("Delete");
    const std::string afterDelete = "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n[Items]\nAlice=\nBob=\n";
    EXPECT_EQ(File(), afterDelete);
    EXPECT_EQ(form->Cm->ItemIndex(), -1) << "no neighbour takes the deleted name's place";
    EXPECT_EQ(form->Cm->Text(), "");
    Command("Save");
    EXPECT_EQ(File(), afterDelete);
    dialogs.Answer(mrYes);
    Command("Delete");
    EXPECT_EQ(dialogs.asked.back().text, "Are you sure wanna erase \"  \" from the list");
    EXPECT_EQ(File(), afterDelete);
    EXPECT_EQ(Names(), std::vector<std::string>{"Alice"});
}

INSTANTIATE_TEST_SUITE_P(Picks, DeleteThenSave,
                         testing::Values(PickWay{"FromTheList", false}, PickWay{"WithArrowKeys", true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(AddressBook, DeleteWithoutANameOrOfItemsErasesNothing)
{
    WriteText(store, BobAndAlice);
    Start();
    dialogs.Answer(mrYes);
    Command("Delete");
    EXPECT_EQ(dialogs.asked.at(0).text, "Are you sure wanna erase \"  \" from the list");
    EXPECT_EQ(File(), BobAndAlice);
    Command("New");
    TypeName("items");
    dialogs.Answer(mrYes);
    Command("Delete");
    EXPECT_EQ(File(), BobAndAlice);
}

TEST_F(AddressBook, ItemsIsNoContactName)
{
    WriteText(store, BobAndAlice);
    Start();
    Command("New");
    TypeName("ITEMS");
    TypeInto(form->d1, "x");
    Command("Save");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].icon, TMessageIcon::Stop);
    EXPECT_NE(dialogs.asked[0].text.find("ITEMS"), std::string::npos);
    EXPECT_EQ(File(), BobAndAlice);
    EXPECT_FALSE(FieldsReadOnly()) << "still adding, with what was typed";
}

TEST_F(AddressBook, NamesAreTrimmedEverywhere)
{
    Start();
    Command("New");
    TypeName("  Carl  ");
    TypeInto(form->d1, "7");
    Command("Save");
    EXPECT_EQ(Names(), std::vector<std::string>{"Carl"});
    EXPECT_EQ(File(), "[Carl]\n01=7\n02=\n03=\n04=\n");
    Pick("Carl");
    EXPECT_EQ(Application->Title(), "Carl");
}

TEST_F(AddressBook, RefusedNamesAndValuesAreShownAndChangeNothing)
{
    Start();
    Command("New");
    TypeName("a=b");
    TypeInto(form->d1, "x");
    Command("Save");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_NE(dialogs.asked[0].text.find("Nom de clé incorrect"), std::string::npos);
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

TEST_F(AddressBook, ClosingAfterNewAsksAndNoClosesWithoutSaving)
{
    WriteText(store, BobAndAlice);
    Start();
    Command("New");
    TypeName("Dora");
    TypeInto(form->d1, "4");
    dialogs.Answer(mrNo);
    EXPECT_TRUE(CloseWindow());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, " You've forgotten saving  Dora  save it now ... ?");
    EXPECT_EQ(File(), BobAndAlice);
}

TEST_F(AddressBook, ClosingAfterModifyYesSavesFirst)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Alice");
    Command("Modify");
    TypeInto(form->d2, "3 New Road");
    dialogs.Answer(mrYes);
    EXPECT_TRUE(CloseWindow());
    TIniFile ini(store);
    EXPECT_EQ(ini.GetEntry("Alice", "02", ""), "3 New Road");
}

TEST_F(AddressBook, YesToTheReminderWithoutANameKeepsTheWindowOpen)
{
    Start();
    Command("New");
    TypeInto(form->d1, "typed");
    dialogs.Answer(mrYes);
    EXPECT_FALSE(CloseWindow());
    EXPECT_EQ(Fields()[0], "typed");
    EXPECT_EQ(form->ActiveControl(), form->Cm);
}

TEST_F(AddressBook, ClosingWhileViewingAsksNothing)
{
    WriteText(store, BobAndAlice);
    Start();
    EXPECT_TRUE(CloseWindow());
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(File(), BobAndAlice);
    EXPECT_EQ(form->Store(), nullptr) << "the store is released";
}

TEST_F(AddressBook, ReadOnlyStoreRefusesASaveAndKeepsTheMode)
{
    WriteText(store, BobAndAlice);
    ::chmod(store.c_str(), 0444);
    Start();
    Pick("Bob");
    Command("New");
    TypeName("Eve");
    TypeInto(form->d1, "5");
    Command("Save");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "Ne peut écrire dans " + store + ".");
    EXPECT_EQ(dialogs.asked[0].caption, "Bob") << "under the current title";
    EXPECT_EQ(File(), BobAndAlice);
    EXPECT_FALSE(FieldsReadOnly());
    EXPECT_EQ(Fields()[0], "5");
    // Closing with an unchanged name list writes nothing, so it is not blocked.
    dialogs.Answer(mrNo);
    EXPECT_TRUE(CloseWindow());
}

TEST_F(AddressBook, FailedNameListRewriteKeepsTheWindowAndStoreOpen)
{
    WriteText(store, BobAndAlice);
    Start();
    Command("New");
    TypeName("Fay");
    Command("Save");
    ::chmod(store.c_str(), 0444);
    EXPECT_FALSE(CloseWindow());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "Ne peut écrire dans " + store + ".");
    EXPECT_NE(form->Store(), nullptr);
    ::chmod(store.c_str(), 0644);
    EXPECT_TRUE(CloseWindow());
    EXPECT_NE(File().find("[Items]\nAlice=\nBob=\nFay=\n"), std::string::npos);
}

// A read-only store whose name list is written differently from what the close would write.
struct ReadOnlyClose {
    const char* name;
    std::string items; // the stored name list
    const char* added; // a contact saved before the store became read-only, if any
    bool closes;
    friend void PrintTo(const ReadOnlyClose& c, std::ostream* os) { *os << c.name; }
};

class ReadOnlyStore : public AddressBook, public testing::WithParamInterface<ReadOnlyClose> {};

TEST_P(ReadOnlyStore, ClosesWhenTheStoredListHoldsTheSameNames)
{
    const ReadOnlyClose& c = GetParam();
    WriteText(store, "[Bob]\n01=555 0101\n[Alice]\n01=555 0202\n" + c.items);
    Start();
    if (*c.added) {
        Command("New");
        TypeName(c.added);
        Command("Save");
    }
    const std::string before = File();
    ::chmod(store.c_str(), 0444);
    EXPECT_EQ(CloseWindow(), c.closes);
    EXPECT_EQ(File(), before);
    if (c.closes) {
        EXPECT_TRUE(dialogs.asked.empty());
        EXPECT_EQ(form->Store(), nullptr);
    } else {
        ASSERT_EQ(dialogs.asked.size(), 1u);
        EXPECT_EQ(dialogs.asked[0].text, "Ne peut écrire dans " + store + ".");
        EXPECT_NE(form->Store(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, ReadOnlyStore,
                         testing::Values(ReadOnlyClose{"Reordered", "[Items]\nBob=\nAlice=\n", "", true},
                                         ReadOnlyClose{"Spaced", "[Items]\nAlice =\n  Bob=\n", "", true},
                                         ReadOnlyClose{"OtherCase", "[items]\nALICE=\nbob=x\n", "", true},
                                         ReadOnlyClose{"Bare", "[Items]\n", "", true},
                                         ReadOnlyClose{"MissingAName", "[Items]\nBob=\nAlice=\n", "Carl", false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(AddressBook, GoButtonOpensOnlyWebAddresses)
{
    Start();
    Command("Modify");
    ClickButton(*form->ExplorerButton1);
    EXPECT_TRUE(launcher.started.empty()) << "an empty web site opens nothing";
    TypeInto(form->d4, "www.example.org");
    ClickButton(*form->ExplorerButton1);
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].program, "xdg-open");
    EXPECT_EQ(launcher.started[0].arguments, std::vector<std::string>{"http://www.example.org"});
    EXPECT_EQ(BrowserCommand, "xdg-open www.example.org");
    TypeInto(form->d4, "file:///etc/passwd");
    ClickButton(*form->ExplorerButton1);
    EXPECT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(form->d4->Text(), "file:///etc/passwd") << "the text stays as typed";
}

TEST(WebAddress, OnlyHttpHttpsAndFtpGoToTheOpener)
{
    const std::pair<const char*, const char*> cases[] = {
        {"www.example.org", "http://www.example.org"},
        {"  example.org/a b ", "http://example.org/a b"},
        {"localhost:8080", "http://localhost:8080"},
        {"HTTPS://example.org", "HTTPS://example.org"},
        {"ftp://ftp.example.org/x", "ftp://ftp.example.org/x"},
        {"file:///etc/passwd", ""},
        {"mailto:bob@example.org", ""},
        {"javascript:alert(1)", ""},
        {"/etc/passwd", ""},
        {"~/notes", ""},
        {"http:example.org", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(WebAddressFor(text), expected) << text;
}

TEST_F(AddressBook, AboutTwiceOnlyBringsTheBoxToTheFront)
{
    Start();
    EXPECT_FALSE(about->Visible());
    Command("About...");
    EXPECT_TRUE(about->Visible());
    const int left = about->Left();
    Command("About...");
    EXPECT_TRUE(about->Visible());
    EXPECT_EQ(about->Left(), left);
    EXPECT_EQ(about->ClientWidth(), 344);
    EXPECT_EQ(about->ClientHeight(), 148);
    about->Button1->SetFocus();
    KeyClick(*about, Qt::Key_Return);
    EXPECT_FALSE(about->Visible()) << "Enter on the focused Ok closes the box";
    EXPECT_TRUE(form->Visible()) << "hiding the About box closes nothing else";
}

TEST_F(AddressBook, TheStoreLivesBesideTheProgram)
{
    SetStoreFolder("");
    EXPECT_EQ(StoreFolder(), ExtractFilePath(ExecutablePath()));
}

TEST_F(AddressBook, BothWindowsRenderForALook)
{
    WriteText(store, BobAndAlice);
    Start();
    Pick("Bob");
    about->Show();
    PumpEvents();
    const std::string folderOut = CARNELO_TEST_OUTPUT;
    ASSERT_TRUE(SaveFormPng(*form, folderOut + "/main-window.png"));
    ASSERT_TRUE(SaveFormPng(*about, folderOut + "/about-box.png"));
    // The labels' texts fit the boxes the layout gives them.
    for (TLabel* label : {about->Label1, about->l1, about->Label2, about->Label3, about->Label4}) {
        TBitmap probe(1, 1);
        probe.Canvas().Font().CopyFrom(&label->Font());
        EXPECT_LE(probe.Canvas().TextWidth(label->Caption()), label->Width()) << label->Caption();
    }
}
