#include "framework/ui/Dialogs.h"

#include "framework/ui/Application.h"
#include "framework/ui/Forms.h"
#include "framework/ui/QtSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <atomic>

namespace {

constexpr TMsgDlgBtn AllButtons[] = {mbYes, mbNo, mbOK, mbCancel, mbHelp, mbAbort, mbRetry, mbIgnore, mbAll};

bool has(TMsgDlgButtons set, TMsgDlgBtn b)
{
    return (set >> b) & 1u;
}

TMessageIcon iconFor(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return TMessageIcon::Warning;
    case TMsgDlgType::mtError: return TMessageIcon::Stop;
    case TMsgDlgType::mtInformation: return TMessageIcon::Information;
    case TMsgDlgType::mtConfirmation: return TMessageIcon::Question;
    case TMsgDlgType::mtCustom: break;
    }
    return TMessageIcon::None;
}

QMessageBox::Icon qtIcon(TMessageIcon icon)
{
    switch (icon) {
    case TMessageIcon::Warning: return QMessageBox::Warning;
    case TMessageIcon::Stop: return QMessageBox::Critical;
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Question: return QMessageBox::Question;
    case TMessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The window a box belongs to: the active form's, else the main form's while it shows.
QWidget* ownerWindow()
{
    if (TForm* form = formOfWidget(QApplication::activeWindow()); form && form->Showing())
        return form->Widget();
    if (TForm* main = Application ? Application->MainForm() : nullptr; main && main->Showing())
        return main->Widget();
    return nullptr;
}

bool stayOnTopFormShown()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (TForm* form = formOfWidget(window); form && form->Showing() && form->FormStyle() == TFormStyle::fsStayOnTop)
            return true;
    return false;
}

// Centres itself over its owner, or the screen, once its size is settled: without a
// window manager nobody else places it, and Qt's own placement allows for frames that
// are not there.
class MessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* e) override
    {
        QMessageBox::showEvent(e);
        if (e->spontaneous())
            return;
        QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QRect area = screen->geometry();
        const QRect over = parentWidget() ? parentWidget()->geometry() : area;
        const int left = over.x() + (over.width() - width()) / 2;
        const int top = over.y() + (over.height() - height()) / 2;
        // The client area, as the owner's geometry is: move() would place a frame.
        setGeometry(std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - width())),
                    std::clamp(top, area.top(), std::max(area.top(), area.bottom() + 1 - height())), width(), height());
    }
};

class QtDialogService final : public IDialogService {
public:
    int ShowMessageBox(const TMessageBoxRequest& request) override
    {
        MessageBox box(qtIcon(request.icon), QString::fromStdString(request.caption),
                       QString::fromStdString(request.text), QMessageBox::NoButton, ownerWindow());
        // A stay-on-top form would otherwise cover the modal box and seem to freeze the program.
        if (stayOnTopFormShown())
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.setTextFormat(Qt::PlainText);
        std::vector<std::pair<QPushButton*, int>> buttons;
        for (const auto& b : request.buttons) {
            QPushButton* button = box.addButton(QString::fromStdString(b.caption), QMessageBox::ActionRole);
            buttons.emplace_back(button, b.result);
            if (b.result == request.defaultResult)
                box.setDefaultButton(button);
            if (b.result == request.cancelResult)
                box.setEscapeButton(button);
        }
        box.exec();
        for (const auto& [button, result] : buttons)
            if (box.clickedButton() == button)
                return result;
        return request.cancelResult;
    }
};

std::atomic<IDialogService*> g_service{nullptr};

} // namespace

std::string MessageDialogCaption(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return "Avertissement";
    case TMsgDlgType::mtError: return "Erreur";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirmation";
    case TMsgDlgType::mtCustom: break;
    }
    return {};
}

std::string MessageButtonCaption(TMsgDlgBtn button)
{
    static const char* const captions[] = {"&Oui",     "&Non",      "OK",       "Annuler", "&Aide",
                                           "&Abandon", "&Retenter", "&Ignorer", "&Tout"};
    return captions[button];
}

int MessageButtonResult(TMsgDlgBtn button)
{
    static const int results[] = {mrYes, mrNo, mrOk, mrCancel, mrNone, mrAbort, mrRetry, mrIgnore, mrAll};
    return results[button];
}

TMessageBoxRequest MakeMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    TMessageBoxRequest request;
    request.caption = MessageDialogCaption(type);
    request.text = text;
    request.icon = iconFor(type);
    request.helpContext = helpContext;
    for (TMsgDlgBtn b : AllButtons)
        if (has(buttons, b))
            request.buttons.push_back({MessageButtonCaption(b), MessageButtonResult(b)});
    request.defaultResult = has(buttons, mbOK) ? mrOk : has(buttons, mbYes) ? mrYes : mrNone;
    request.cancelResult = has(buttons, mbCancel) ? mrCancel
                           : has(buttons, mbNo)   ? mrNo
                           : has(buttons, mbOK)   ? mrOk
                                                  : mrNone;
    if (request.defaultResult == mrNone && !request.buttons.empty())
        request.defaultResult = request.buttons.front().result;
    return request;
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    return DialogService().ShowMessageBox(MakeMessageDialog(text, type, buttons, helpContext));
}

IDialogService& DialogService()
{
    static QtDialogService real;
    IDialogService* service = g_service.load();
    return service ? *service : real;
}

void SetDialogService(IDialogService* service)
{
    g_service.store(service);
}
