#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
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

// Picks the menu entry with this text once the menu is open.
void chooseWhenOpen(const QString& text, QPoint* openedAt = nullptr)
{
    TPopupMenu::SetOpenHook([text, openedAt] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        if (openedAt)
            *openedAt = menu->pos();
        for (QAction* a : menu->actions())
            if (a->text() == text)
                menu->setActiveAction(a);
        if (text.isEmpty())
            menu->close();
        else
            QTest::keyClick(menu, Qt::Key_Return);
    });
}

} // namespace

TEST(PopupMenu, OpensAtThePointAndRunsTheChosenCommandAfterItCloses)
{
    TForm form(nullptr);
    std::vector<std::string> log;
    auto* menu = new TPopupMenu(&form);
    addItem(*menu, &form, "New", &log);
    addItem(*menu, &form, "-", nullptr);
    addItem(*menu, &form, "Exit", &log);
    QPoint at;
    chooseWhenOpen("Exit", &at);
    menu->Popup(120, 80);
    TPopupMenu::SetOpenHook(nullptr);
    EXPECT_EQ(at, QPoint(120, 80));
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
    chooseWhenOpen("Close");
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
    QPoint at;
    chooseWhenOpen("New", &at);
    MouseClick(form, {30, 40}, true);
    TPopupMenu::SetOpenHook(nullptr);
    PumpEvents();
    EXPECT_EQ(at, form.Widget()->mapToGlobal(QPoint(30, 40)));
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
