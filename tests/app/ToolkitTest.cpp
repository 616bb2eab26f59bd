// The toolkit layer on its own: the default exception handler and its message box, form
// activation, labelled edits, menus and shortcuts, the dialog seam and the INI file object.
#include "AppTestSupport.h"
#include "app/toolkit/Controls.h"
#include "app/toolkit/Form.h"
#include "app/toolkit/Menus.h"
#include "app/toolkit/Style.h"
#include "graphics/Exceptions.h"
#include "platform/Screen.h"
#include "profile/IniFiles.h"

#include <QAction>
#include <QColorDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cerrno>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace {

using apptest::AppTest;
using apptest::ProcessEvents;

TEST(ErrorBoxText, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(toolkit::ErrorBoxText(""), "");
    EXPECT_EQ(toolkit::ErrorBoxText("Disk full"), "Disk full.");
    EXPECT_EQ(toolkit::ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(toolkit::ErrorBoxText("Why?"), "Why?.") << "'?' is 0x3F";
    EXPECT_EQ(toolkit::ErrorBoxText("C:/"), "C:/.") << "'/' is 0x2F, one past '.'";
    EXPECT_EQ(toolkit::ErrorBoxText("a-"), "a-") << "'-' is 0x2D, one before '.'";
    EXPECT_EQ(toolkit::ErrorBoxText("(x)"), "(x)");
    EXPECT_EQ(toolkit::ErrorBoxText("100%"), "100%");
    EXPECT_EQ(toolkit::ErrorBoxText("Line\r\n"), "Line\r\n");
    EXPECT_EQ(toolkit::ErrorBoxText("caf\xC3\xA9"), "caf\xC3\xA9.") << "bytes compare unsigned";
}

class DefaultHandlerTest : public AppTest {};

TEST_F(DefaultHandlerTest, ShowsMessagesInTheApplicationsErrorBoxAndDropsEAbort) {
    app_->SetTitle("Velmora");
    app_->HandleException(std::make_exception_ptr(graphics::EAbort("silent")));
    EXPECT_TRUE(boxes_.empty());

    app_->HandleException(std::make_exception_ptr(graphics::EInvalidGraphic("Bitmap is empty")));
    app_->HandleException(std::make_exception_ptr(std::runtime_error("plain failure")));
    app_->HandleException(std::make_exception_ptr(42));
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(boxes_[0].text, "Bitmap is empty.");
    EXPECT_EQ(boxes_[0].icon, toolkit::ErrorBox::Icon::Error);
    EXPECT_EQ(boxes_[1].text, "plain failure.");
    EXPECT_EQ(boxes_[2].text, "Unknown error.");
}

TEST_F(DefaultHandlerTest, AFailingHandlerEndsThereAndTheProgramGoesOn) {
    toolkit::TForm form("Form9");
    toolkit::TButton button(form.Client(), "Button1");
    int reached = 0;
    button.SetOnClick([&] {
        ++reached;
        throw graphics::Exception("Cannot open file");
        ++reached; // never reached
    });
    button.click();
    button.click();
    EXPECT_EQ(reached, 2);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].text, "Cannot open file.");

    boxes_.clear();
    button.SetOnClick([] { throw graphics::EAbort(""); });
    button.click();
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DefaultHandlerTest, TheRealBoxIsApplicationModalWithOneOkButtonAndTheErrorIcon) {
    app_->SetTitle("Velmora");
    app_->SetErrorBoxPresenter({});
    toolkit::TForm form("Form9");
    form.Show();
    ProcessEvents();

    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        inspected = true;
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Velmora"));
        EXPECT_EQ(box->text(), QStringLiteral("Disk full."));
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    app_->HandleException(std::make_exception_ptr(graphics::Exception("Disk full")));
    EXPECT_TRUE(inspected);
}

// Two forms of the program and which of them the toolkit calls FormActivate on.
class CountingForm : public toolkit::TForm {
  public:
    using TForm::TForm;
    void FormActivate() override { ++activations; }
    void FormCreate() override { ++creations; }
    int activations = 0;
    int creations = 0;
};

class ActivationTest : public AppTest {};

