#include "tools/gifimg/Commands.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/Application.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"

#include <QApplication>
#include <QKeyEvent>

#include <climits>
#include <new>

namespace gifimg {

namespace {

// Escape anywhere in the program closes the window, as the close box does.
class EscapeCloses final : public QObject {
public:
    explicit EscapeCloses(TForm& form) : m_form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            GuardedCall([this] { m_form.Close(); });
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm& m_form;
};

// A failure while playing is a command-line error, not a message box: it is printed and
// the program ends with the load-failure exit code.
class FailureReport final : public IDialogService {
public:
    explicit FailureReport(std::string name) : m_name(std::move(name)) {}
    bool failed() const { return m_failed; }

    int ShowMessageBox(const TMessageBoxRequest& request) override
    {
        std::string message = request.text;
        // The application's handler ends every message with a full stop.
        if (!message.empty() && message.back() == '.')
            message.pop_back();
        printError(m_name, message);
        m_failed = true;
        if (Application)
            Application->Terminate();
        return request.cancelResult != mrNone ? request.cancelResult : mrOk;
    }

private:
    std::string m_name;
    bool m_failed = false;
};

} // namespace

int runPlay(const QStringList& arguments)
{
    CommandLine commandLine("play", "Shows the image in a window of its logical screen's size, animated as the "
                                    "program shows it (a painter thread drawing into a paint buffer). Closing the "
                                    "window or pressing Escape ends it.");
    commandLine.parser().addOption(
        {"rate", "Animation speed in percent of the frames' delays' pace (default 100; 0 or less: no waiting).", "N"});
    commandLine.parser().addOption({"stop-after", "Close the window after N painted frames.", "N"});
    commandLine.parser().addPositionalArgument("FILE", "GIF file to read; '-' reads standard input.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 1, 1);
    if (!options)
        return commandLine.exitCode();
    int rate = DefaultAnimationRate;
    if (commandLine.parser().isSet("rate")) {
        bool ok = false;
        rate = commandLine.parser().value("rate").toInt(&ok);
        if (!ok)
            return commandLine.usageError("--rate needs a whole number");
    }
    int stopAfter = 0;
    if (commandLine.parser().isSet("stop-after")) {
        bool ok = false;
        stopAfter = commandLine.parser().value("stop-after").toInt(&ok);
        if (!ok || stopAfter < 1)
            return commandLine.usageError("--stop-after needs a number of frames, 1 or more");
    }
    const std::string name = commandLine.parser().positionalArguments()[0].toLocal8Bit().toStdString();

    LoadedImage loaded = loadImage(name, *options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    TGIFImage* gif = loaded.image.get();
    try {
        if (gif->IsEmpty() || gif->Width() <= 0 || gif->Height() <= 0) {
            printError(name, "nothing to play: the image has no frame or its screen no area");
            return ExitFailedInput;
        }
        // The window's surface is a bitmap of the screen's size.
        gif->CheckBitmapBudget(gif->Width(), gif->Height());
    } catch (...) {
        return failed(name);
    }
    gif->SetAnimationRate(rate);
    gif->OnWarn = [name, options](TObject*, int, const std::string& message) { printWarning(name, message, *options); };

    FailureReport failures(name);
    SetDialogService(&failures);
    int exitCode = ExitOk;
    {
        int argc = 1;
        char program[] = "gifimg";
        char* argv[] = {program, nullptr};
        TApplication application;
        application.Initialize(argc, argv);
        application.SetTitle(name);
        auto* form = application.CreateForm<TForm>();
        form->SetBorderStyle(TFormBorderStyle::bsSingle);
        form->SetPosition(TPosition::poScreenCenter);
        form->SetClientWidth(gif->Width());
        form->SetClientHeight(gif->Height());
        auto* view = new TImage(form);
        view->SetBounds(0, 0, gif->Width(), gif->Height());
        view->SetParent(form);

        int painted = 0;
        const bool animated = gif->Images().Count() > 1 && (gif->DrawFlags() & dfAnimate);
        auto closeSoon = [form] { Application->PostCommand([form] { form->Close(); }); };
        if (stopAfter > 0) {
            gif->OnFramePainted = [&painted, stopAfter, closeSoon](TObject*) {
                if (++painted == stopAfter)
                    closeSoon();
            };
            // An animation that ends before N frames, or a still image, ends the run too.
            gif->OnPaintEnd = [closeSoon](TObject*) { closeSoon(); };
            if (!animated)
                form->OnPaint = [closeSoon](TObject*) { closeSoon(); };
        }
        view->Picture().TakeGraphic(std::move(loaded.image));

        EscapeCloses escape(*form);
        qApp->installEventFilter(&escape);
        application.Run();
        qApp->removeEventFilter(&escape);
        // Every painter ends here, so no thread outlives the window.
        gif->StopAllPainting();
        exitCode = failures.failed() ? ExitFailedInput : ExitOk;
    }
    SetDialogService(nullptr);
    return exitCode;
}

} // namespace gifimg
