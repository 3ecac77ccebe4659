#include "framework/ui/Controls.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/FontDescription.h"
#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
#include "framework/ui/QtSupport.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace {

// Tells the application which windowed control the mouse is over.
class EnterFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Enter && Application)
            if (TControl* control = controlOfWidget(static_cast<QWidget*>(watched)))
                Application->SetMouseControl(control);
        return false;
    }
};

EnterFilter& enterFilter()
{
    static EnterFilter* filter = new EnterFilter; // lives as long as the program's widgets
    return *filter;
}

} // namespace

TControl* GetCaptureControl()
{
    return Application ? Application->CaptureControl() : nullptr;
}

void SetCaptureControl(TControl* control)
{
    if (Application)
        Application->SetCaptureControl(control);
}

// ---------------------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner)
{
    m_font.OnChange = [this](TObject* sender) { fontChanged(sender); };
}

TControl::~TControl()
{
    if (Application)
        Application->ControlDestroyed(this);
    if (m_parent) {
        m_parent->removeControl(this);
        m_parent = nullptr;
    }
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == m_left && top == m_top && width == m_width && height == m_height)
        return;
    m_left = left;
    m_top = top;
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    BoundsChanged();
    Invalidate();
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == m_parent)
        return;
    if (m_parent) {
        Invalidate();
        m_parent->removeControl(this);
    }
    m_parent = parent;
    if (m_parent) {
        m_parent->insertControl(this);
        ParentChanged();
        Invalidate();
    }
}

TForm* TControl::ParentForm() const
{
    const TControl* c = this;
    while (c->m_parent)
        c = c->m_parent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetVisible(bool value)
{
    if (value == m_visible)
        return;
    if (!value)
        Invalidate();
    m_visible = value;
    VisibleChanged();
    if (value)
        Invalidate();
}

bool TControl::Showing() const
{
    if (!m_visible)
        return false;
    return m_parent ? m_parent->Showing() : true;
}

void TControl::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    EnabledChanged();
}

void TControl::fontChanged(TObject*)
{
    if (!m_changingParentFont)
        m_parentFont = false;
    FontChanged();
    NotifyChildren();
}

void TControl::SetParentFont(bool value)
{
    m_parentFont = value;
    if (value)
        ParentChanged();
}

void TControl::SetColor(TColor value)
{
    m_parentColor = false;
    if (value == m_color)
        return;
    m_color = value;
    ColorChanged();
    NotifyChildren();
}

void TControl::SetParentColor(bool value)
{
    m_parentColor = value;
    if (value)
        ParentChanged();
}

void TControl::SetShowHint(bool value)
{
    m_showHint = value;
    m_parentShowHint = false;
}

void TControl::SetParentShowHint(bool value)
{
    m_parentShowHint = value;
    if (value)
        ParentChanged();
}

void TControl::ParentChanged()
{
    if (!m_parent)
        return;
    if (m_parentFont && !m_parent->Font().SameAs(m_font)) {
        m_changingParentFont = true;
        m_font.CopyFrom(&m_parent->Font());
        m_changingParentFont = false;
    }
    if (m_parentColor && m_parent->Color() != m_color) {
        m_color = m_parent->Color();
        ColorChanged();
    }
    if (m_parentShowHint)
        m_showHint = m_parent->ShowHint();
}

void TControl::SetPopupMenu(TPopupMenu* menu)
{
    m_popupMenu = menu;
    if (menu)
        menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_popupMenu)
        m_popupMenu = nullptr;
}

