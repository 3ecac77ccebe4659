#include "framework/ui/Menus.h"

#include "framework/ui/Application.h"
#include "framework/ui/Controls.h"
#include "framework/ui/QtSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace {
int g_openMenus = 0;
std::function<void()> g_openHook;
} // namespace

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem()
{
    if (m_parent)
        m_parent->Remove(this);
    for (TMenuItem* item : m_items)
        item->m_parent = nullptr;
}

void TMenuItem::Add(TMenuItem* item)
{
    if (item->m_parent)
        item->m_parent->Remove(item);
    item->m_parent = this;
    m_items.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item)
{
    m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end());
    item->m_parent = nullptr;
}

void TMenuItem::Click()
{
    if (OnClick)
        OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), m_items(std::make_unique<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_popupComponent)
        m_popupComponent = nullptr;
}

bool TPopupMenu::MenuOpen()
{
    return g_openMenus > 0;
}

void TPopupMenu::SetOpenHook(std::function<void()> hook)
{
    g_openHook = std::move(hook);
}

namespace {

void fillMenu(QMenu& menu, TMenuItem& items, std::vector<std::pair<QAction*, TMenuItem*>>& actions)
{
    for (int i = 0; i < items.Count(); ++i) {
        TMenuItem* item = items.Item(i);
        if (!item->Visible())
            continue;
        if (item->IsSeparator()) {
            menu.addSeparator();
        } else if (item->Count() > 0) {
            QMenu* sub = menu.addMenu(toQt(item->Caption()));
            // A disabled item keeps its sub-items out of reach too.
            sub->menuAction()->setEnabled(item->Enabled());
            fillMenu(*sub, *item, actions);
        } else {
            QAction* action = menu.addAction(toQt(item->Caption()));
            action->setEnabled(item->Enabled());
            actions.emplace_back(action, item);
        }
    }
}

} // namespace

void TPopupMenu::Popup(int x, int y)
{
    if (OnPopup)
        OnPopup(this);
    QMenu menu;
    std::vector<std::pair<QAction*, TMenuItem*>> actions;
    fillMenu(menu, *m_items, actions);
    if (actions.empty())
        return;
    ++g_openMenus;
    if (g_openHook)
        QTimer::singleShot(0, &menu, [] {
            if (g_openHook)
                g_openHook();
        });
    QAction* chosen = menu.exec(QPoint(x, y));
    --g_openMenus;
    for (const auto& [action, item] : actions)
        if (action == chosen) {
            // The command runs from the event loop once the caller's handler is done.
            std::weak_ptr<const void> alive = item->AliveToken();
            TMenuItem* target = item;
            auto run = [alive, target] {
                if (!alive.expired())
                    target->Click();
            };
            if (Application)
                Application->PostCommand(run);
            else
                QTimer::singleShot(0, qApp, [run] { GuardedCall(run); });
        }
}
