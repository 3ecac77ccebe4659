#include "framework/ui/Forms.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Screen.h"
#include "framework/ui/Application.h"
#include "framework/ui/Menus.h"
#include "framework/ui/QtSupport.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWidget>

#include <utility>
#include <vector>

// The form's window: shows the surface and turns Qt input into the framework's messages.
class FormWidget final : public QWidget {
public:
    explicit FormWidget(TForm& form) : m_form(form)
    {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoMouseReplay);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        const QRect dirty = e->rect();
        GuardedCall([&] {
            // What only waits to be shown is not painted again; everything else is.
            const TRect present = std::exchange(m_form.m_present, TRect{});
            for (const QRect& r : e->region())
                for (const TRect& part : outside(fromQt(r), present))
                    m_form.PaintSurface(part);
        });
        TBitmap& surface = m_form.Surface();
        if (surface.Empty())
            return;
        const QImage image(surface.ScanLine(0), surface.Width(), surface.Height(),
                           static_cast<qsizetype>(surface.RowStride()), QImage::Format_RGB32);
        QPainter painter(this);
        painter.drawImage(dirty, image, dirty);
    }

    void mousePressEvent(QMouseEvent* e) override { press(e, false); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { press(e, true); }

    void mouseReleaseEvent(QMouseEvent* e) override
    {
        GuardedCall([&] {
            const QPoint p = e->position().toPoint();
            auto [target, at] = targetAt(p);
            const TShiftState shift = shiftStateOf(e->modifiers(), e->buttons());
            if (e->button() == Qt::LeftButton)
                target->WMLButtonUp(shift, at.x, at.y);
            else if (e->button() == Qt::RightButton)
                target->WMRButtonUp(shift, at.x, at.y);
        });
    }

    void mouseMoveEvent(QMouseEvent* e) override
    {
        GuardedCall([&] {
            const QPoint p = e->position().toPoint();
            if (Application)
                Application->SetMouseControl(rect().contains(p) ? controlAt(p, true) : nullptr);
            auto [target, at] = targetAt(p);
            target->WMMouseMove(shiftStateOf(e->modifiers(), e->buttons()), at.x, at.y);
        });
    }

    void leaveEvent(QEvent*) override
    {
        // An open pop-up menu takes the pointer without moving it: the control under the
        // cursor is still the same.
        if (TPopupMenu::MenuOpen())
            return;
        GuardedCall([] {
            if (Application)
                Application->SetMouseControl(nullptr);
        });
    }

    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(e);
            TControl* control = controlAt(help->pos(), true);
            if (control && control != &m_form && control->ShowHint() && !control->Hint().empty())
                QToolTip::showText(help->globalPos(), toQt(control->Hint()), this, toQt(control->BoundsRect()));
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(e);
    }

    void closeEvent(QCloseEvent* e) override
    {
        // The form decides: Close hides it or ends the program.
        e->ignore();
        GuardedCall([&] { m_form.Close(); });
    }

    void resizeEvent(QResizeEvent*) override
    {
        GuardedCall([&] {
            if (width() != m_form.Width() || height() != m_form.Height())
                m_form.SetBounds(m_form.Left(), m_form.Top(), width(), height());
        });
    }

    void moveEvent(QMoveEvent*) override
    {
        // geometry() is the client area; x() and y() would include the window frame.
        GuardedCall([&] { m_form.SetBounds(geometry().x(), geometry().y(), m_form.Width(), m_form.Height()); });
    }