void TControl::SetText(const std::string& value)
{
    if (value == m_text)
        return;
    m_text = value;
    TextChanged();
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::Invalidate() {}
void TControl::Repaint() {}

TPoint TControl::ClientToScreen(TPoint point) const
{
    if (m_parent)
        return m_parent->ClientToScreen({point.x + m_left, point.y + m_top});
    return point;
}

TPoint TControl::ScreenToClient(TPoint point) const
{
    const TPoint origin = ClientToScreen({0, 0});
    return {point.x - origin.x, point.y - origin.y};
}

void TControl::WMLButtonDown(TShiftState shift, int x, int y)
{
    SetCaptureControl(this);
    MouseDown(TMouseButton::mbLeft, shift, x, y);
}

void TControl::WMLButtonUp(TShiftState shift, int x, int y)
{
    if (GetCaptureControl() == this)
        SetCaptureControl(nullptr);
    const auto alive = AliveToken();
    MouseUp(TMouseButton::mbLeft, shift, x, y);
    if (!alive.expired() && ClickOnRelease() && ClientRect().Contains({x, y}))
        Click();
}

void TControl::WMRButtonDown(TShiftState shift, int x, int y)
{
    MouseDown(TMouseButton::mbRight, shift, x, y);
}

void TControl::WMRButtonUp(TShiftState shift, int x, int y)
{
    const auto alive = AliveToken();
    MouseUp(TMouseButton::mbRight, shift, x, y);
    if (alive.expired())
        return;
    for (TControl* c = this; c; c = c->m_parent)
        if (TPopupMenu* menu = c->m_popupMenu) {
            const TPoint at = ClientToScreen({x, y});
            menu->SetPopupComponent(this);
            menu->Popup(at.x, at.y);
            return;
        }
}

void TControl::WMMouseMove(TShiftState shift, int x, int y)
{
    MouseMove(shift, x, y);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

// ----------------------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

TGraphicControl::~TGraphicControl()
{
    // What the control covered shows the form again.
    invalidateOnForm(BoundsRect());
}

TCanvas& TGraphicControl::Canvas()
{
    if (TForm* form = ParentForm()) {
        if (m_canvas.Surface() != &form->Surface())
            m_canvas.SetSurface(&form->Surface());
        m_canvas.SetOrigin({Left(), Top()});
        if (!m_canvas.HasClipRect())
            m_canvas.SetClipRect(ClientRect());
    }
    return m_canvas;
}

void TGraphicControl::PaintOn(const TRect& dirty)
{
    TCanvas& canvas = Canvas();
    canvas.SetOrigin({Left(), Top()});
    canvas.SetClipRect(ClientRect().Intersect(dirty.Offset(-Left(), -Top())));
    Paint();
    canvas.SetClipRect(ClientRect());
}

void TGraphicControl::SetBounds(int left, int top, int width, int height)
{
    // The form repaints where the control was; the new place follows from Invalidate.
    if (Bounds(left, top, width, height) != BoundsRect() && Showing())
        invalidateOnForm(BoundsRect());
    TControl::SetBounds(left, top, width, height);
}

void TGraphicControl::invalidateOnForm(const TRect& area)
{
    if (!Parent())
        return;
    if (TForm* form = ParentForm())
        if (QWidget* w = form->Widget())
            w->update(toQt(area));
}

void TGraphicControl::Invalidate()
{
    invalidateOnForm(BoundsRect());
}

void TGraphicControl::Repaint()
{
    if (!Parent())
        return;
    TForm* form = ParentForm();
    if (!form)
        return;
    QWidget* w = form->Widget();
    if (w && w->isVisible())
        w->repaint(toQt(BoundsRect()));
    else
        form->PaintSurface(BoundsRect());
}

// --------------------------------------------------------------------------- TWinControl

struct TWinControl::WidgetRef {
    QPointer<QWidget> widget;
};

TWinControl::TWinControl(TComponent* owner) : TControl(owner), m_widget(std::make_unique<WidgetRef>()) {}

TWinControl::~TWinControl()
{
    // Children forget this parent before the widget (and theirs with it) goes.
    for (TControl* child : std::vector<TControl*>(m_controls))
        child->m_parent = nullptr;
    m_controls.clear();
    if (QWidget* w = m_widget->widget) {
        setControlOfWidget(w, nullptr);
        delete w;
    }
}

QWidget* TWinControl::Widget() const
{
    return m_widget->widget;
}

void TWinControl::AttachWidget(QWidget* widget)
{
    m_widget->widget = widget;
    setControlOfWidget(widget, this);
    if (!IsTopLevel())
        widget->installEventFilter(&enterFilter());
    widget->setFont(toQtFont(DescribeFont(Font())));
    if (Parent() && Parent()->Widget())
        widget->setParent(Parent()->Widget());
    widget->setGeometry(Left(), Top(), Width(), Height());
    widget->setEnabled(Enabled());
    if (!IsTopLevel())
        widget->setVisible(Visible() && Parent() && Parent()->Widget());
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    TControl::SetBounds(left, top, width, height);
    if (QWidget* w = Widget(); w && w->geometry() != QRect(Left(), Top(), Width(), Height()))
        w->setGeometry(Left(), Top(), Width(), Height());
}

void TWinControl::SetParent(TWinControl* parent)
{
    TControl::SetParent(parent);
    if (QWidget* w = Widget(); w && !IsTopLevel()) {
        const bool visible = Visible();
        w->setParent(parent ? parent->Widget() : nullptr);
        w->setGeometry(Left(), Top(), Width(), Height());
        w->setVisible(visible && parent);
    }
    if (parent)
        parent->applyTabOrder();
}

void TWinControl::SetVisible(bool value)
{
    TControl::SetVisible(value);
    if (QWidget* w = Widget(); w && !IsTopLevel())
        w->setVisible(value && Parent());
}

void TWinControl::SetEnabled(bool value)
{
    TControl::SetEnabled(value);
    if (QWidget* w = Widget())
        w->setEnabled(value);
}

void TWinControl::Invalidate()
{
    if (QWidget* w = Widget())
        w->update();
}

void TWinControl::Repaint()
{
    if (QWidget* w = Widget())
        w->repaint();
}

void TWinControl::FontChanged()
{
    if (QWidget* w = Widget())
        w->setFont(toQtFont(DescribeFont(Font())));
}

void TWinControl::ColorChanged()
{
    Invalidate();
}

void TWinControl::NotifyChildren()
{
    for (TControl* child : m_controls)
        child->ParentChanged();
}

void TWinControl::insertControl(TControl* control)
{
    m_controls.push_back(control);
    if (auto* win = dynamic_cast<TWinControl*>(control); win && win->m_tabOrder < 0) {
        int windowed = 0;
        for (TControl* c : m_controls)
            if (c != control && dynamic_cast<TWinControl*>(c))
                ++windowed;
        win->m_tabOrder = windowed;
    }
}

void TWinControl::removeControl(TControl* control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
}

void TWinControl::SetTabOrder(int value)
{
    m_tabOrder = value;
    if (Parent())
        Parent()->applyTabOrder();
}

void TWinControl::SetTabStop(bool value)
{
    m_tabStop = value;
    if (QWidget* w = Widget())
        w->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TWinControl::applyTabOrder()
{
    std::vector<TWinControl*> order;
    for (TControl* c : m_controls)
        if (auto* win = dynamic_cast<TWinControl*>(c); win && win->Widget() && win->m_tabStop)
            order.push_back(win);
    std::stable_sort(order.begin(), order.end(),
                     [](TWinControl* a, TWinControl* b) { return a->m_tabOrder < b->m_tabOrder; });
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1]->Widget(), order[i]->Widget());
}

bool TWinControl::Focused() const
{
    QWidget* w = Widget();
    return w && w->hasFocus();
}

bool TWinControl::CanFocus() const
{
    return Widget() && Showing() && Enabled();
}

void TWinControl::SetFocus()
{
    if (QWidget* w = Widget()) {
        if (TForm* form = ParentForm(); form && form != this)
            form->SetActiveControl(this);
        w->setFocus(Qt::OtherFocusReason);
    }
}
