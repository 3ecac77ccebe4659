#include "controls/ExplorerButton.h"

#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "framework/core/TextCompare.h"
#include "framework/graphics/Bitmap.h"
#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"

namespace {

// The character after the first "&" that marks one, as UTF-8; empty when there is none.
std::string acceleratorOf(const std::string& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return caption.substr(i + 1, utf8SequenceLength(static_cast<unsigned char>(caption[i + 1])));
    }
    return {};
}

} // namespace

std::string StripAccelerators(const std::string& text)
{
    std::string s = text;
    size_t i = 0;
    while (i + 1 < s.size()) {
        if (s[i] != '&') {
            ++i;
        } else if (s[i + 1] == '&') {
            s.erase(i + 1, 1);
            ++i;
        } else {
            s.erase(i, 1);
        }
    }
    return s;
}

bool isAccelerator(char32_t character, const std::string& caption)
{
    const std::string accelerator = acceleratorOf(caption);
    return !accelerator.empty() && SameText(accelerator, utf8Of(character));
}

TExplorerButton::TExplorerButton(TComponent* owner)
    : TGraphicControl(owner), m_bitmap(std::make_unique<TBitmap>()), m_noFocusBitmap(std::make_unique<TBitmap>()),
      m_disabledBitmap(std::make_unique<TBitmap>()), m_shadedBitmap(std::make_unique<TBitmap>())
{
    m_bitmap->OnChange = [this](TObject*) { bitmapChanged(); };
    m_noFocusBitmap->OnChange = [this](TObject*) { noFocusBitmapChanged(); };
    m_disabledBitmap->OnChange = [this](TObject*) { disabledBitmapChanged(); };
    // A button placed on a form being designed is designed too.
    if (owner && owner->Designing())
        SetDesigning(true);
    SetBounds(Left(), Top(), 50, 40);
    if (Designing() && !(owner && owner->Loading()))
        m_caption = "ExplorerButton";
}

TExplorerButton::~TExplorerButton() = default;

void TExplorerButton::releaseCapture()
{
    if (GetCaptureControl() == this)
        SetCaptureControl(nullptr);
}

bool TExplorerButton::contains(TPoint at) const
{
    return 0 < at.x && at.x < Width() && 0 < at.y && at.y < Height();
}

bool TExplorerButton::cursorInside() const
{
    return Parent() && contains(ScreenToClient(GetCursorPos()));
}

ExplorerButtonState TExplorerButton::state() const
{
    return explorerButtonState(Enabled(), m_flags.down, m_flags.pressed, m_flags.mouseInside);
}

bool TExplorerButton::setFlags(Flags flags)
{
    if (flags == m_flags)
        return false;
    const ExplorerButtonState before = state();
    const bool wasDown = m_flags.down;
    m_flags = flags;
    // Down shows even on a disabled button, whose state stays Disabled.
    if (state() == before && flags.down == wasDown)
        return false;
    Repaint();
    return true;
}

std::vector<TExplorerButton*> TExplorerButton::groupMates() const
{
    std::vector<TExplorerButton*> mates;
    if (!Parent() || m_groupIndex == 0)
        return mates;
    for (TExplorerButton* button : Parent()->ControlsOf<TExplorerButton>())
        if (button != this && button->m_groupIndex == m_groupIndex)
            mates.push_back(button);
    return mates;
}

// ------------------------------------------------------------------------------ painting

ExplorerButtonLook TExplorerButton::Look()
{
    ExplorerButtonLook look;
    look.width = Width();
    look.height = Height();
    look.caption = m_caption;
    look.font.CopyFrom(&Font());
    look.unselectedFontColor = m_unselectedFontColor;
    look.alignment = m_alignment;
    look.layout = m_layout;
    look.bevelStyle = m_bevelStyle;
    look.options = m_options;
    look.hasDropDownMenu = m_dropDownMenu != nullptr;
    look.enabled = Enabled();
    look.down = m_flags.down;
    look.pressed = m_flags.pressed;
    look.mouseInside = m_flags.mouseInside;
    look.showDownPattern = m_showDownPattern;
    look.wordWrap = m_wordWrap;
    look.designing = Designing();
    look.useEllipsis = UseEllipsis();
    look.bitmap = m_bitmap.get();
    look.noFocusBitmap = m_noFocusBitmap.get();
    look.disabledBitmap = m_disabledBitmap.get();
    look.shadedBitmap = m_shadedBitmap.get();
    return look;
}

void TExplorerButton::Paint()
{
    if (!Visible() && !Designing())
        return;
    paintExplorerButton(Canvas(), Look());
}

bool TExplorerButton::wantsShadedBitmap() const
{
    return Designing() && !m_bitmap->Empty() && m_noFocusBitmap->Empty();
}

