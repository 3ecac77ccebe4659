#include "framework/ui/QtSupport.h"

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr const char* ControlProperty = "carneloControl";
} // namespace

TForm* formOfWidget(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->isWindow())
            return dynamic_cast<TForm*>(controlOfWidget(w));
    return nullptr;
}

TControl* controlOfWidget(const QWidget* widget)
{
    if (!widget)
        return nullptr;
    return static_cast<TControl*>(widget->property(ControlProperty).value<void*>());
}

void setControlOfWidget(QWidget* widget, TControl* control)
{
    widget->setProperty(ControlProperty, QVariant::fromValue(static_cast<void*>(control)));
}

unsigned shiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    unsigned s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    if (buttons & Qt::LeftButton)
        s |= ssLeft;
    if (buttons & Qt::RightButton)
        s |= ssRight;
    if (buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}
