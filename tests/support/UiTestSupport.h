#pragma once

#include "framework/core/Types.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/Process.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QWidget;
class TControl;
class TForm;

// Answers modal boxes from a script and remembers what was asked.
class ScriptedDialogs final : public IDialogService {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    int ShowMessageBox(const TMessageBoxRequest& request) override;

    // The next boxes get these results, in order; with none left a box gets its
    // default result.
    void Answer(int result) { m_answers.push_back(result); }
    std::vector<TMessageBoxRequest> asked;

private:
    IDialogService* m_previous;
    std::deque<int> m_answers;
};

// Remembers the programs started instead of starting them.
class RecordingLauncher final : public IProcessLauncher {
public:
    RecordingLauncher();
    ~RecordingLauncher() override;
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override;
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
    };
    std::vector<Start> started;
    bool succeed = true;

private:
    IProcessLauncher* m_previous;
};

// Lets Qt deliver what is pending (paints, posted calls, timers due now).
void PumpEvents(int rounds = 3);
// Shows the form and waits until its window is exposed and active.
void ShowAndActivate(TForm& form);

// Real mouse input through Qt, at client coordinates of the form.
void MouseMove(TForm& form, TPoint at);
void MousePress(TForm& form, TPoint at, bool right = false);
void MouseRelease(TForm& form, TPoint at, bool right = false);
void MouseClick(TForm& form, TPoint at, bool right = false);
// The point at the centre of a control, in its form's client coordinates.
TPoint CentreOf(const TControl& control);
// A key press and release delivered to the window's focus widget.
void KeyClick(TForm& form, int qtKey, bool alt = false, const std::string& text = {});

// What the menu that opened next looked like to ChooseWhenOpen.
struct OpenedMenu {
    bool opened = false;
    int x = 0, y = 0; // its top-left corner on the screen
};

// Once the next menu opens, chooses the enabled command with this caption with the Return
// key, as a user does. When there is none the test fails and the menu closes unchosen.
void ChooseWhenOpen(const std::string& caption, OpenedMenu* seen = nullptr);