TEST_F(ActivationTest, FiresOnFirstShowingAndOnReturnFromAnotherForm) {
    auto& main = app_->CreateForm<CountingForm>("FormMain");
    auto& other = app_->CreateForm<CountingForm>("FormOther");
    EXPECT_EQ(app_->MainForm(), &main);
    EXPECT_EQ(main.creations, 1);
    EXPECT_EQ(other.creations, 1);
    EXPECT_EQ(main.activations, 0) << "creating a form does not activate it";

    main.Show();
    ProcessEvents();
    EXPECT_EQ(main.activations, 1);
    EXPECT_EQ(app_->ActiveForm(), &main);

    other.Show();
    ProcessEvents();
    EXPECT_EQ(other.activations, 1);
    other.Close();
    ProcessEvents();
    EXPECT_EQ(main.activations, 2) << "closing the other form hands activation back";

    main.Show(); // already shown and active: no new activation
    ProcessEvents();
    EXPECT_EQ(main.activations, 2);
}

TEST_F(ActivationTest, EachFormIsActivatedWhenItsWindowBecomesActiveAgain) {
    auto& main = app_->CreateForm<CountingForm>("FormMain");
    auto& other = app_->CreateForm<CountingForm>("FormOther");
    main.Show();
    other.Show();
    ProcessEvents();
    ASSERT_EQ(app_->ActiveForm(), &other);
    const int mainBefore = main.activations;
    for (int round = 1; round <= 2; ++round) {
        main.activateWindow();
        ProcessEvents();
        EXPECT_EQ(main.activations, mainBefore + round);
        EXPECT_EQ(app_->ActiveForm(), &main);
        other.activateWindow();
        ProcessEvents();
        EXPECT_EQ(other.activations, 1 + round) << "losing the activation is no activation";
        EXPECT_EQ(app_->ActiveForm(), &other);
    }
}

TEST_F(ActivationTest, ACommonDialogOrAMessageBoxIsNoActivation) {
    auto& main = app_->CreateForm<CountingForm>("FormMain");
    main.Show();
    ProcessEvents();
    ASSERT_EQ(main.activations, 1);

    // The real colour dialog, answered by a timer once it is up and active.
    auto qtDialogs = toolkit::NewQtDialogProvider();
    toolkit::ScopedDialogProvider real(*qtDialogs);
    bool dialogWasActive = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialogWasActive = QApplication::activeWindow() == dialog;
        dialog->setCurrentColor(QColor(255, 0, 0));
        dialog->accept();
    });
    toolkit::TColorDialog colours;
    EXPECT_TRUE(colours.Execute());
    EXPECT_EQ(colours.Color, graphics::clRed);
    ProcessEvents();
    EXPECT_TRUE(dialogWasActive);
    EXPECT_EQ(QApplication::activeWindow(), &main) << "the main form is active again";
    EXPECT_EQ(main.activations, 1);

    app_->SetErrorBoxPresenter({});
    QTimer::singleShot(50, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    app_->HandleException(std::make_exception_ptr(graphics::Exception("Oops")));
    ProcessEvents();
    EXPECT_EQ(main.activations, 1);
    EXPECT_EQ(app_->ActiveForm(), &main);
}

