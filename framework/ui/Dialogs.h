#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned { mbYes, mbNo, mbOK, mbCancel, mbHelp, mbAbort, mbRetry, mbIgnore, mbAll };

// A set of buttons: bit n stands for TMsgDlgBtn n.
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons ButtonSet(std::initializer_list<TMsgDlgBtn> buttons)
{
    TMsgDlgButtons set = 0;
    for (auto b : buttons)
        set |= 1u << b;
    return set;
}

// Results of a modal box.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8
};

enum class TMessageIcon { None, Warning, Stop, Information, Question };

// Everything a modal message box shows; the dialog service turns it into a window.
struct TMessageBoxRequest {
    std::string caption;
    std::string text;
    TMessageIcon icon = TMessageIcon::None;
    // Buttons left to right, each with its caption and result.
    struct Button {
        std::string caption;
        int result;
    };
    std::vector<Button> buttons;
    int defaultResult = mrNone; // chosen by Enter
    int cancelResult = mrNone;  // chosen by Escape and the close box
    int helpContext = 0;
};

// Shows modal boxes. Tests replace it with scripted answers, so nothing blocks.
class IDialogService {
public:
    virtual ~IDialogService() = default;
    // Returns the chosen button's result.
    virtual int ShowMessageBox(const TMessageBoxRequest& request) = 0;
};

// The framework's texts for dialog captions and buttons.
std::string MessageDialogCaption(TMsgDlgType type);
std::string MessageButtonCaption(TMsgDlgBtn button);
int MessageButtonResult(TMsgDlgBtn button);

// Builds the request of a standard message dialog: caption and icon from the type,
// buttons in the standard order; with both yes and no, yes is the default and no
// the cancel button.
TMessageBoxRequest MakeMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                     int helpContext);

// A modal message dialog through the current dialog service.
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);

IDialogService& DialogService();
// Replaces the dialog service (null restores the Qt one). The service must outlive its use.
void SetDialogService(IDialogService* service);
