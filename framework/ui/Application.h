#pragma once

#include "framework/core/Component.h"
#include "framework/core/Types.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QApplication;
class TControl;
class TForm;

// The application: title, forms, the event loop and the default exception handler.
// One exists at a time (main() makes it on the stack); it owns the forms.
class TApplication : public TComponent {
    CARNELO_CLASS(TApplication, TComponent)
public:
    TApplication();
    ~TApplication() override;

    // Creates the Qt application unless one exists, reads the screen's size and depth,
    // and lets threads' synchronised calls wake the event loop.
    void Initialize(int& argc, char** argv);

    const std::string& Title() const { return m_title; }
    // The desktop shows it for the program: the main form's window title follows it.
    void SetTitle(const std::string& title);

    // Creates a form owned by the application and runs its on-create event; the first
    // form created becomes the main form.
    template <typename T, typename... Args>
    T* CreateForm(Args&&... args)
    {
        auto* form = new T(this, std::forward<Args>(args)...);
        registerForm(form);
        return form;
    }
    TForm* MainForm() const { return m_mainForm; }
    TForm* ActiveForm() const;

    // Shows the main form and runs the event loop until Terminate.
    void Run();
    // Handles the pending events. Returns true when the program has been asked to end;
    // the request stays pending for the outer loop. May be called from inside a paint.
    bool ProcessMessages();
    void Terminate();
    bool Terminated() const { return m_terminated; }

    // The default exception handler: cancels any mouse capture, then shows the message
    // followed by "." in a modal box captioned with the current title, with the stop
    // icon and an OK button. The program goes on.
    void HandleException(std::exception_ptr error);
    void ShowException(const std::string& message);

    // The control under the mouse as the framework last saw it; mouse-enter and -leave
    // notifications follow its changes (only the capture control hears them while one
    // holds the capture).
    void SetMouseControl(TControl* control);
    TControl* MouseControl() const { return m_mouseControl; }
    // The control that gets every mouse message until it gives the capture back.
    TControl* CaptureControl() const { return m_captureControl; }
    void SetCaptureControl(TControl* control) { m_captureControl = control; }
    // Forgets a control that goes away.
    void ControlDestroyed(TControl* control);

    // Drops every mouse message still waiting in the queue, so the click that closed a
    // menu reaches no control. Commands posted meanwhile wait for the event loop.
    void DiscardPendingMouseInput();
    // Runs work from the event loop once the current handler is done (never from inside
    // DiscardPendingMouseInput), as a menu command is carried out.
    void PostCommand(std::function<void()> work);
    // Ends whatever mouse capture some window holds (ours or a widget's).
    void CancelMode();

    std::vector<TForm*> Forms() const;

private:
    void registerForm(TForm* form);
    void updateMainWindowTitle();

    struct Qt;
    std::unique_ptr<Qt> m_qt;
    std::string m_title;
    TForm* m_mainForm = nullptr;
    TControl* m_mouseControl = nullptr;
    TControl* m_captureControl = nullptr;
    bool m_terminated = false;
    bool m_running = false;
    bool m_handlingException = false;
    bool m_holdingCommands = false;
};

// The one application object, or null before it exists.
extern TApplication* Application;

// Runs work and hands anything it throws to the application's default handler; every
// point where Qt calls into our code goes through it, so nothing reaches Qt.
void GuardedCall(const std::function<void()>& work);

// The cursor position in screen coordinates, as the last mouse event left it.
TPoint GetCursorPos();
void SetCursorPos(TPoint point);
