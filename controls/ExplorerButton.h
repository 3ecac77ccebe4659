#pragma once

#include "controls/ExplorerButtonPaint.h"
#include "framework/ui/Controls.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TPopupMenu;
class TStream;

// A flat toolbar button: caption and picture only, until the mouse comes over it and a
// one-pixel bevel rises; pressed or held down the bevel sinks and a checkered pattern
// may fill it. It may drop a menu down instead of clicking, and buttons of one parent
// with the same GroupIndex act like radio buttons.
//
// Its Caption and Enabled are its own: the framework's control stays enabled (so the
// button hears the mouse while disabled) and textless.
class TExplorerButton : public TGraphicControl {
    CARNELO_CLASS(TExplorerButton, TGraphicControl)
public:
    explicit TExplorerButton(TComponent* owner);
    ~TExplorerButton() override;

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    bool AllowAllUp() const { return m_allowAllUp; }
    // Copied to the rest of the group while GroupIndex is set.
    void SetAllowAllUp(bool value);
    TBevelStyle BevelStyle() const { return m_bevelStyle; }
    void SetBevelStyle(TBevelStyle value);
    // The button owns its pictures; the setters copy the given one (null empties it).
    TBitmap& Bitmap() { return *m_bitmap; }
    void SetBitmap(const TBitmap* value);
    TBitmap& NoFocusBitmap() { return *m_noFocusBitmap; }
    void SetNoFocusBitmap(const TBitmap* value);
    TBitmap& DisabledBitmap() { return *m_disabledBitmap; }
    void SetDisabledBitmap(const TBitmap* value);
    // The grey image of Bitmap, built in design mode and kept in the stored form.
    TBitmap& ShadedBitmap() { return *m_shadedBitmap; }
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int value);
    bool Down() const { return m_down; }
    // Only a button with a GroupIndex can be down; going down raises the others.
    void SetDown(bool value);
    TPopupMenu* DropDownMenu() const { return m_dropDownMenu; }
    void SetDropDownMenu(TPopupMenu* value);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) override;
    TExplorerButtonLayout Layout() const { return m_layout; }
    void SetLayout(TExplorerButtonLayout value);
    TExplorerButtonOptions Options() const { return m_options; }
    void SetOptions(TExplorerButtonOptions value);
    TExplorerButtonShadingType ShadingType() const { return m_shadingType; }
    void SetShadingType(TExplorerButtonShadingType value);
    bool ShowDownPattern() const { return m_showDownPattern; }
    void SetShowDownPattern(bool value);
    TColor UnselectedFontColor() const { return m_unselectedFontColor; }
    void SetUnselectedFontColor(TColor value);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool value);

    std::string Text() const override { return m_caption; }
    void SetText(const std::string& value) override;

    bool MouseInside() const { return m_mouseInside; }
    bool Pressed() const { return m_pressed; }
    // Whether captions that do not fit end in "...".
    static bool UseEllipsis() { return s_useEllipsis; }

    // The stored form's binary property "IBitmap": ShadedBitmap as a bitmap-file
    // stream, no bytes at all when it is empty. Reading takes the rest of the stream.
    void ReadIBitmap(TStream& stream);
    void WriteIBitmap(TStream& stream) const;

    // What Paint shows, for painting the button elsewhere.
    ExplorerButtonLook Look();

    void WMLButtonDown(TShiftState shift, int x, int y) override;
    void WMLButtonUp(TShiftState shift, int x, int y) override;
    void WMRButtonUp(TShiftState shift, int x, int y) override;
    void CMMouseEnter() override;
    void CMMouseLeave() override;
    bool CMDialogChar(char32_t character) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    void Paint() override;
    void AfterLoad() override;
    void Notification(TComponent* component, TOperation operation) override;
    void VisibleChanged() override;

private:
    void leftButtonDown();
    void leftButtonUp();
    void closedMenu(const std::weak_ptr<const void>& alive);
    // Strict: the button's leftmost column and top row count as outside.
    bool cursorInside() const;
    // The other buttons of the parent with this GroupIndex (none while it is 0).
    std::vector<TExplorerButton*> groupMates() const;
    void releaseCapture();
    // Stores a changed value and shows it at once; an unchanged one changes nothing.
    template <typename T>
    void storeAndRepaint(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Repaint();
    }
    bool wantsShadedBitmap() const;
    void makeShadedBitmap();
    void bitmapChanged();
    void noFocusBitmapChanged();
    void disabledBitmapChanged();

    static bool s_useEllipsis;

    std::unique_ptr<TBitmap> m_bitmap;
    std::unique_ptr<TBitmap> m_noFocusBitmap;
    std::unique_ptr<TBitmap> m_disabledBitmap;
    std::unique_ptr<TBitmap> m_shadedBitmap;
    std::string m_caption;
    TAlignment m_alignment = TAlignment::taCenter;
    bool m_allowAllUp = false;
    TBevelStyle m_bevelStyle = TBevelStyle::bsRaised;
    int m_groupIndex = 0;
    bool m_down = false;
    TPopupMenu* m_dropDownMenu = nullptr; // not owned; forgotten when it goes
    bool m_enabled = true;
    TExplorerButtonLayout m_layout = TExplorerButtonLayout::blBitmapTop;
    TExplorerButtonOptions m_options = boMonoDisplay | boPopupMark | boShowBevel;
    TExplorerButtonShadingType m_shadingType = TExplorerButtonShadingType::stMedium;
    bool m_showDownPattern = true;
    TColor m_unselectedFontColor = clWindowText;
    bool m_wordWrap = false;
    bool m_mouseInside = false;
    bool m_pressed = false;
};

// The text without its accelerator marks: "&File" gives "File", "A&&B" gives "A&B";
// a "&" at the very end stays.
std::string StripAccelerators(const std::string& text);
// Whether the character is the caption's accelerator (the one after the first "&" that
// does not stand for itself), regardless of case.
bool isAccelerator(char32_t character, const std::string& caption);