private:
    // The parts of r outside hole: up to four rectangles.
    static std::vector<TRect> outside(const TRect& r, const TRect& hole)
    {
        const TRect h = hole.Intersect(r);
        if (h.IsEmpty())
            return {r};
        std::vector<TRect> parts;
        auto add = [&](const TRect& part) {
            if (!part.IsEmpty())
                parts.push_back(part);
        };
        add(Rect(r.left, r.top, r.right, h.top));
        add(Rect(r.left, h.bottom, r.right, r.bottom));
        add(Rect(r.left, h.top, h.left, h.bottom));
        add(Rect(h.right, h.top, r.right, h.bottom));
        return parts;
    }

    void press(QMouseEvent* e, bool doubleClick)
    {
        // A press that closed a menu must not reach a control.
        if (TPopupMenu::MenuOpen())
            return;
        GuardedCall([&] {
            const QPoint p = e->position().toPoint();
            if (Application)
                Application->SetMouseControl(controlAt(p, true));
            auto [target, at] = targetAt(p);
            TShiftState shift = shiftStateOf(e->modifiers(), e->buttons());
            if (doubleClick)
                shift |= ssDouble;
            if (e->button() == Qt::LeftButton)
                target->WMLButtonDown(shift, at.x, at.y);
            else if (e->button() == Qt::RightButton)
                target->WMRButtonDown(shift, at.x, at.y);
        });
    }

    // The topmost visible graphic control at p (only those that take mouse input unless
    // anyState), or the form itself.
    TControl* controlAt(QPoint p, bool anyState) const
    {
        const auto& controls = m_form.Controls();
        for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
            TControl* c = *it;
            if (dynamic_cast<TWinControl*>(c) || !c->Visible() || (!anyState && !c->TakesMouseInput()))
                continue;
            if (c->BoundsRect().Contains({p.x(), p.y()}))
                return c;
        }
        return &m_form;
    }

    // Where a mouse message goes: the capture control, else the control under p; with
    // the point in that control's client coordinates.
    std::pair<TControl*, TPoint> targetAt(QPoint p) const
    {
        TControl* target = GetCaptureControl();
        if (!target || target->ParentForm() != &m_form)
            target = controlAt(p, false);
        TPoint at{p.x(), p.y()};
        if (target != &m_form)
            at = {p.x() - target->Left(), p.y() - target->Top()};
        return {target, at};
    }

    TForm& m_form;
};

TForm::TForm(TComponent* owner) : TWinControl(owner)
{
    SetVisible(false);
    SetParentFont(false);
    SetParentColor(false);
    SetBounds(0, 0, 320, 240);
    auto* widget = new FormWidget(*this);
    AttachWidget(widget);
    applyWindowFlags();
    updateWindowTitle();
}

TForm::~TForm()
{
    // Controls go while the form is whole: they may reach it as they go.
    DestroyComponents();
}

TBitmap& TForm::Surface()
{
    if (!m_surface)
        m_surface = std::make_unique<TBitmap>(Width(), Height(), TPixelFormat::pfDevice);
    return *m_surface;
}

void TForm::Notification(TComponent* component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_activeControl)
        m_activeControl = nullptr;
}

void TForm::BoundsChanged()
{
    if (QWidget* w = Widget();
        w && (m_borderStyle == TFormBorderStyle::bsDialog || m_borderStyle == TFormBorderStyle::bsNone))
        w->setFixedSize(Width(), Height());
    if (m_surface && (m_surface->Width() != Width() || m_surface->Height() != Height()))
        m_surface->SetSize(Width(), Height());
}

void TForm::ColorChanged()
{
    TWinControl::ColorChanged();
}

void TForm::PaintSurface(const TRect& rect)
{
    TBitmap& surface = Surface();
    const TRect area = rect.Intersect(ClientRect());
    if (area.IsEmpty() || m_painting)
        return;
    m_painting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_painting};
    TCanvas& canvas = surface.Canvas();
    canvas.ClearClipRect();
    canvas.SetOrigin({0, 0});
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(area);
    if (OnPaint)
        OnPaint(this);
    for (TControl* c : std::vector<TControl*>(Controls()))
        if (auto* g = dynamic_cast<TGraphicControl*>(c);
            g && g->Visible() && !g->BoundsRect().Intersect(area).IsEmpty())
            g->PaintOn(area);
}