TEST_F(ActivationTest, ClosingTheMainFormEndsTheMessageLoop) {
    auto& main = app_->CreateForm<CountingForm>("FormMain");
    auto& other = app_->CreateForm<CountingForm>("FormOther");
    QTimer::singleShot(0, [&] {
        other.Show();
        main.Close();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    watchdog.start(5000);
    app_->Run();
    EXPECT_FALSE(timedOut) << "the loop ended although another form was still open";
    EXPECT_FALSE(main.isVisible());
}

TEST(FormTest, ClientAreaKeepsItsDesignedSizeBelowTheMenu) {
    toolkit::TForm form("Form9");
    form.SetClientSize(300, 120);
    QMenuBar* menu = toolkit::NewMainMenu(&form, "MainMenu1");
    toolkit::AddMenu(menu, "File1", "&File");
    form.SetMenu(menu);
    EXPECT_EQ(form.ClientWidth(), 300);
    EXPECT_EQ(form.ClientHeight(), 120);
    EXPECT_EQ(form.Client()->y(), menu->height());
    EXPECT_GT(menu->height(), 0);
    EXPECT_EQ(form.height(), 120 + menu->height());

    form.Show();
    ProcessEvents();
    EXPECT_EQ(form.Client()->geometry(), QRect(0, menu->height(), 300, 120)) << "once shown too";
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the user cannot resize it";
    EXPECT_EQ(form.size(), QSize(300, 120 + menu->height()));

    // A form without a menu gets no empty menu bar.
    toolkit::TForm bare("Form8");
    bare.SetClientSize(200, 80);
    EXPECT_EQ(bare.Menu(), nullptr);
    EXPECT_EQ(bare.size(), QSize(200, 80));
    EXPECT_EQ(bare.Menu(), nullptr);
}

TEST(FormTest, ColoursAndFontFollowTheDesign) {
    toolkit::TForm form("Form9");
    EXPECT_EQ(form.Color(), graphics::clBtnFace);
    const platform::COLORREF face = platform::GetSysColor(platform::COLOR_BTNFACE);
    EXPECT_EQ(
        form.palette().color(QPalette::Window),
        QColor(platform::GetRValue(face), platform::GetGValue(face), platform::GetBValue(face)));
    form.SetColor(graphics::clNavy);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.font().family(), toolkit::ResolveFamily("MS Sans Serif"));
    EXPECT_EQ(toolkit::ResolveFamily("MS Sans Serif"), QStringLiteral("Liberation Sans"))
        << "the face the card's own text drawing uses";
}

TEST(LabeledEditTest, LabelSitsLeftOfTheEditRightAlignedAndCentred) {
    QWidget parent;
    parent.setFont(toolkit::FormFont());
    parent.resize(400, 200);
    toolkit::TLabeledEdit edit(&parent, "LabeledEdit1");
    edit.SetLabelCaption("Operator: ");
    edit.SetBounds(200, 72, 105);
    const QRect field = edit.Bounds();
    const QRect label = edit.LabelBounds();
    EXPECT_EQ(field, QRect(200, 72, 105, 21));
    EXPECT_EQ(label.height(), 13);
    EXPECT_EQ(label.right() + 1 + toolkit::TLabeledEdit::kLabelSpacing, 200);
    EXPECT_EQ(label.top(), 72 + (21 - 13) / 2);
    EXPECT_EQ(label.width(), edit.EditLabel()->fontMetrics().horizontalAdvance("Operator: "));
    EXPECT_EQ(edit.geometry(), label.united(field)) << "one control spans label and edit";

    parent.show();
    edit.SetBounds(300, 10, 60); // the label follows the edit
    EXPECT_EQ(edit.Bounds(), QRect(300, 10, 60, 21));
    EXPECT_EQ(edit.LabelBounds().right() + 1 + 3, 300);
    EXPECT_EQ(edit.LabelBounds().top(), 14);
    edit.move(edit.pos() + QPoint(5, 7)); // moved as a whole, it stays together
    EXPECT_EQ(edit.Bounds(), QRect(305, 17, 60, 21));
    EXPECT_EQ(edit.LabelBounds().right() + 1 + 3, 305);
}

TEST(LabeledEditTest, ANewCaptionMovesTheLabelNotTheEdit) {
    QWidget parent;
    parent.setFont(toolkit::FormFont());
    toolkit::TLabeledEdit edit(&parent, "LabeledEdit1");
    edit.SetBounds(120, 40, 73);
    edit.SetLabelCaption("QRA: ");
    const int shortWidth = edit.LabelBounds().width();
    edit.SetLabelCaption("Contacted station: ");
    EXPECT_EQ(edit.Bounds(), QRect(120, 40, 73, 21));
    EXPECT_GT(edit.LabelBounds().width(), shortWidth);
    EXPECT_EQ(edit.LabelBounds().right() + 1 + 3, 120);
    edit.SetLabelCaption("");
    EXPECT_EQ(edit.Bounds(), QRect(120, 40, 73, 21));
    EXPECT_EQ(edit.LabelBounds().width(), 0);
}

// A form with two labelled edits and a button whose tab order runs against their creation
// order, and a window command on Ctrl+Z as the main window has.
class LabeledEditInFormTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        form_ = std::make_unique<toolkit::TForm>("Form9");
        form_->SetClientSize(300, 120);
        first_ = new toolkit::TLabeledEdit(form_->Client(), "LabeledEdit1");
        first_->SetLabelCaption("QRA: ");
        first_->SetBounds(60, 10, 80);
        second_ = new toolkit::TLabeledEdit(form_->Client(), "LabeledEdit2");
        second_->SetLabelCaption("Operator: ");
        second_->SetBounds(60, 50, 80);
        button_ = new toolkit::TButton(form_->Client(), "Button1");
        toolkit::SetBounds(*button_, 200, 50, 60, 25);
        toolkit::SetTabOrder(*second_, 0);
        toolkit::SetTabOrder(*button_, 1);
        toolkit::SetTabOrder(*first_, 2);
        form_->ApplyTabOrder();
        QMenuBar* menu = toolkit::NewMainMenu(form_.get(), "MainMenu1");
        QMenu* edit = toolkit::AddMenu(menu, "Edit1", "&Edit");
        toolkit::AddItem(edit, {"Undo1", "&Undo", toolkit::ShortCut('Z', toolkit::scCtrl), ""},
                         [this] { ++undos_; });
        form_->SetMenu(menu);
        form_->Show();
        ProcessEvents();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }
    void TearDown() override {
        form_.reset();
        AppTest::TearDown();
    }
    std::unique_ptr<toolkit::TForm> form_;
    toolkit::TLabeledEdit* first_ = nullptr;
    toolkit::TLabeledEdit* second_ = nullptr;
    toolkit::TButton* button_ = nullptr;
    int undos_ = 0;
};

