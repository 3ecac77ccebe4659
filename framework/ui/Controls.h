#pragma once

#include "framework/core/Component.h"
#include "framework/core/Types.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Color.h"
#include "framework/graphics/GraphicsObjects.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;
class TWinControl;
class TForm;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// A visible element of a form: position and size in its parent's client coordinates,
// font, colour, hint, right-button menu and the mouse messages the form routes to it.
// The message handlers (WM..., CM...) are virtual so a control can replace the
// framework's own handling, as windows controls replace window procedures.
class TControl : public TComponent {
    CARNELO_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetLeft(int value) { SetBounds(value, m_top, m_width, m_height); }
    void SetTop(int value) { SetBounds(m_left, value, m_width, m_height); }
    void SetWidth(int value) { SetBounds(m_left, m_top, value, m_height); }
    void SetHeight(int value) { SetBounds(m_left, m_top, m_width, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(m_left, m_top, m_width, m_height); }
    TRect ClientRect() const { return Rect(0, 0, m_width, m_height); }

    TWinControl* Parent() const { return m_parent; }
    virtual void SetParent(TWinControl* parent);
    // The form that holds the control (the control itself for a form); null when none.
    TForm* ParentForm() const;

    bool Visible() const { return m_visible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all its parents.
    bool Showing() const;
    bool Enabled() const { return m_enabled; }
    virtual void SetEnabled(bool value);
    // Whether the form sends the control its mouse presses, releases and moves; a
    // disabled control's go to whatever lies under it.
    virtual bool TakesMouseInput() const { return m_enabled; }

    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool value);
    TColor Color() const { return m_color; }
    virtual void SetColor(TColor value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);

    const std::string& Hint() const { return m_hint; }
    void SetHint(const std::string& value) { m_hint = value; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return m_parentShowHint; }
    void SetParentShowHint(bool value);
    TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* menu);

    // The control's text (a caption for most controls).
    virtual std::string Text() const { return m_text; }
    virtual void SetText(const std::string& value);
    std::string Caption() const { return Text(); }
    void SetCaption(const std::string& value) { SetText(value); }

    // Fires OnClick.
    virtual void Click();

    // Redraw at the next paint cycle; redraw now.
    virtual void Invalidate();
    virtual void Repaint();
    void Refresh() { Repaint(); }

    virtual TPoint ClientToScreen(TPoint point) const;
    TPoint ScreenToClient(TPoint point) const;

    // Message handlers. The defaults fire the mouse events; a left press takes the mouse
    // capture and its release gives it back; a right release drops the pop-up menu of
    // the control or of the nearest parent that has one.
    virtual void WMLButtonDown(TShiftState shift, int x, int y);
    virtual void WMLButtonUp(TShiftState shift, int x, int y);
    virtual void WMRButtonDown(TShiftState shift, int x, int y);
    virtual void WMRButtonUp(TShiftState shift, int x, int y);
    virtual void WMMouseMove(TShiftState shift, int x, int y);
    virtual void CMMouseEnter() {}
    virtual void CMMouseLeave() {}
    // A character typed for the form's controls (Alt+letter); true when handled.
    virtual bool CMDialogChar(char32_t character)
    {
        (void)character;
        return false;
    }

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    // Runs when the effective font, colour or hint setting changes through the parent.
    virtual void FontChanged() { Invalidate(); }
    virtual void ColorChanged() { Invalidate(); }
    virtual void BoundsChanged() {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    // Lets the child controls follow a change of this control's font or colour.
    virtual void NotifyChildren() {}
    // Whether a left press and release over the control fire OnClick.
    virtual bool ClickOnRelease() const { return true; }
    void Notification(TComponent* component, TOperation operation) override;
    // Follows the parent's font, colour and hint setting where this control asks to.
    void ParentChanged();

private:
    friend class TWinControl;
    void fontChanged(TObject*);

    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    TWinControl* m_parent = nullptr;
    bool m_visible = true;
    bool m_enabled = true;
    TFont m_font;
    bool m_parentFont = true;
    bool m_changingParentFont = false;
    TColor m_color = clBtnFace;
    bool m_parentColor = true;
    std::string m_hint;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    TPopupMenu* m_popupMenu = nullptr;
    std::string m_text;
};

// A control without a window of its own: it paints on its parent form's surface,
// clipped to itself, in creation order under the windowed controls.
class TGraphicControl : public TControl {
    CARNELO_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;

    // Drawing on the form's surface with the control's top-left as (0, 0), clipped to the
    // control; valid while the control has a parent form.
    TCanvas& Canvas();
    void SetBounds(int left, int top, int width, int height) override;
    void Invalidate() override;
    void Repaint() override;

    // Called by the form's paint with the canvas set up; draws the control.
    void PaintOn(const TRect& dirty);

protected:
    virtual void Paint() {}

private:
    // Asks the form to repaint that part of its surface.
    void invalidateOnForm(const TRect& area);

    TCanvas m_canvas;
};

// A control with a real window (a Qt widget) above the form's surface.
class TWinControl : public TControl {
    CARNELO_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;
    void SetVisible(bool value) override;
    void SetEnabled(bool value) override;
    void Invalidate() override;
    void Repaint() override;

    const std::vector<TControl*>& Controls() const { return m_controls; }
    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    TControl* ControlAt(int index) const { return m_controls.at(static_cast<size_t>(index)); }
    // The child controls of class T, in creation order.
    template <typename T>
    std::vector<T*> ControlsOf() const
    {
        std::vector<T*> out;
        for (TControl* c : m_controls)
            if (auto* t = dynamic_cast<T*>(c))
                out.push_back(t);
        return out;
    }

    int TabOrder() const { return m_tabOrder; }
    void SetTabOrder(int value);
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool value);
    bool Focused() const;
    virtual bool CanFocus() const;
    virtual void SetFocus();

    // The control's Qt widget (the framework's own business).
    QWidget* Widget() const;
    // A form: its widget is a window of its own, never a child.
    virtual bool IsTopLevel() const { return false; }

protected:
    // Takes the widget the derived control made; its Qt parent owns it from then on.
    void AttachWidget(QWidget* widget);
    void FontChanged() override;
    void ColorChanged() override;
    void NotifyChildren() override;
    // The parent's surface changed under graphic children (form only).
    virtual void ChildGraphicsChanged(const TRect&) {}

private:
    friend class TControl;
    friend class TGraphicControl;
    void insertControl(TControl* control);
    void removeControl(TControl* control);
    void applyTabOrder();

    std::vector<TControl*> m_controls; // children, creation order; not owned
    struct WidgetRef;
    std::unique_ptr<WidgetRef> m_widget;
    int m_tabOrder = -1;
    bool m_tabStop = true;
};

// The application's capture control (TApplication::CaptureControl); none, and nothing
// to set, while no application exists.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
