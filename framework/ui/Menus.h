#pragma once

#include "framework/core/Component.h"
#include "framework/core/Types.h"

#include <memory>
#include <string>
#include <vector>

class TControl;

// A menu item; the caption "-" makes a separator line.
class TMenuItem : public TComponent {
    CARNELO_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value) { m_caption = value; }
    bool IsSeparator() const { return m_caption == "-"; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { m_visible = value; }

    // Sub-items, in menu order; the item does not own them (their owner does).
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    int Count() const { return static_cast<int>(m_items.size()); }
    TMenuItem* Item(int index) const { return m_items.at(static_cast<size_t>(index)); }
    TMenuItem* Parent() const { return m_parent; }

    // Fires OnClick.
    virtual void Click();
    TNotifyEvent OnClick;

private:
    std::string m_caption;
    bool m_enabled = true;
    bool m_visible = true;
    std::vector<TMenuItem*> m_items;
    TMenuItem* m_parent = nullptr;
};

// A pop-up menu. Popup shows it with its top-left corner at a screen point and returns
// when it closes; the chosen item's OnClick runs afterwards, from the event loop, so a
// command may close or destroy the form that opened the menu.
class TPopupMenu : public TComponent {
    CARNELO_CLASS(TPopupMenu, TComponent)
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    TMenuItem& Items() { return *m_items; }
    void Popup(int x, int y);
    TControl* PopupComponent() const { return m_popupComponent; }
    void SetPopupComponent(TControl* control) { m_popupComponent = control; }

    // While a menu is open (tests use it to reach the open menu's Qt widget).
    static bool MenuOpen();
    // Runs when a menu has just opened, from inside its loop (tests choose items here).
    static void SetOpenHook(std::function<void()> hook);

    TNotifyEvent OnPopup;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::unique_ptr<TMenuItem> m_items;
    TControl* m_popupComponent = nullptr;
};