TEST_F(LabeledEditInFormTest, TabFollowsTheTabOrderThroughTheEdits) {
    second_->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), second_->Edit()) << "the control hands the focus on";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(button_->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(first_->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(second_->hasFocus()) << "round again";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(first_->hasFocus());

    button_->setFocus();
    QTest::mouseClick(second_->EditLabel(), Qt::LeftButton);
    EXPECT_TRUE(button_->hasFocus()) << "a click on the label moves no focus";
    QTest::mouseClick(second_->Edit(), Qt::LeftButton);
    EXPECT_TRUE(second_->hasFocus()) << "a click into the edit focuses it";
}

TEST_F(LabeledEditInFormTest, TypingEditsTheTextAndCtrlZStaysTheWindowsUndo) {
    first_->setFocus();
    QTest::keyClicks(first_->Edit(), "k1abc");
    EXPECT_EQ(first_->Text(), "k1abc");
    QTest::keyClick(first_->Edit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos_, 1);
    EXPECT_EQ(first_->Text(), "k1abc") << "the edit's own undo did not run";

    // Keys sent to the control rather than to its edit arrive all the same.
    QTest::keyClick(first_, Qt::Key_D);
    EXPECT_EQ(first_->Text(), "k1abcd");
    QTest::keyClick(first_, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos_, 2);
    EXPECT_EQ(first_->Text(), "k1abcd");
}

TEST_F(LabeledEditInFormTest, AKeyTheEditLeavesIsHandledOnceAndPassedOn) {
    int returns = 0;
    QObject::connect(first_->Edit(), &QLineEdit::returnPressed, [&] { ++returns; });
    first_->setFocus();
    QTest::keyClick(first_->Edit(), Qt::Key_Return);
    EXPECT_EQ(returns, 1) << "the edit handles Return and leaves it to its window";
    QTest::keyClick(first_, Qt::Key_Return);
    EXPECT_EQ(returns, 2);
    QTest::keyClick(first_->Edit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos_, 1);
}

TEST_F(LabeledEditInFormTest, TheHintShowsOverTheEditOnly) {
    toolkit::SetHint(*first_, "Your QRA");
    auto hover = [&](QWidget* target) {
        const QPoint at = target->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &help);
        ProcessEvents();
    };
    hover(first_->EditLabel());
    EXPECT_TRUE(QToolTip::text().isEmpty());
    hover(first_->Edit());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Your QRA"));
    QToolTip::hideText();
}

