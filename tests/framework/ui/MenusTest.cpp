#include "framework/ui/Menus.h"
#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace {

TMenuItem* addItem(TPopupMenu& menu, TComponent* owner, const std::string& caption, std::vector<std::string>* log)
{
    auto* item = new TMenuItem(owner);
    item->SetCaption(caption);
    if (log)
        item->OnClick = [log, caption](TObject*) { log->push_back(caption); };
    menu.Items().Add(item);
    return item;
}

// Once the next menu opens, presses these keys on whichever menu is open in turn and notes
// the highlighted entry after each ("" when none, "(closed)" when no menu is open).
void pressWhenOpen(std::vector<Qt::Key> keys, std::vector<std::string>* highlighted)
{
    TPopupMenu::SetOpenHook([keys, highlighted] {
        for (Qt::Key key : keys) {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr) << "no menu left for the key";
            QTest::keyClick(menu, key);
            auto* now = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            highlighted->push_back(!now                  ? "(closed)"
                                   : now->activeAction() ? now->activeAction()->text().toStdString()
                                                         : "");
        }
        if (QApplication::activePopupWidget())
            ADD_FAILURE() << "the keys left a menu open";
    });
}

// New, a separator, Open (disabled), Hidden (hidden), Save, More > {Deep, Gone (disabled)}.
struct SampleMenu {
    explicit SampleMenu(TForm& form) : menu(new TPopupMenu(&form))
    {
        addItem(*menu, &form, "New", &log);
        addItem(*menu, &form, "-", nullptr);
        addItem(*menu, &form, "Open", &log)->SetEnabled(false);
        addItem(*menu, &form, "Hidden", &log)->SetVisible(false);
        addItem(*menu, &form, "Save", &log);
        more = addItem(*menu, &form, "More", &log);
        for (const char* caption : {"Deep", "Gone"}) {
            auto* item = new TMenuItem(&form);
            item->SetCaption(caption);
            item->OnClick = [this, caption](TObject*) { log.push_back(caption); };
            more->Add(item);
        }
        more->Item(1)->SetEnabled(false);
    }

    // Opens the menu, presses the keys, and returns what ran once the event loop had its turn.
    std::vector<std::string> Press(std::vector<Qt::Key> keys)
    {
        highlighted.clear();
        log.clear();
        pressWhenOpen(std::move(keys), &highlighted);
        menu->Popup(20, 20);
        TPopupMenu::SetOpenHook(nullptr);
        PumpEvents();
        return log;
    }

    TPopupMenu* menu;
    TMenuItem* more = nullptr;
    std::vector<std::string> log;
    std::vector<std::string> highlighted;
};

} // namespace

TEST(PopupMenu, OpensAtThePointAndRunsTheChosenCommandAfterItCloses)
{
    TForm form(nullptr);
    std::vector<std::string> log;
    auto* menu = new TPopupMenu(&form);
    addItem(*menu, &form, "New", &log);
    addItem(*menu, &form, "-", nullptr);
    addItem(*menu, &form, "Exit", &log);
    OpenedMenu at;
    ChooseWhenOpen("Exit", &at);
    menu->Popup(120, 80);
    TPopupMenu::SetOpenHook(nullptr);
    EXPECT_EQ(QPoint(at.x, at.y), QPoint(120, 80));
    EXPECT_TRUE(log.empty()) << "the command waits until the caller's handler is done";
    Application->DiscardPendingMouseInput();
    EXPECT_TRUE(log.empty()) << "dropping mouse input runs no command";
    PumpEvents();
    EXPECT_EQ(log, std::vector<std::string>{"Exit"});
}

TEST(PopupMenu, ASeparatorIsNoCommandAndCancellingRunsNothing)
{
    TForm form(nullptr);
    std::vector<std::string> log;
    auto* menu = new TPopupMenu(&form);
    addItem(*menu, &form, "New", &log);
    addItem(*menu, &form, "-", nullptr);
    int actions = 0;
    TPopupMenu::SetOpenHook([&] {
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (QAction* a : open->actions())
            actions += a->isSeparator() ? 0 : 1;
        open->close();
    });
    menu->Popup(10, 10);
    TPopupMenu::SetOpenHook(nullptr);
    PumpEvents();
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(log.empty());
}