void TForm::PresentSurface(const TRect& rect)
{
    if (m_painting || rect.IsEmpty())
        return;
    m_present = m_present.IsEmpty()
                    ? rect
                    : Rect(std::min(m_present.left, rect.left), std::min(m_present.top, rect.top),
                           std::max(m_present.right, rect.right), std::max(m_present.bottom, rect.bottom));
    if (QWidget* w = Widget())
        w->update(toQt(rect));
}

void TForm::SetBorderStyle(TFormBorderStyle value)
{
    m_borderStyle = value;
    applyWindowFlags();
}

void TForm::SetFormStyle(TFormStyle value)
{
    m_formStyle = value;
    applyWindowFlags();
}

void TForm::applyWindowFlags()
{
    QWidget* w = Widget();
    if (!w)
        return;
    const bool visible = w->isVisible();
    Qt::WindowFlags flags = Qt::Window;
    switch (m_borderStyle) {
    case TFormBorderStyle::bsNone: flags |= Qt::FramelessWindowHint; break;
    case TFormBorderStyle::bsDialog:
        flags |= Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsSizeable: break;
    }
    if (m_formStyle == TFormStyle::fsStayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    w->setWindowFlags(flags);
    if (m_borderStyle == TFormBorderStyle::bsDialog || m_borderStyle == TFormBorderStyle::bsNone)
        w->setFixedSize(Width(), Height());
    if (visible)
        w->show();
}

void TForm::SetText(const std::string& value)
{
    TWinControl::SetText(value);
    updateWindowTitle();
}

void TForm::updateWindowTitle()
{
    QWidget* w = Widget();
    if (!w)
        return;
    // The desktop shows the application's title for the main window.
    const bool main = Application && Application->MainForm() == this;
    w->setWindowTitle(toQt(main ? Application->Title() : Caption()));
}

void TForm::centreOnScreen()
{
    int screenWidth = Screen().Width(), screenHeight = Screen().Height();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        screenWidth = screen->geometry().width();
        screenHeight = screen->geometry().height();
    }
    SetBounds(std::max(0, (screenWidth - Width()) / 2), std::max(0, (screenHeight - Height()) / 2), Width(), Height());
}

void TForm::SetVisible(bool value)
{
    TControl::SetVisible(value);
    QWidget* w = Widget();
    if (!w)
        return;
    if (value) {
        if (!m_shownOnce) {
            m_shownOnce = true;
            if (m_position == TPosition::poScreenCenter)
                centreOnScreen();
        }
        if (m_borderStyle == TFormBorderStyle::bsDialog || m_borderStyle == TFormBorderStyle::bsNone)
            w->setFixedSize(Width(), Height());
        w->setGeometry(Left(), Top(), Width(), Height());
        w->show();
        if (m_activeControl)
            m_activeControl->SetFocus();
    } else {
        w->hide();
    }
}

void TForm::Show()
{
    SetVisible(true);
    BringToFront();
}

void TForm::BringToFront()
{
    if (QWidget* w = Widget()) {
        w->raise();
        w->activateWindow();
    }
}

bool TForm::Active() const
{
    QWidget* w = Widget();
    return w && w->isActiveWindow();
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close()
{
    if (!CloseQuery())
        return;
    TCloseAction action = TCloseAction::caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == TCloseAction::caNone)
        return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        Hide();
    } else {
        Hide();
    }
}

TWinControl* TForm::ActiveControl() const
{
    if (QWidget* w = Widget())
        if (QWidget* focus = w->focusWidget())
            for (QWidget* f = focus; f && f != w; f = f->parentWidget())
                if (auto* c = dynamic_cast<TWinControl*>(controlOfWidget(f)))
                    return c;
    return m_activeControl;
}

void TForm::SetActiveControl(TWinControl* control)
{
    m_activeControl = control;
    if (control && Visible())
        if (QWidget* w = control->Widget(); w && !w->hasFocus())
            w->setFocus(Qt::OtherFocusReason);
}

void TForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

TPoint TForm::ClientToScreen(TPoint point) const
{
    if (QWidget* w = Widget())
        return fromQt(w->mapToGlobal(toQt(point)));
    return {point.x + Left(), point.y + Top()};
}
