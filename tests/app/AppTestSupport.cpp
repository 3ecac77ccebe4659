#include "AppTestSupport.h"

#include "controls/ExplorerButton.h"
#include "framework/ui/Application.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"
#include "tests/support/GifLibraryEnvironment.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

void AddressBook::SetUp()
{
    SetStoreFolder(folder.Path() + "/");
}

void AddressBook::TearDown()
{
    delete about;
    delete form;
    SetStoreFolder("");
    Application->SetTitle("Carnelo");
}

void AddressBook::Start()
{
    Application->SetTitle("Carnelo");
    form = Application->CreateForm<TForm1>();
    about = Application->CreateForm<TForm2>();
    ShowAndActivate(*form);
}

void AddressBook::Command(const std::string& caption)
{
    OpenedMenu menu;
    ChooseWhenOpen(caption, &menu);
    ClickButton(*form->Ex3);
    TPopupMenu::SetOpenHook(nullptr);
    EXPECT_TRUE(menu.opened) << "the menu did not open for \"" << caption << "\"";
    PumpEvents();
}

void AddressBook::ClickButton(TControl& button)
{
    MouseMove(*form, CentreOf(button));
    MouseClick(*form, CentreOf(button));
}

void AddressBook::Pick(const std::string& name)
{
    auto* box = static_cast<QComboBox*>(form->Cm->Widget());
    const int index = form->Cm->Items().IndexOf(name);
    ASSERT_GE(index, 0) << name;
    box->setFocus();
    box->showPopup();
    box->view()->setCurrentIndex(box->model()->index(index, 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    PumpEvents();
}

void AddressBook::PickWithArrowKeys(const std::string& name)
{
    const int index = form->Cm->Items().IndexOf(name);
    ASSERT_GE(index, 0) << name;
    form->Cm->SetFocus();
    PumpEvents();
    while (form->Cm->ItemIndex() != index) {
        const int before = form->Cm->ItemIndex();
        KeyClick(*form, before < index ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_NE(form->Cm->ItemIndex(), before) << "the key moved nothing";
    }
}

void AddressBook::TypeName(const std::string& text)
{
    auto* box = static_cast<QComboBox*>(form->Cm->Widget());
    ASSERT_TRUE(box->isEditable());
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QString::fromStdString(text));
}

void AddressBook::TypeInto(TEdit* field, const std::string& text)
{
    auto* edit = static_cast<QLineEdit*>(field->Widget());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

bool AddressBook::CloseWindow()
{
    ClickButton(*form->ExplorerButton2);
    PumpEvents();
    return !form->Visible();
}

std::vector<std::string> AddressBook::Names() const
{
    return form->Cm->Items().ToVector();
}

std::vector<std::string> AddressBook::Fields() const
{
    return {form->d1->Text(), form->d2->Text(), form->d3->Text(), form->d4->Text()};
}

bool AddressBook::FieldsReadOnly() const
{
    return form->d1->ReadOnly() && form->d2->ReadOnly() && form->d3->ReadOnly() && form->d4->ReadOnly();
}
