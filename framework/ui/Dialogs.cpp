#include "framework/ui/Dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

class QtDialogService final : public IDialogService {
public:
    int ShowMessageBox(const TMessageBoxRequest& request) override
    {
        QMessageBox box(qtIcon(request.icon), QString::fromStdString(request.caption),
                        QString::fromStdString(request.text), QMessageBox::NoButton, QApplication::activeWindow());
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
    static const char* const captions[] = {"&Oui",    "&Non",      "OK",       "Annuler", "&Aide",
                                           "&Abandon", "&Retenter", "&Ignorer", "&Tout"};
    return captions[button];
}

int MessageButtonResult(TMsgDlgBtn button)
{
    static const int results[] = {mrYes, mrNo, mrOk, mrCancel, mrNone, mrAbort, mrRetry, mrIgnore, mrAll};
    return results[button];
}

TMessageBoxRequest MakeMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                     int helpContext)
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
    request.cancelResult = has(buttons, mbCancel) ? mrCancel : has(buttons, mbNo) ? mrNo : has(buttons, mbOK) ? mrOk : mrNone;
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