TEST(PopupMenu, ACommandMayDestroyTheFormThatOpenedTheMenu)
{
    auto* form = new TForm(nullptr);
    auto* menu = new TPopupMenu(form);
    auto* item = addItem(*menu, form, "Close", nullptr);
    TForm** slot = &form;
    item->OnClick = [slot](TObject*) {
        // The handler is part of the form: touch nothing captured after the delete.
        TForm* doomed = *slot;
        *slot = nullptr;
        delete doomed;
    };
    ChooseWhenOpen("Close");
    menu->Popup(5, 5);
    TPopupMenu::SetOpenHook(nullptr);
    PumpEvents();
    EXPECT_EQ(form, nullptr);
}

TEST(PopupMenu, RightButtonDropsTheMenuOfTheNearestParent)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    std::vector<std::string> log;
    auto* menu = new TPopupMenu(&form);
    addItem(*menu, &form, "New", &log);
    form.SetPopupMenu(menu);
    ShowAndActivate(form);
    OpenedMenu at;
    ChooseWhenOpen("New", &at);
    MouseClick(form, {30, 40}, true);
    TPopupMenu::SetOpenHook(nullptr);
    PumpEvents();
    EXPECT_EQ(QPoint(at.x, at.y), form.Widget()->mapToGlobal(QPoint(30, 40)));
    EXPECT_EQ(log, std::vector<std::string>{"New"});
}

TEST(PopupMenu, RemovedMenuIsForgottenByItsControl)
{
    TForm form(nullptr);
    auto* menu = new TPopupMenu(&form);
    form.SetPopupMenu(menu);
    delete menu;
    EXPECT_EQ(form.PopupMenu(), nullptr);
}

TEST(PopupMenu, ArrowKeysSkipSeparatorsAndHiddenItemsAndReturnRunsTheHighlightedOne)
{
    TForm form(nullptr);
    SampleMenu sample(form);
    using Keys = std::vector<Qt::Key>;
    using Log = std::vector<std::string>;
    EXPECT_EQ(sample.Press({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}), Log{"Save"});
    EXPECT_EQ(sample.highlighted, (Log{"New", "Save", "(closed)"}));
    EXPECT_EQ(sample.Press({Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Return}), Log{"New"});
    EXPECT_EQ(sample.highlighted, (Log{"More", "Save", "New", "(closed)"}));
    EXPECT_EQ(sample.Press(Keys{Qt::Key_Down, Qt::Key_Escape}), Log{}) << "Escape closes and runs nothing";
    EXPECT_EQ(sample.highlighted, (Log{"New", "(closed)"}));
}

TEST(PopupMenu, ADisabledItemDoesNotRunEvenWhenChosenDirectly)
{
    TForm form(nullptr);
    SampleMenu sample(form);
    std::vector<std::string> visible;
    TPopupMenu::SetOpenHook([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator())
                visible.push_back(a->text().toStdString());
            if (a->text() == "Open") {
                EXPECT_FALSE(a->isEnabled());
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        }
        menu->close();
    });
    sample.menu->Popup(20, 20);
    TPopupMenu::SetOpenHook(nullptr);
    PumpEvents();
    EXPECT_EQ(visible, (std::vector<std::string>{"New", "Open", "Save", "More"}));
    EXPECT_TRUE(sample.log.empty());
}

TEST(PopupMenu, ASubmenuOpensWithTheRightKeyAndRunsItsEnabledItemsOnly)
{
    TForm form(nullptr);
    SampleMenu sample(form);
    using Log = std::vector<std::string>;
    EXPECT_EQ(sample.Press({Qt::Key_Up, Qt::Key_Right, Qt::Key_Return}), Log{"Deep"});
    EXPECT_EQ(sample.highlighted, (Log{"More", "Deep", "(closed)"}));
    EXPECT_EQ(sample.Press({Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Escape}), Log{})
        << "the disabled Gone is skipped; Escape closes one level at a time";
    EXPECT_EQ(sample.highlighted, (Log{"More", "Deep", "Deep", "More", "(closed)"}));

    sample.more->SetEnabled(false);
    EXPECT_EQ(sample.Press({Qt::Key_Up, Qt::Key_Right, Qt::Key_Escape}), Log{});
    EXPECT_EQ(sample.highlighted, (Log{"Save", "Save", "(closed)"})) << "a disabled submenu is passed over, unopened";
}
