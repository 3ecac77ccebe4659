#include "framework/ui/Application.h"

#include "framework/core/ApplicationHooks.h"
#include "framework/core/Exception.h"
#include "framework/core/Thread.h"
#include "framework/graphics/Screen.h"
#include "framework/ui/ClipboardBridge.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/Forms.h"
#include "framework/ui/QtSupport.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <mutex>

TApplication* Application = nullptr;

namespace {

std::mutex g_cursorMutex;
TPoint g_cursor;

constexpr QEvent::Type WakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x7FF);

bool isMouseEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

} // namespace

// The application's own Qt side: the wake-up target of synchronised calls and an event
// filter that sees every event first.
struct TApplication::Qt : public QObject {
    std::unique_ptr<QApplication> ownApp;
    bool discardingMouse = false;

    bool event(QEvent* e) override
    {
        if (e->type() == WakeEvent) {
            GuardedCall([] { CheckSynchronize(); });
            return true;
        }
        return QObject::event(e);
    }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const QEvent::Type type = e->type();
        if (isMouseEvent(type)) {
            const auto* mouse = static_cast<QMouseEvent*>(e);
            SetCursorPosition(mouse->globalPosition().toPoint());
            if (discardingMouse)
                return true;
        }
        if (type == QEvent::KeyPress && watched->isWidgetType())
            return dialogChar(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(e));
        return false;
    }

    static void SetCursorPosition(QPoint p)
    {
        std::scoped_lock lock(g_cursorMutex);
        g_cursor = fromQt(p);
    }

    // Alt+letter goes to the controls of the focused window's form as a dialog character.
    static bool dialogChar(QWidget* widget, QKeyEvent* key)
    {
        if (!(key->modifiers() & ::Qt::AltModifier) || key->text().isEmpty())
            return false;
        // The filter sees the event again at each parent it propagates to; act only on
        // its first receiver.
        QWidget* focus = QApplication::focusWidget();
        if (focus ? widget != focus : !widget->isWindow())
            return false;
        TForm* form = formOfWidget(widget);
        if (!form)
            return false;
        const char32_t ch = key->text().toUcs4().value(0);
        bool handled = false;
        GuardedCall([&] {
            for (TControl* c : std::vector<TControl*>(form->Controls()))
                if (c->CMDialogChar(ch)) {
                    handled = true;
                    break;
                }
        });
        return handled;
    }
};

TApplication::TApplication() : TComponent(nullptr), m_qt(std::make_unique<Qt>())
{
    Application = this;
}

TApplication::~TApplication()
{
    SetSynchronizeWakeHook(nullptr);
    SetApplicationHooks({});
    DestroyComponents();
    if (qApp)
        qApp->removeEventFilter(m_qt.get());
    m_qt.reset();
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize(int& argc, char** argv)
{
    SetMainThread();
    if (!QApplication::instance()) {
        // Layout sizes are pixels; the desktop's scale factor must not change them.
        if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
            qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
        m_qt->ownApp = std::make_unique<QApplication>(argc, argv);
    }
    qApp->installEventFilter(m_qt.get());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        Screen().SetSize(screen->geometry().width(), screen->geometry().height());
        Screen().SetBitsPerPixel(screen->depth());
    }
    Qt::SetCursorPosition(QCursor::pos());
    InstallClipboardBridge();
    QObject* target = m_qt.get();
    SetSynchronizeWakeHook([target] { QCoreApplication::postEvent(target, new QEvent(WakeEvent)); });
    SetApplicationHooks({[this](std::exception_ptr error) { HandleException(error); },
                         [this] { return ProcessMessages(); }, [this] { return Terminated(); }});
}

void TApplication::SetTitle(const std::string& title)
{
    m_title = title;
    updateMainWindowTitle();
}

void TApplication::updateMainWindowTitle()
{
    if (m_mainForm)
        m_mainForm->updateWindowTitle();
}

void TApplication::registerForm(TForm* form)
{
    if (!m_mainForm) {
        m_mainForm = form;
        updateMainWindowTitle();
    }
    form->DoCreate();
}

