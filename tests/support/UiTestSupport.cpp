#include "UiTestSupport.h"

#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"

#include <QApplication>
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

void MouseMove(TForm& form, TPoint at)
{
    QTest::mouseMove(form.Widget(), QPoint(at.x, at.y));
    PumpEvents(1);
}

void MousePress(TForm& form, TPoint at, bool right)
{
    QTest::mousePress(form.Widget(), right ? Qt::RightButton : Qt::LeftButton, Qt::NoModifier, QPoint(at.x, at.y));
    PumpEvents(1);
}

void MouseRelease(TForm& form, TPoint at, bool right)
{
    QTest::mouseRelease(form.Widget(), right ? Qt::RightButton : Qt::LeftButton, Qt::NoModifier, QPoint(at.x, at.y));
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