void TExplorerButton::makeShadedBitmap()
{
    MakeShadedBitmap(*m_shadedBitmap, *m_bitmap, m_shadingType);
}

void TExplorerButton::bitmapChanged()
{
    if (wantsShadedBitmap() && !Loading())
        makeShadedBitmap();
    if (!m_bitmap->Empty())
        m_bitmap->Dormant();
    Repaint();
}

void TExplorerButton::noFocusBitmapChanged()
{
    if (wantsShadedBitmap())
        makeShadedBitmap();
    if (!m_noFocusBitmap->Empty())
        m_noFocusBitmap->Dormant();
    Repaint();
}

void TExplorerButton::disabledBitmapChanged()
{
    if (!m_disabledBitmap->Empty())
        m_disabledBitmap->Dormant();
    if (!Enabled())
        Repaint();
}

void TExplorerButton::AfterLoad()
{
    TGraphicControl::AfterLoad();
    if (wantsShadedBitmap())
        makeShadedBitmap();
}

void TExplorerButton::ReadIBitmap(TStream& stream)
{
    if (stream.Position() >= stream.Size())
        m_shadedBitmap->CopyFrom(nullptr);
    else
        m_shadedBitmap->LoadFromStream(stream);
}

void TExplorerButton::WriteIBitmap(TStream& stream) const
{
    if (!m_shadedBitmap->Empty())
        m_shadedBitmap->SaveToStream(stream);
}

void TExplorerButton::Notification(TComponent* component, TOperation operation)
{
    TGraphicControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_dropDownMenu)
        m_dropDownMenu = nullptr;
}

// ------------------------------------------------------------------------------ setters

void TExplorerButton::SetAlignment(TAlignment value)
{
    m_alignment = value;
    Repaint();
}

void TExplorerButton::SetAllowAllUp(bool value)
{
    m_allowAllUp = value;
    for (TExplorerButton* mate : groupMates())
        mate->m_allowAllUp = value;
}

void TExplorerButton::SetBevelStyle(TBevelStyle value)
{
    m_bevelStyle = value;
    Repaint();
}

void TExplorerButton::SetBitmap(const TBitmap* value)
{
    m_bitmap->CopyFrom(value);
    if (!m_bitmap->Empty())
        m_bitmap->Dormant();
}

void TExplorerButton::SetNoFocusBitmap(const TBitmap* value)
{
    m_noFocusBitmap->CopyFrom(value);
    if (!m_noFocusBitmap->Empty())
        m_noFocusBitmap->Dormant();
}

void TExplorerButton::SetDisabledBitmap(const TBitmap* value)
{
    m_disabledBitmap->CopyFrom(value);
    if (!m_disabledBitmap->Empty())
        m_disabledBitmap->Dormant();
}

void TExplorerButton::SetText(const std::string& value)
{
    m_caption = value;
    if (m_options & boIconOnly)
        SetHint(StripAccelerators(value));
    else
        Repaint();
}

void TExplorerButton::SetDown(bool value)
{
    if (value == m_flags.down || m_groupIndex == 0)
        return;
    setFlags({.down = value, .pressed = m_flags.pressed, .mouseInside = m_flags.mouseInside});
    if (value)
        for (TExplorerButton* mate : groupMates())
            mate->SetDown(false);
}

void TExplorerButton::SetDropDownMenu(TPopupMenu* value)
{
    m_dropDownMenu = value;
    if (value)
        value->FreeNotification(this);
    if (m_options & boPopupMark)
        Repaint();
}

void TExplorerButton::EnabledChanged()
{
    releaseCapture();
    // The look changed with Enabled even where the flags stay as they are.
    if (!setFlags({.down = m_groupIndex != 0 && m_flags.down, .pressed = false, .mouseInside = false}))
        Repaint();
}

void TExplorerButton::VisibleChanged()
{
    TGraphicControl::VisibleChanged();
    if (!Visible()) {
        setFlags({.down = m_flags.down, .pressed = false, .mouseInside = m_flags.mouseInside});
        releaseCapture();
    }
}

void TExplorerButton::SetGroupIndex(int value)
{
    if (value == m_groupIndex)
        return;
    m_groupIndex = value;
    if (value == 0)
        setFlags({.down = false, .pressed = m_flags.pressed, .mouseInside = m_flags.mouseInside});
}

void TExplorerButton::SetLayout(TExplorerButtonLayout value)
{
    storeAndRepaint(m_layout, value);
}

void TExplorerButton::SetOptions(TExplorerButtonOptions value)
{
    m_options = value;
    const std::string stripped = StripAccelerators(m_caption);
    if ((value & boIconOnly) && Hint().empty()) {
        SetHint(stripped);
        SetShowHint(true);
    } else if (!(value & boIconOnly) && Hint() == stripped) {
        SetHint({});
        SetShowHint(false);
    }
    Repaint();
}

