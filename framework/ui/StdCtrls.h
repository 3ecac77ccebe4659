#pragma once

#include "framework/core/Strings.h"
#include "framework/graphics/DrawStyles.h"
#include "framework/ui/Controls.h"

#include <memory>

class QComboBox;

// A text label painted on the form's surface. Transparent lets the surface show around
// the text; "&" underlines the next character unless ShowAccelChar is off.
class TLabel : public TGraphicControl {
    CARNELO_CLASS(TLabel, TGraphicControl)
public:
    explicit TLabel(TComponent* owner);

    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void SetShowAccelChar(bool value);

protected:
    void Paint() override;

private:
    bool m_transparent = false;
    TAlignment m_alignment = TAlignment::taLeftJustify;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
};

// A single-line text field.
class TEdit : public TWinControl {
    CARNELO_CLASS(TEdit, TWinControl)
public:
    explicit TEdit(TComponent* owner);

    std::string Text() const override;
    void SetText(const std::string& value) override;
    void Clear() { SetText(""); }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    int MaxLength() const { return m_maxLength; }
    // 0: no limit.
    void SetMaxLength(int value);

    TNotifyEvent OnChange;

protected:
    void FontChanged() override;
    void ColorChanged() override;

private:
    void applyPalette();
    bool m_readOnly = false;
    int m_maxLength = 0;
};

// A push button.
class TButton : public TWinControl {
    CARNELO_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);
    void SetText(const std::string& value) override;
};

enum class TComboBoxStyle { csDropDown, csDropDownList, csOwnerDrawFixed };

// A drop-down list of texts. csDropDown is editable (at most 255 characters typed);
// csOwnerDrawFixed is a pick list whose entries the framework draws itself: the entry
// filled with the box's colour (selection colours when selected), its text at left + 2,
// and a focus rectangle round the focused one. Changing the style rebuilds the box: the
// entries stay, none is selected, and the text shown is handed to the new box, where
// the editable style shows it and the pick list (nothing selected) shows none.
// Removing the shown entry leaves none selected and no text; adding or removing others
// keeps the shown entry and what was typed. The list drops down below the box (above
// without room), as wide as the box, with at most DropDownCount entries.
// Picking an entry (mouse, arrow keys, first letter) makes it the text, then fires OnClick.
class TComboBox : public TWinControl {
    CARNELO_CLASS(TComboBox, TWinControl)
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    TComboBoxStyle Style() const { return m_style; }
    void SetStyle(TComboBoxStyle value);
    // The entries; filling them directly keeps the box's order when it is sorted.
    TStrings& Items();
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool value);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int value);
    int DropDownCount() const { return m_dropDownCount; }
    void SetDropDownCount(int value);
    bool DroppedDown() const;
    void SetDroppedDown(bool value);

    std::string Text() const override;
    void SetText(const std::string& value) override;

    TNotifyEvent OnChange;

    // Paints one entry as the owner-drawn style does, into canvas at rect.
    void DrawItem(TCanvas& canvas, int index, const TRect& rect, bool selected, bool focused);

protected:
    void FontChanged() override;
    void ColorChanged() override;

private:
    friend class ComboItems;
    QComboBox* box() const;
    void applyPalette();
    void applyStyle();

    TComboBoxStyle m_style = TComboBoxStyle::csDropDown;
    bool m_sorted = false;
    int m_itemHeight = 16;
    int m_dropDownCount = 8;
    std::unique_ptr<TStrings> m_items;
};

// Draws the dotted focus rectangle (inverting every other pixel of the border).
void DrawFocusRect(TCanvas& canvas, const TRect& rect);
