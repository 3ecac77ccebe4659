#include "app/Unit1.h"

#include "app/IniFile.h"
#include "app/Resources.h"
#include "app/StoreLocation.h"
#include "app/Unit2.h"
#include "controls/ExplorerButton.h"
#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "framework/core/System.h"
#include "framework/core/TextCompare.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/Application.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Menus.h"
#include "framework/ui/Process.h"
#include "framework/ui/StdCtrls.h"

#include <algorithm>
#include <cctype>
#include <set>

TForm1* Form1 = nullptr;
std::string BrowserCommand;

namespace {

constexpr const char* NameList = "Items";
constexpr const char* Keys[] = {"01", "02", "03", "04"};
constexpr const char* Opener = "xdg-open";

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

TLabel* makeLabel(TForm1* form, int left, int top, int width, int height, const std::string& caption)
{
    auto* label = new TLabel(form);
    label->SetBounds(left, top, width, height);
    label->SetCaption(caption);
    label->SetParentFont(false);
    label->Font().SetName("MS Sans Serif");
    label->Font().SetHeight(-8);
    label->Font().SetColor(clNavy);
    label->SetTransparent(true);
    label->SetParent(form);
    return label;
}

TEdit* makeField(TForm1* form, int left, int top, int width, TColor fontColor, int tabOrder)
{
    auto* edit = new TEdit(form);
    edit->SetBounds(left, top, width, 21);
    edit->SetParentFont(false);
    edit->Font().SetName("MS Sans Serif");
    edit->Font().SetHeight(-11);
    edit->Font().SetColor(fontColor);
    edit->SetReadOnly(true);
    edit->SetColor(0x00B6CBDA);
    edit->SetTabOrder(tabOrder);
    edit->SetParent(form);
    return edit;
}

TExplorerButton* makeButton(TForm1* form, int left, int top, int width, int height, const std::string& caption,
                            TColor fontColor, TColor unselectedColor)
{
    auto* button = new TExplorerButton(form);
    button->SetBounds(left, top, width, height);
    button->SetCaption(caption);
    button->SetParentFont(false);
    button->Font().SetName("MS Sans Serif");
    button->Font().SetHeight(-11);
    button->Font().SetStyle(fsBold);
    button->Font().SetColor(fontColor);
    button->SetUnselectedFontColor(unselectedColor);
    button->SetOptions(boMonoDisplay | boPopupMark | boShowBevel);
    button->SetParent(form);
    return button;
}

TMenuItem* makeItem(TForm1* form, const std::string& name, const std::string& caption)
{
    auto* item = new TMenuItem(form);
    item->SetName(name);
    item->SetCaption(caption);
    form->Pm1->Items().Add(item);
    return item;
}

bool isSchemeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

} // namespace

namespace {
std::string g_storeFolder;
} // namespace

std::string StoreFolder()
{
    return g_storeFolder.empty() ? storeFolderFor(currentStoreLocationFacts()) : g_storeFolder;
}

void SetStoreFolder(const std::string& folder)
{
    g_storeFolder = folder;
}

std::string WebAddressFor(const std::string& text)
{
    const std::string address = trimmed(text);
    if (address.empty() || address.front() == '/' || address.front() == '.' || address.front() == '~' ||
        address.front() == '\\')
        return {};
    // A scheme is letters and digits up to "://", or up to a ":" that starts no port.
    size_t colon = 0;
    while (colon < address.size() && isSchemeChar(address[colon]))
        ++colon;
    const bool hasScheme = colon > 0 && colon < address.size() && address[colon] == ':' &&
                           std::isalpha(static_cast<unsigned char>(address[0])) &&
                           (address.compare(colon, 3, "://") == 0 || colon + 1 >= address.size() ||
                            !std::isdigit(static_cast<unsigned char>(address[colon + 1])));
    if (!hasScheme)
        return "http://" + address;
    std::string scheme = address.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](char c) { return std::tolower(c); });
    if ((scheme == "http" || scheme == "https" || scheme == "ftp") && address.compare(colon, 3, "://") == 0)
        return address;
    return {};
}

