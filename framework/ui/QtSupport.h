#pragma once

// Conversions between the framework's values and Qt's, for framework/ui only.

#include "framework/core/Types.h"
#include "framework/graphics/Color.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

class TControl;
class TForm;
class QMouseEvent;
class QWidget;

inline QString toQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string fromQt(const QString& text)
{
    return text.toUtf8().toStdString();
}
inline QRect toQt(const TRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}
inline TRect fromQt(const QRect& r)
{
    return Bounds(r.x(), r.y(), r.width(), r.height());
}
inline QPoint toQt(TPoint p)
{
    return QPoint(p.x, p.y);
}
inline TPoint fromQt(QPoint p)
{
    return {p.x(), p.y()};
}
inline QColor toQtColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

// The shift state of a Qt input event.
unsigned shiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

// The form a widget belongs to (its window's form), if any.
TForm* formOfWidget(const QWidget* widget);
// The control a widget stands for, if any.
TControl* controlOfWidget(const QWidget* widget);
void setControlOfWidget(QWidget* widget, TControl* control);
