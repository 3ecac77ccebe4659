#include "framework/graphics/Bitmap.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

namespace {

class ComboBoxTest : public testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, 300, 120);
        combo = new TComboBox(form.get());
        combo->SetBounds(10, 10, 200, 22);
        combo->SetParent(form.get());
        combo->SetSorted(true);
        combo->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
        combo->OnClick = [this](TObject*) { clicks.push_back(combo->Text()); };
    }
    QComboBox* box() const { return static_cast<QComboBox*>(combo->Widget()); }
    std::vector<std::string> items() const { return combo->Items().ToVector(); }

    std::unique_ptr<TForm> form;
    TComboBox* combo = nullptr;
    std::vector<std::string> clicks;
};

} // namespace

TEST_F(ComboBoxTest, SortedEntriesTakeTheirPlaceWithoutRegardToCase)
{
    for (const char* name : {"zed", "Émile", "bob", "Alice"})
        combo->Items().Add(name);
    EXPECT_EQ(items(), (std::vector<std::string>{"Alice", "bob", "Émile", "zed"}));
    combo->Items().AddStrings({"carl", "Dana"});
    EXPECT_EQ(items(), (std::vector<std::string>{"Alice", "bob", "carl", "Dana", "Émile", "zed"}));
    EXPECT_EQ(box()->itemText(2), "carl");
    EXPECT_EQ(combo->Items().IndexOf("ÉMILE"), 4);
    combo->Items().Delete(-1);
    EXPECT_EQ(combo->Items().Count(), 6);
}

TEST_F(ComboBoxTest, StyleChangeKeepsEntriesSelectsNoneAndHandsTheTextOver)
{
    combo->Items().AddStrings({"Alice", "Bob"});
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "Bob");

    combo->SetStyle(TComboBoxStyle::csDropDown);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "Bob") << "the editable box shows the text it was handed";
    EXPECT_EQ(items(), (std::vector<std::string>{"Alice", "Bob"}));

    combo->SetText("Carl");
    combo->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "") << "a pick list with nothing selected shows no text";
    EXPECT_TRUE(clicks.empty());
}

TEST_F(ComboBoxTest, SettingTheSameStyleChangesNothing)
{
    combo->Items().AddStrings({"Alice", "Bob"});
    combo->SetItemIndex(0);
    combo->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    EXPECT_EQ(combo->ItemIndex(), 0);
}

TEST_F(ComboBoxTest, EditableStyleTakesAtMost255Characters)
{
    combo->SetStyle(TComboBoxStyle::csDropDown);
    combo->SetText(std::string(300, 'x'));
    EXPECT_EQ(combo->Text().size(), 255u);
}

TEST_F(ComboBoxTest, ArrowKeysAndFirstLettersPickAndFireOnClick)
{
    combo->Items().AddStrings({"Alice", "Bob", "Carl"});
    ShowAndActivate(*form);
    combo->SetFocus();
    PumpEvents();
    QTest::keyClick(combo->Widget(), Qt::Key_Down);
    QTest::keyClick(combo->Widget(), Qt::Key_C);
    EXPECT_EQ(clicks, (std::vector<std::string>{"Alice", "Carl"}));
}

TEST_F(ComboBoxTest, OwnerDrawnEntryIsFilledWrittenAtLeftPlusTwoAndFramedWhenFocused)
{
    combo->SetColor(RGB(226, 215, 199));
    combo->Font().SetColor(clNavy);
    combo->Items().AddStrings({"Bob"});
    TBitmap bitmap(100, 16, TPixelFormat::pfDevice);
    combo->DrawItem(bitmap.Canvas(), 0, Rect(0, 0, 100, 16), false, false);
    TCanvas& canvas = bitmap.Canvas();
    int firstInk = -1;
    for (int x = 0; x < 100 && firstInk < 0; ++x)
        for (int y = 0; y < 16; ++y)
            if (canvas.Pixel(x, y) == clNavy) {
                firstInk = x;
                break;
            }
    EXPECT_GE(firstInk, 2);
    EXPECT_LE(firstInk, 4);
    EXPECT_EQ(canvas.Pixel(99, 15), RGB(226, 215, 199));

    combo->DrawItem(canvas, 0, Rect(0, 0, 100, 16), true, true);
    // Selected: the highlight colour, with a dotted focus frame inverting it.
    EXPECT_EQ(canvas.Pixel(1, 0), ColorToRGB(clHighlight));
    EXPECT_EQ(canvas.Pixel(0, 0), ColorToRGB(clHighlight) ^ 0x00FFFFFF);
    EXPECT_EQ(canvas.Pixel(0, 2), ColorToRGB(clHighlight) ^ 0x00FFFFFF);
    EXPECT_EQ(canvas.Pixel(50, 8), ColorToRGB(clHighlight));
}