TForm1::TForm1(TComponent* owner) : TForm(owner)
{
    Form1 = this;
    SetName("Form1");
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetCaption("Form1");
    SetClientWidth(503);
    SetClientHeight(326);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    Font().SetColor(clBlack);
    SetPosition(TPosition::poScreenCenter);
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnCloseQuery = [this](TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };

    // Creation order is painting order: the picture lies under every label and button.
    Im = new TImage(this);
    Im->SetName("Im");
    Im->SetBounds(0, 0, 479, 284);
    Im->SetAutoSize(true);
    Im->SetParent(this);
    Im->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) { ImMouseMove(sender, shift, x, y); };
    TReadOnlyMemoryStream picture(BackgroundPicture, BackgroundPictureSize);
    Im->Picture().ReadStored(picture);

    Pm1 = new TPopupMenu(this);
    Pm1->SetName("Pm1");

    ExplorerButton1 = makeButton(this, 416, 216, 21, 20, ">>", clRed, clNavy);
    ExplorerButton1->SetName("ExplorerButton1");
    ExplorerButton1->SetHint("Let's Go ...");
    ExplorerButton1->SetShowHint(true);
    ExplorerButton1->SetParentShowHint(false);
    ExplorerButton1->OnClick = [this](TObject* sender) { ExplorerButton1Click(sender); };

    ExplorerButton2 = makeButton(this, 449, 10, 17, 17, "X", clBlue, clNavy);
    ExplorerButton2->SetName("ExplorerButton2");
    ExplorerButton2->OnClick = [this](TObject* sender) { ExplorerButton2Click(sender); };

    Ex3 = makeButton(this, 48, 40, 41, 20, "File", clYellow, 0x00B6CBDA);
    Ex3->SetName("Ex3");
    Ex3->SetDropDownMenu(Pm1);

    l1 = makeLabel(this, 50, 91, 24, 13, "Tel : ");
    Label1 = makeLabel(this, 50, 131, 38, 13, "Adress :");
    Label3 = makeLabel(this, 50, 203, 29, 13, "E-Mail");
    Label4 = makeLabel(this, 242, 203, 44, 13, "Web-Site");
    Label5 = makeLabel(this, 138, 44, 34, 13, "Name :");

    Cm = new TComboBox(this);
    Cm->SetName("Cm");
    Cm->SetBounds(176, 40, 257, 22);
    Cm->SetParentFont(false);
    Cm->Font().SetName("MS Sans Serif");
    Cm->Font().SetHeight(-11);
    Cm->Font().SetStyle(fsBold);
    Cm->Font().SetColor(clNavy);
    Cm->SetSorted(true);
    Cm->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    Cm->SetItemHeight(16);
    Cm->SetDropDownCount(18);
    Cm->SetColor(0x00C7D7E2);
    Cm->SetTabOrder(0);
    Cm->SetParent(this);
    Cm->OnClick = [this](TObject* sender) { CmClick(sender); };

    d1 = makeField(this, 48, 104, 385, clMaroon, 1);
    d2 = makeField(this, 48, 144, 385, clMaroon, 2);
    d3 = makeField(this, 48, 216, 177, 0x00706C38, 3);
    d4 = makeField(this, 232, 216, 177, clBlue, 4);
    d1->SetName("d1");
    d2->SetName("d2");
    d3->SetName("d3");
    d4->SetName("d4");

    New1 = makeItem(this, "New1", "New");
    Save1 = makeItem(this, "Save1", "Save");
    N1 = makeItem(this, "N1", "-");
    Modify1 = makeItem(this, "Modify1", "Modify");
    Delete1 = makeItem(this, "Delete1", "Delete");
    About1 = makeItem(this, "About1", "About...");
    N2 = makeItem(this, "N2", "-");
    Exit1 = makeItem(this, "Exit1", "Exit");
    New1->OnClick = [this](TObject* sender) { New1Click(sender); };
    Save1->OnClick = [this](TObject* sender) { Save1Click(sender); };
    Modify1->OnClick = [this](TObject* sender) { Modify1Click(sender); };
    Delete1->OnClick = [this](TObject* sender) { Delete1Click(sender); };
    About1->OnClick = [this](TObject* sender) { About1Click(sender); };
    Exit1->OnClick = [this](TObject* sender) { Exit1Click(sender); };
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

std::string TForm1::name() const
{
    return trimmed(Cm->Text());
}

void TForm1::setFieldsReadOnly(bool readOnly)
{
    for (TEdit* field : {d1, d2, d3, d4})
        field->SetReadOnly(readOnly);
}

void TForm1::clearFields()
{
    for (TEdit* field : {d1, d2, d3, d4})
        field->Clear();
}

void TForm1::FormCreate(TObject*)
{
    SetHeight(Im->Height());
    SetWidth(Im->Width());
    m_store = std::make_unique<TIniFile>(StoreFolder() + "Data.sys");
    m_store->SetMakeFolder(true);
    m_store->ReadKeyNames("items", Cm->Items());
}

