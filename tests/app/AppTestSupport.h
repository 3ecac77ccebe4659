#pragma once

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Runs the address book's two windows over a store in a fresh folder, driven by real
// mouse and key events, with scripted answers to its questions.
class AddressBook : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program's windows (after the test has prepared the store).
    void Start();
    // Chooses a command of the "File" menu, as a user does with the mouse.
    void Command(const std::string& caption);
    // Picks a name in the pick list with the keyboard.
    void Pick(const std::string& name);
    // Picks a name with the Up and Down keys on the closed, focused box.
    void PickWithArrowKeys(const std::string& name);
    // Types into the focused name box or into a field.
    void TypeName(const std::string& text);
    void TypeInto(TEdit* field, const std::string& text);
    void ClickButton(TControl& button);
    // Closes the main window as its "X" button does; true when the program ends.
    bool CloseWindow();

    std::string File() const { return ReadText(store); }
    std::vector<std::string> Names() const;
    std::vector<std::string> Fields() const;
    bool FieldsReadOnly() const;

    TempDir folder;
    std::string store = folder.File("Data.sys");
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    TForm1* form = nullptr;
    TForm2* about = nullptr;
};