class ComboBoxInStyle : public ComboBoxTest, public testing::WithParamInterface<TComboBoxStyle> {
protected:
    void SetUp() override
    {
        ComboBoxTest::SetUp();
        combo->SetStyle(GetParam());
    }
};

TEST_P(ComboBoxInStyle, ListChangesNeverPickAnotherEntry)
{
    combo->Items().AddStrings({"Alice", "Bob", "Carl"});
    combo->SetItemIndex(1);
    combo->Items().Delete(1);
    EXPECT_EQ(combo->ItemIndex(), -1) << "removing the shown entry shows none";
    EXPECT_EQ(combo->Text(), "");

    combo->SetItemIndex(1);
    combo->Items().Delete(0);
    combo->Items().Add("Ann");
    EXPECT_EQ(combo->Text(), "Carl") << "the shown entry stays when others come and go";
    EXPECT_EQ(combo->ItemIndex(), 1);

    combo->Items().Clear();
    EXPECT_EQ(combo->Text(), "");
    combo->Items().Add("Dora");
    EXPECT_EQ(combo->ItemIndex(), -1) << "the first entry of an empty box is not picked";
    combo->SetText("Dora");
    combo->Items().Delete(0);
    EXPECT_EQ(combo->Text(), "") << "no text names a removed entry";
    EXPECT_TRUE(clicks.empty());
}

TEST_P(ComboBoxInStyle, ListOpensBelowWithAtMostDropDownCountEntriesAsWideAsTheBox)
{
    std::vector<std::string> names;
    for (int i = 10; i < 49; ++i)
        names.push_back("Name " + std::to_string(i));
    names.push_back(std::string(255, 'W'));
    combo->Items().AddStrings(names);
    combo->SetItemHeight(16);
    combo->SetDropDownCount(18);
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    for (const int formTop : {100, screenHeight - 40}) {
        form->SetBounds(100, formTop, 300, 120);
        ShowAndActivate(*form);
        combo->SetDroppedDown(true);
        PumpEvents();
        QAbstractItemView* view = box()->view();
        const QRect list = view->window()->geometry();
        const QRect field(box()->mapToGlobal(QPoint(0, 0)), box()->size());
        EXPECT_EQ(view->viewport()->height(), 18 * 16) << formTop;
        EXPECT_TRUE(view->verticalScrollBar()->isVisible());
        EXPECT_EQ(list.left(), field.left());
        EXPECT_EQ(list.width(), field.width());
        // The list shares the box's edge row, as every Qt drop-down does.
        if (formTop == 100)
            EXPECT_EQ(list.top(), field.bottom()) << "below the box";
        else
            EXPECT_EQ(list.bottom(), field.top()) << "above the box, where there is room";
        combo->SetDroppedDown(false);
        form->Hide();
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, ComboBoxInStyle,
                         testing::Values(TComboBoxStyle::csOwnerDrawFixed, TComboBoxStyle::csDropDown),
                         [](const auto& testInfo) {
                             return testInfo.param == TComboBoxStyle::csDropDown ? "Editable" : "PickList";
                         });

TEST_F(ComboBoxTest, EditableBoxKeepsWhatWasTypedWhileEntriesChange)
{
    combo->SetStyle(TComboBoxStyle::csDropDown);
    combo->Items().AddStrings({"Alice", "Bob", "Carl"});
    combo->SetItemIndex(1);
    combo->SetText("Bobby");
    combo->Items().Delete(0);
    combo->Items().Add("Ann");
    EXPECT_EQ(combo->Text(), "Bobby");
    combo->Items().Delete(combo->Items().IndexOf("Bob"));
    EXPECT_EQ(combo->Text(), "Bobby") << "the typed text is not the removed entry";
    EXPECT_EQ(combo->ItemIndex(), -1);
}