void TForm1::ImMouseMove(TObject*, TShiftState, int, int) {}

void TForm1::New1Click(TObject*)
{
    Cm->SetStyle(TComboBoxStyle::csDropDown);
    setFieldsReadOnly(false);
    Cm->SetFocus();
}

void TForm1::Modify1Click(TObject*)
{
    setFieldsReadOnly(false);
    d1->SetFocus();
}

void TForm1::Save1Click(TObject*)
{
    const std::string n = name();
    if (n.empty()) {
        // Nothing to store under: keep what was typed and let the user name it.
        Cm->SetFocus();
        return;
    }
    if (SameText(n, NameList))
        throw Exception("\"" + n + "\" cannot be a contact's name: the list of names is kept under it");
    // Check everything first, so a refused name or value changes nothing; the name must
    // also be writable as a key of the name list, or closing could never save the list.
    const std::string values[] = {d1->Text(), d2->Text(), d3->Text(), d4->Text()};
    TIniFile::CheckEntry(NameList, n, "");
    for (int i = 0; i < 4; ++i)
        TIniFile::CheckEntry(n, Keys[i], values[i]);
    for (int i = 0; i < 4; ++i)
        m_store->PutEntry(n, Keys[i], values[i]);
    if (Cm->Items().IndexOf(n) < 0)
        Cm->Items().Add(n);
    Cm->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    setFieldsReadOnly(true);
    clearFields();
    Cm->SetFocus();
}

void TForm1::Delete1Click(TObject*)
{
    const std::string n = name();
    const std::string question = "Are you sure wanna erase \" " + n + " \" from the list";
    if (MessageDlg(question, TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0) != mrYes)
        return;
    if (!n.empty() && !SameText(n, NameList)) {
        m_store->DeleteSection(n);
        Cm->Items().Delete(Cm->Items().IndexOf(n));
    }
    clearFields();
}

void TForm1::CmClick(TObject*)
{
    const std::string n = name();
    if (n.empty())
        return;
    d1->SetText(m_store->GetEntry(n, Keys[0], ""));
    d2->SetText(m_store->GetEntry(n, Keys[1], ""));
    d3->SetText(m_store->GetEntry(n, Keys[2], ""));
    d4->SetText(m_store->GetEntry(n, Keys[3], ""));
    Application->SetTitle(n);
}

void TForm1::ExplorerButton1Click(TObject*)
{
    const std::string site = d4->Text();
    if (site.empty())
        return;
    BrowserCommand = std::string(Opener) + " " + site;
    const std::string address = WebAddressFor(site);
    if (address.empty())
        return;
    // A missing opener is not reported, as a missing browser never was.
    (void)ProcessLauncher().StartDetached(Opener, {address});
}

void TForm1::About1Click(TObject*)
{
    if (Form2)
        Form2->Show();
}

void TForm1::ExplorerButton2Click(TObject*)
{
    Close();
}

void TForm1::Exit1Click(TObject*)
{
    Close();
}

void TForm1::FormCloseQuery(TObject*, bool& canClose)
{
    if (d1->ReadOnly())
        return;
    const std::string n = name();
    const std::string question = " You've forgotten saving  " + n + "  save it now ... ?";
    if (MessageDlg(question, TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0) != mrYes)
        return;
    if (n.empty()) {
        // Saving needs a name: stay open with what was typed.
        canClose = false;
        Cm->SetFocus();
        return;
    }
    Save1Click(this);
}

void TForm1::FormClose(TObject*, TCloseAction&)
{
    const std::vector<std::string> names = Cm->Items().ToVector();
    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(names.size());
    for (const std::string& n : names)
        entries.emplace_back(n, "");
    try {
        m_store->ReplaceSection(NameList, entries);
    } catch (const EIniFileException&) {
        // A store that cannot be written but already lists these names loses nothing by
        // staying as it is; refusing to close would leave no way out of the program.
        if (!storedNamesAre(names))
            throw;
    }
    m_store.reset();
}

bool TForm1::storedNamesAre(const std::vector<std::string>& names) const
{
    TStringList stored;
    m_store->ReadKeyNames(NameList, stored);
    auto folded = [](const std::vector<std::string>& texts) {
        std::set<std::string> keys;
        for (const std::string& text : texts)
            keys.insert(FoldCase(trimmed(text)));
        return keys;
    };
    return folded(stored.ToVector()) == folded(names);
}