void TExplorerButton::SetShadingType(TExplorerButtonShadingType value)
{
    if (value == m_shadingType)
        return;
    m_shadingType = value;
    if (wantsShadedBitmap() && !Loading()) {
        makeShadedBitmap();
        Repaint();
    }
}

void TExplorerButton::SetShowDownPattern(bool value)
{
    storeAndRepaint(m_showDownPattern, value);
}

void TExplorerButton::SetUnselectedFontColor(TColor value)
{
    storeAndRepaint(m_unselectedFontColor, value);
}

void TExplorerButton::SetWordWrap(bool value)
{
    storeAndRepaint(m_wordWrap, value);
}

// ------------------------------------------------------------------------ mouse and keys

void TExplorerButton::CMMouseEnter()
{
    setFlags({.down = m_flags.down, .pressed = m_flags.pressed, .mouseInside = true});
    if (OnEnter)
        OnEnter(this);
}

void TExplorerButton::CMMouseLeave()
{
    setFlags({.down = m_flags.down, .pressed = m_flags.pressed, .mouseInside = false});
    if (OnExit)
        OnExit(this);
}

// The framework's own press handling (capture, mouse-down event) is replaced, not extended.
void TExplorerButton::WMLButtonDown(TShiftState, int, int)
{
    leftButtonDown();
}

void TExplorerButton::WMLButtonUp(TShiftState, int x, int y)
{
    leftButtonUp(contains({x, y}));
}

void TExplorerButton::leftButtonDown()
{
    if (TForm* form = ParentForm(); form && Application && Application->ActiveForm() != form)
        form->BringToFront();
    if (!Enabled() || !Visible())
        return;
    setFlags({.down = m_flags.down, .pressed = true, .mouseInside = true});
    if (!m_dropDownMenu) {
        SetCaptureControl(this);
        return;
    }
    // The menu's loop, and the menu command it may leave for the event loop, can destroy
    // the button or its form.
    const auto alive = AliveToken();
    const TPoint corner = ClientToScreen({0, Height()});
    m_dropDownMenu->Popup(corner.x, corner.y);
    if (alive.expired())
        return;
    closedMenu(alive);
}

// Drops the mouse input the menu left behind (the click that closed it reaches no
// control), ends any capture, and shows whether the cursor is still over the button:
// the menu had the mouse, so no event of ours says where it went.
void TExplorerButton::closedMenu(const std::weak_ptr<const void>& alive)
{
    if (Application) {
        Application->DiscardPendingMouseInput();
        if (alive.expired())
            return;
        Application->CancelMode();
    }
    setFlags({.down = m_flags.down, .pressed = false, .mouseInside = m_flags.mouseInside && cursorInside()});
}

void TExplorerButton::leftButtonUp(bool releasedInside)
{
    if (!Enabled() || !Visible() || !m_flags.pressed) {
        releaseCapture();
        return;
    }
    // A release after the mouse left the button (pressed outside) is no click.
    const bool clicked = m_flags.mouseInside;
    bool down = m_flags.down;
    if (clicked && m_groupIndex != 0) {
        if (!down) {
            for (TExplorerButton* mate : groupMates())
                mate->SetDown(false);
            down = true;
        } else if (m_allowAllUp) {
            down = false;
        }
    }
    releaseCapture();
    setFlags({.down = down, .pressed = false, .mouseInside = clicked && releasedInside});
    if (clicked && !m_dropDownMenu)
        Click();
}

void TExplorerButton::WMRButtonUp(TShiftState shift, int x, int y)
{
    const auto alive = AliveToken();
    TGraphicControl::WMRButtonUp(shift, x, y);
    if (alive.expired())
        return;
    const TForm* form = ParentForm();
    if (!PopupMenu() && !(form && form->PopupMenu()))
        return;
    closedMenu(alive);
}

bool TExplorerButton::CMDialogChar(char32_t character)
{
    if (!isAccelerator(character, m_caption) || !Enabled() || !Visible())
        return false;
    // Each pump may run a command that destroys the button; the key is handled then.
    const auto alive = AliveToken();
    const auto pump = [&alive] {
        if (Application)
            Application->ProcessMessages();
        return !alive.expired();
    };
    setFlags({.down = m_flags.down, .pressed = false, .mouseInside = true});
    if (!pump())
        return true;
    leftButtonDown();
    if (alive.expired() || !pump())
        return true;
    leftButtonUp(cursorInside());
    if (alive.expired() || !pump())
        return true;
    if (!cursorInside())
        setFlags({.down = m_flags.down, .pressed = m_flags.pressed, .mouseInside = false});
    return true;
}
