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
// Its Caption is its own: the framework's control stays textless. A disabled button
// still takes the mouse (it tracks it, and a press brings its form to the front and
// reaches nothing under it), but its buttons do nothing.
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
    bool Down() const { return m_flags.down; }
    // Only a button with a GroupIndex can be down; going down raises the others.
    void SetDown(bool value);
    TPopupMenu* DropDownMenu() const { return m_dropDownMenu; }
    void SetDropDownMenu(TPopupMenu* value);
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

    bool MouseInside() const { return m_flags.mouseInside; }
    bool Pressed() const { return m_flags.pressed; }
    // Captions that do not fit end in "...": every platform this program runs on draws
    // end ellipses.
    static constexpr bool UseEllipsis() { return true; }

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
    bool TakesMouseInput() const override { return true; }

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    void Paint() override;
    void AfterLoad() override;
    void Notification(TComponent* component, TOperation operation) override;
    void VisibleChanged() override;
    void EnabledChanged() override;

private:
    // What the look follows from besides Enabled and the properties.
    struct Flags {
        bool down = false;
        bool pressed = false;
        bool mouseInside = false;
        bool operator==(const Flags&) const = default;
    };
    // Every change of the flags comes here. Repaints when the look changes; returns
    // whether it did.
    bool setFlags(Flags flags);
    ExplorerButtonState state() const;

    void leftButtonDown();
    // releasedInside: the release's own hit test, which decides whether the button stays hot.
    void leftButtonUp(bool releasedInside);
    void closedMenu(const std::weak_ptr<const void>& alive);
    // A point in client coordinates; strict: the leftmost column and top row count as outside.
    bool contains(TPoint at) const;
    // Where no event tells the mouse's position (after a menu, for a key): the cursor's.
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

    DownPatternShare m_patternShare;
    std::unique_ptr<TBitmap> m_bitmap;
    std::unique_ptr<TBitmap> m_noFocusBitmap;
    std::unique_ptr<TBitmap> m_disabledBitmap;
    std::unique_ptr<TBitmap> m_shadedBitmap;
    std::string m_caption;
    TAlignment m_alignment = TAlignment::taCenter;
    bool m_allowAllUp = false;
    TBevelStyle m_bevelStyle = TBevelStyle::bsRaised;
    int m_groupIndex = 0;
    TPopupMenu* m_dropDownMenu = nullptr; // not owned; forgotten when it goes
    TExplorerButtonLayout m_layout = TExplorerButtonLayout::blBitmapTop;
    TExplorerButtonOptions m_options = boMonoDisplay | boPopupMark | boShowBevel;
    TExplorerButtonShadingType m_shadingType = TExplorerButtonShadingType::stMedium;
    bool m_showDownPattern = true;
    TColor m_unselectedFontColor = clWindowText;
    bool m_wordWrap = false;
    Flags m_flags;
};

// The text without its accelerator marks: "&File" gives "File", "A&&B" gives "A&B";
// a "&" at the very end stays.
std::string StripAccelerators(const std::string& text);
// Whether the character is the caption's accelerator (the one after the first "&" that
// does not stand for itself), regardless of case.
bool isAccelerator(char32_t character, const std::string& caption);