TEST(MenuTest, ShortCutValuesBecomeKeySequences) {
    EXPECT_EQ(toolkit::ShortCut('C', toolkit::scCtrl), 16451);
    EXPECT_EQ(toolkit::ShortCut('X', toolkit::scCtrl), 16472);
    EXPECT_EQ(toolkit::ShortCut('V', toolkit::scCtrl), 16470);
    EXPECT_EQ(toolkit::ShortCut('Z', toolkit::scCtrl), 16474);
    EXPECT_EQ(toolkit::ShortCut('P', toolkit::scCtrl), 16464);
    EXPECT_EQ(toolkit::ToKeySequence(16451), QKeySequence(QStringLiteral("Ctrl+C")));
    EXPECT_EQ(toolkit::ToKeySequence(toolkit::ShortCut('S', toolkit::scCtrl | toolkit::scShift)),
              QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    EXPECT_TRUE(toolkit::ToKeySequence(toolkit::scNone).isEmpty());
}

TEST(MenuTest, PopupItemsShowTheirShortcutWithoutTakingTheKey) {
    QWidget owner;
    QMenu* popup = toolkit::NewPopupMenu(&owner, "PopupMenu1");
    QAction* copy = toolkit::AddPopupItem(popup, {"Copy1", "Copy", 16451, ""}, {});
    EXPECT_EQ(toolkit::CaptionOf(*copy), "Copy");
    EXPECT_EQ(toolkit::ShortCutOf(*copy), 16451);
    EXPECT_TRUE(copy->shortcut().isEmpty());
    EXPECT_TRUE(copy->text().endsWith(
        QKeySequence(QStringLiteral("Ctrl+C")).toString(QKeySequence::NativeText)));
}

TEST(DialogTest, FiltersConvertToQtNameFilters) {
    EXPECT_EQ(toolkit::ToQtFilter("JPEG|*.jpg|Bitmap|*.bmp|GIF|*.gif"),
              "JPEG (*.jpg);;Bitmap (*.bmp);;GIF (*.gif)");
    EXPECT_EQ(toolkit::ToQtFilter("All (*.jpg;*.bmp)|*.jpg;*.bmp"),
              "All (*.jpg;*.bmp) (*.jpg *.bmp)");
    EXPECT_EQ(toolkit::ToQtFilter(""), "");
    EXPECT_EQ(toolkit::ToQtFilter("Odd|"), "Odd ()");
}

TEST_F(AppTest, DialogsGoThroughTheInstalledProvider) {
    dialogs_.color.push_back([](toolkit::TColorDialog& d) {
        d.Color = graphics::clLime;
        return true;
    });
    toolkit::TColorDialog colours;
    EXPECT_TRUE(colours.Execute());
    EXPECT_EQ(colours.Color, graphics::clLime);
    EXPECT_FALSE(colours.Execute()) << "nothing scripted: cancelled";
    EXPECT_EQ(colours.Color, graphics::clLime) << "a cancel keeps the value";

    toolkit::TFontDialog fonts;
    EXPECT_EQ(fonts.Font().Name(), "MS Sans Serif");
    EXPECT_EQ(fonts.Font().Height(), -11);
    EXPECT_EQ(fonts.Font().Color(), graphics::clWindowText);
    EXPECT_EQ(dialogs_.shown, 2);
}

class IniFileTest : public AppTest {};

TEST_F(IniFileTest, ReadsDefaultsAndWritesAtOnce) {
    toolkit::TIniFile ini(ProfilePath().string());
    EXPECT_EQ(ini.ReadString("User", "CALLID", "none"), "none");
    ini.WriteString("User", "CALLID", "K1ABC");
    EXPECT_EQ(ReadProfileFile(), "[User]\nCALLID=K1ABC\n");
    EXPECT_EQ(ini.ReadString("user", "callid", ""), "K1ABC");
}

TEST_F(IniFileTest, ARefusedWriteRaisesUnableToWriteWithThePath) {
    std::ofstream(folder_ / "file") << "x";
    const std::string path = (folder_ / "file" / "velmora.ini").string();
    toolkit::TIniFile ini(path);
    try {
        ini.WriteString("User", "CALLID", "K1ABC");
        FAIL() << "the write went through";
    } catch (const toolkit::EIniFileException& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + path);
        EXPECT_EQ(e.ErrorNumber(), ENOTDIR);
    }
}

} // namespace
