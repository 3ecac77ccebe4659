#include "framework/ui/Dialogs.h"
#include "framework/graphics/Clipboard.h"
#include "framework/ui/Application.h"
#include "framework/ui/ClipboardBridge.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Process.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

TEST(MessageDialog, WarningWithYesAndNoHasTheFrameworkTextsAndDefaults)
{
    const TMessageBoxRequest r = MakeMessageDialog("Sure?", TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0);
    EXPECT_EQ(r.caption, "Avertissement");
    EXPECT_EQ(r.icon, TMessageIcon::Warning);
    ASSERT_EQ(r.buttons.size(), 2u);
    EXPECT_EQ(r.buttons[0].caption, "&Oui");
    EXPECT_EQ(r.buttons[0].result, 6);
    EXPECT_EQ(r.buttons[1].caption, "&Non");
    EXPECT_EQ(r.buttons[1].result, 7);
    EXPECT_EQ(r.defaultResult, mrYes);
    EXPECT_EQ(r.cancelResult, mrNo);
}

TEST(MessageDialog, KindsAndButtonsCarryTheirCaptions)
{
    EXPECT_EQ(MessageDialogCaption(TMsgDlgType::mtError), "Erreur");
    EXPECT_EQ(MessageDialogCaption(TMsgDlgType::mtInformation), "Information");
    EXPECT_EQ(MessageDialogCaption(TMsgDlgType::mtConfirmation), "Confirmation");
    const TMessageBoxRequest r = MakeMessageDialog(
        "x", TMsgDlgType::mtError, ButtonSet({mbAll, mbIgnore, mbRetry, mbAbort, mbHelp, mbCancel, mbOK}), 0);
    std::vector<std::string> captions;
    for (const auto& b : r.buttons)
        captions.push_back(b.caption);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"OK", "Annuler", "&Aide", "&Abandon", "&Retenter", "&Ignorer", "&Tout"}));
    EXPECT_EQ(r.defaultResult, mrOk);
    EXPECT_EQ(r.cancelResult, mrCancel);
}

TEST(MessageDialog, ScriptedAnswersReplaceTheModalBox)
{
    ScriptedDialogs dialogs;
    dialogs.Answer(mrNo);
    EXPECT_EQ(MessageDlg("Erase?", TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0), 7);
    EXPECT_EQ(MessageDlg("Again?", TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0), 6);
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].text, "Erase?");
}

namespace {
// Answers the real Qt box from inside its modal loop.
int answerRealBox(const std::function<void(QMessageBox&)>& act)
{
    QTimer::singleShot(0, [act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            act(*box);
    });
    return MessageDlg("Are you sure?", TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0);
}
} // namespace

TEST(MessageDialog, RealBoxAnswersByAcceleratorEnterAndEscape)
{
    EXPECT_EQ(answerRealBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_N); }), mrNo);
    EXPECT_EQ(answerRealBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_O); }), mrYes);
    EXPECT_EQ(answerRealBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }), mrNo);
    EXPECT_EQ(answerRealBox([](QMessageBox& box) {
                  EXPECT_EQ(box.windowTitle(), "Avertissement");
                  EXPECT_EQ(box.text(), "Are you sure?");
                  EXPECT_EQ(box.defaultButton()->text(), "&Oui");
                  box.defaultButton()->click();
              }),
              mrYes);
}

namespace {
// Where the real box stood while it was up, and whether it stayed above other windows.
struct ShownBox {
    QRect geometry;
    bool staysOnTop = false;
};

ShownBox showRealBox(const std::function<void()>& raise)
{
    ShownBox shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.geometry = box->geometry();
            shown.staysOnTop = box->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
            box->defaultButton()->click();
        }
    });
    raise();
    return shown;
}

void question()
{
    MessageDlg("Are you sure wanna erase \" Bob \" from the list", TMsgDlgType::mtWarning, ButtonSet({mbYes, mbNo}), 0);
}

void errorBox()
{
    Application->ShowException("Ne peut écrire dans /x/Data.sys");
}

void expectCentredOver(const QRect& box, const QRect& over)
{
    EXPECT_NEAR(box.center().x(), over.center().x(), 1) << "box " << box.x() << "," << box.y();
    EXPECT_NEAR(box.center().y(), over.center().y(), 1) << "box " << box.x() << "," << box.y();
}
} // namespace

TEST(MessageDialog, RealBoxesStayAboveAShownStayOnTopForm)
{
    TForm main(nullptr);
    main.SetBounds(100, 100, 300, 200);
    ShowAndActivate(main);
    EXPECT_FALSE(showRealBox(question).staysOnTop) << "not above other programs without need";
    TForm about(nullptr);
    about.SetFormStyle(TFormStyle::fsStayOnTop);
    about.SetBounds(150, 150, 200, 100);
    about.Show();
    QApplication::setActiveWindow(main.Widget());
    EXPECT_TRUE(showRealBox(question).staysOnTop);
    EXPECT_TRUE(showRealBox(errorBox).staysOnTop);
}

TEST(MessageDialog, RealBoxesAreCentredOverTheirFormOrTheScreen)
{
    expectCentredOver(showRealBox(question).geometry, QGuiApplication::primaryScreen()->geometry());
    TForm owner(nullptr);
    owner.SetBorderStyle(TFormBorderStyle::bsNone);
    owner.SetBounds(40, 60, 479, 284);
    ShowAndActivate(owner);
    for (const auto raise : {question, errorBox}) {
        // What a window manager does when a modal box closes; the offscreen platform doesn't.
        QApplication::setActiveWindow(owner.Widget());
        expectCentredOver(showRealBox(raise).geometry, owner.Widget()->geometry());
    }
}

TEST(ProcessLauncher, ProgramsAreStartedWithArgumentListsAndMissingOnesFail)
{
    EXPECT_FALSE(ProcessLauncher().StartDetached("/nonexistent/carnelo-browser", {"http://example.org"}));
    RecordingLauncher launcher;
    EXPECT_TRUE(ProcessLauncher().StartDetached("xdg-open", {"http://a b"}));
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].arguments, std::vector<std::string>{"http://a b"});
}

TEST(ClipboardBridge, NamedFormatsTravelAsCustomTypesAndComeBack)
{
    const uint32_t gif = RegisterClipboardFormat("GIF Image");
    Clipboard().Clear();
    Clipboard().SetData(gif, TClipboardData{{'G', 'I', 'F', '8', '9', 'a'}});
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    bool found = false;
    for (const QString& f : mime->formats())
        if (f.contains("GIF Image"))
            found = mime->data(f) == QByteArray("GIF89a");
    EXPECT_TRUE(found);

    // Another program puts a GIF on the desktop's clipboard.
    auto* other = new QMimeData;
    other->setData("application/x-carnelo-clipboard;name=\"GIF Image\"", QByteArray("GIF87a!"));
    QGuiApplication::clipboard()->setMimeData(other);
    ImportDesktopClipboard();
    ASSERT_TRUE(Clipboard().HasFormat(gif));
    EXPECT_EQ(Clipboard().Data(gif)->Bytes.size(), 7u);
}
