#pragma once

#include "framework/ui/Forms.h"

#include <memory>
#include <string>
#include <vector>

class TComboBox;
class TEdit;
class TExplorerButton;
class TImage;
class TIniFile;
class TLabel;
class TMenuItem;
class TPopupMenu;

// The main window: a borderless picture with the name box, four fields, five labels
// and three flat buttons, the "File" one dropping the command menu down.
class TForm1 : public TForm {
    CARNELO_CLASS(TForm1, TForm)
public:
    explicit TForm1(TComponent* owner);
    ~TForm1() override;

    TImage* Im;
    TExplorerButton* ExplorerButton1;
    TComboBox* Cm;
    TExplorerButton* ExplorerButton2;
    TEdit* d2;
    TEdit* d1;
    TEdit* d3;
    TEdit* d4;
    TExplorerButton* Ex3;
    TLabel* l1;
    TLabel* Label1;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TPopupMenu* Pm1;
    TMenuItem* New1;
    TMenuItem* Save1;
    TMenuItem* N1;
    TMenuItem* Delete1;
    TMenuItem* Modify1;
    TMenuItem* N2;
    TMenuItem* Exit1;
    TMenuItem* About1;

    void FormCreate(TObject* sender);
    void ExplorerButton2Click(TObject* sender);
    void New1Click(TObject* sender);
    void Save1Click(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void CmClick(TObject* sender);
    void ImMouseMove(TObject* sender, TShiftState shift, int x, int y);
    void Modify1Click(TObject* sender);
    void Delete1Click(TObject* sender);
    void About1Click(TObject* sender);
    void ExplorerButton1Click(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void Exit1Click(TObject* sender);

    // The store, open from FormCreate to a completed FormClose.
    TIniFile* Store() const { return m_store.get(); }

private:
    std::string name() const;
    void setFieldsReadOnly(bool readOnly);
    void clearFields();
    // Whether the store's name list holds these names, compared as the store compares keys.
    bool storedNamesAre(const std::vector<std::string>& names) const;

    std::unique_ptr<TIniFile> m_store;
};

extern TForm1* Form1;

// The folder of the contact store: the folder of the program's own executable, unless a
// test has set another one (with its final separator; empty restores the default).
std::string StoreFolder();
void SetStoreFolder(const std::string& folder);

// The command the ">>" button last ran, as text (each use overwrites it).
extern std::string BrowserCommand;

// The address the opener is given for a web-site text: "http://" in front of a text
// without a scheme; empty (open nothing) for anything but an http, https or ftp address.
std::string WebAddressFor(const std::string& text);
