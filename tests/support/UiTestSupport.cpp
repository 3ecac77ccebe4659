#include "UiTestSupport.h"

#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

ScriptedDialogs::ScriptedDialogs() : m_previous(&DialogService())
{
    SetDialogService(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    SetDialogService(nullptr);
}

int ScriptedDialogs::ShowMessageBox(const TMessageBoxRequest& request)
{
    asked.push_back(request);
    if (m_answers.empty())
        return request.defaultResult;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

RecordingLauncher::RecordingLauncher() : m_previous(&ProcessLauncher())
{
    SetProcessLauncher(this);
}

RecordingLauncher::~RecordingLauncher()
{
    SetProcessLauncher(nullptr);
}

bool RecordingLauncher::StartDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    started.push_back({program, arguments});
    return succeed;
}

void PumpEvents(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void ShowAndActivate(TForm& form)
{
    form.Show();
    QWidget* w = form.Widget();
    (void)QTest::qWaitForWindowExposed(w);
    QApplication::setActiveWindow(w);
    (void)QTest::qWaitForWindowActive(w);
    PumpEvents();
}

namespace {
Qt::MouseButtons g_held = Qt::NoButton;
} // namespace

void MouseMove(TForm& form, TPoint at)
{
    // Sent straight to the window: a platform move to where the pointer already is
    // would be dropped, even when presses elsewhere happened since.
    QWidget* w = form.Widget();
    const QPointF local(at.x, at.y);
    QMouseEvent move(QEvent::MouseMove, local, w->mapToGlobal(local), Qt::NoButton, g_held, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    PumpEvents(1);
}

void MousePress(TForm& form, TPoint at, bool right)
{
    const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
    QTest::mousePress(form.Widget(), button, Qt::NoModifier, QPoint(at.x, at.y));
    g_held |= button;
    PumpEvents(1);
}

void MouseRelease(TForm& form, TPoint at, bool right)
{
    const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
    g_held &= ~Qt::MouseButtons(button);
    QTest::mouseRelease(form.Widget(), button, Qt::NoModifier, QPoint(at.x, at.y));
    PumpEvents(1);
}

void MouseClick(TForm& form, TPoint at, bool right)
{
    MousePress(form, at, right);
    MouseRelease(form, at, right);
}

TPoint CentreOf(const TControl& control)
{
    return {control.Left() + control.Width() / 2, control.Top() + control.Height() / 2};
}

void KeyClick(TForm& form, int qtKey, bool alt, const std::string& text)
{
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != form.Widget())
        target = form.Widget();
    const Qt::KeyboardModifiers modifiers = alt ? Qt::AltModifier : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, QString::fromStdString(text));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, QString::fromStdString(text));
    QApplication::sendEvent(target, &release);
    PumpEvents(1);
}

void ChooseWhenOpen(const std::string& caption, OpenedMenu* seen)
{
    TPopupMenu::SetOpenHook([caption, seen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        if (seen)
            *seen = {true, menu->pos().x(), menu->pos().y()};
        QAction* found = nullptr;
        for (QAction* a : menu->actions())
            if (a->text().toStdString() == caption)
                found = a;
        if (!found || !found->isEnabled()) {
            ADD_FAILURE() << "the menu has no " << (found ? "enabled " : "") << "command \"" << caption << "\"";
            menu->close();
            return;
        }
        menu->setActiveAction(found);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}