TForm* TApplication::ActiveForm() const
{
    return formOfWidget(QApplication::activeWindow());
}

std::vector<TForm*> TApplication::Forms() const
{
    std::vector<TForm*> forms;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* f = dynamic_cast<TForm*>(Component(i)))
            forms.push_back(f);
    return forms;
}

void TApplication::Run()
{
    if (m_mainForm && !m_terminated)
        GuardedCall([this] { m_mainForm->Show(); });
    m_running = true;
    while (!m_terminated)
        QApplication::exec();
    m_running = false;
}

bool TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    GuardedCall([] { CheckSynchronize(); });
    return m_terminated;
}

void TApplication::Terminate()
{
    m_terminated = true;
    // Only a running loop is told; otherwise Qt would end every later nested loop at once.
    if (m_running)
        QCoreApplication::exit(0);
}

void TApplication::HandleException(std::exception_ptr error)
{
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::bad_alloc&) {
        message = std::string(FrameworkText::OutOfMemory);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Exception inconnue";
    }
    ShowException(message);
}

void TApplication::ShowException(const std::string& message)
{
    if (m_handlingException) {
        // A failure while the error box itself is up: never recurse into another box.
        std::fprintf(stderr, "%s\n", message.c_str());
        return;
    }
    m_handlingException = true;
    CancelMode();
    TMessageBoxRequest request;
    request.caption = m_title;
    request.text = message;
    if (request.text.empty() || request.text.back() != '.')
        request.text += '.';
    request.icon = TMessageIcon::Stop;
    request.buttons = {{MessageButtonCaption(mbOK), mrOk}};
    request.defaultResult = request.cancelResult = mrOk;
    try {
        DialogService().ShowMessageBox(request);
    } catch (...) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    m_handlingException = false;
}

void TApplication::SetMouseControl(TControl* control)
{
    if (control == m_mouseControl)
        return;
    TControl* capture = m_captureControl;
    // While a control holds the capture, only it hears that the mouse came or went.
    auto told = [capture](TControl* c) { return c && (!capture || c == capture); };
    TControl* old = m_mouseControl;
    std::weak_ptr<const void> oldAlive = old ? old->AliveToken() : std::weak_ptr<const void>();
    m_mouseControl = control;
    std::weak_ptr<const void> newAlive = control ? control->AliveToken() : std::weak_ptr<const void>();
    if (told(old) && !oldAlive.expired())
        old->CMMouseLeave();
    if (told(control) && !newAlive.expired() && m_mouseControl == control)
        control->CMMouseEnter();
}

void TApplication::ControlDestroyed(TControl* control)
{
    if (m_mouseControl == control)
        m_mouseControl = nullptr;
    if (m_captureControl == control)
        m_captureControl = nullptr;
    if (m_mainForm == control)
        m_mainForm = nullptr;
}

void TApplication::DiscardPendingMouseInput()
{
    m_qt->discardingMouse = true;
    m_holdingCommands = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_qt->discardingMouse = false;
    m_holdingCommands = false;
}

void TApplication::PostCommand(std::function<void()> work)
{
    QTimer::singleShot(0, m_qt.get(), [this, work = std::move(work)]() mutable {
        if (m_holdingCommands)
            PostCommand(std::move(work));
        else
            GuardedCall(work);
    });
}

void TApplication::CancelMode()
{
    m_captureControl = nullptr;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
}

void GuardedCall(const std::function<void()>& work)
{
    try {
        work();
    } catch (...) {
        if (Application) {
            Application->HandleException(std::current_exception());
        } else {
            try {
                throw;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "unknown exception\n");
            }
        }
    }
}

TPoint GetCursorPos()
{
    std::scoped_lock lock(g_cursorMutex);
    return g_cursor;
}

void SetCursorPos(TPoint point)
{
    {
        std::scoped_lock lock(g_cursorMutex);
        g_cursor = point;
    }
    QCursor::setPos(toQt(point));
}
