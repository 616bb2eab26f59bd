// The program's start-up order, and activation of the main window: a new clipboard object and
// the text colour back to black on every return from another window of the program, but not on
// a return from a common dialog.
#include "AppTestSupport.h"
#include "app/Velmora.h"
#include "app/mnAbout.h"
#include "app/mnSetup.h"
#include "app/mnVelmora.h"
#include "graphics/PictureFormats.h"
#include "tjpeg/JpegFileImage.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QTimer>
#include <string>
#include <vector>

namespace {

using apptest::AppTest;
using apptest::ProcessEvents;
using velmora::Form1;
using velmora::Form2;
using velmora::Form3;

class StartupTest : public AppTest {};

TEST_F(StartupTest, StepsRunInOrderAndCreateThreeWindows) {
    std::vector<std::string> seenAtForm1;
    WriteProfileFile("[User]\nCALLID=K1ABC\nPWR=50\n");
    velmora::StartVelmora(*app_, [&](std::string_view step) {
        steps_.emplace_back(step);
        if (step == "modules") {
            // The readers are in the picture format list before any window exists.
            EXPECT_NE(graphics::FindGraphicClass("jpeg"), nullptr);
            EXPECT_NE(graphics::FindGraphicClass("jpg"), nullptr);
            // The second JPEG codec entered "jpg" last, so a lookup of "jpg" yields it.
            EXPECT_EQ(graphics::FindGraphicClass("jpg"), &tjpeg::TJpegFileImage::Class());
            EXPECT_NE(graphics::FindGraphicClass("gif"), nullptr);
            EXPECT_EQ(Form1, nullptr);
        }
        if (step == "TForm1") {
            // The main window exists with its profile read; the others do not exist yet.
            EXPECT_NE(Form1, nullptr);
            EXPECT_EQ(Form2, nullptr);
            EXPECT_EQ(Form3, nullptr);
            EXPECT_EQ(Form1->LabeledEdit1->Text(), "K1ABC");
        }
    });
    EXPECT_EQ(steps_, (std::vector<std::string>{"modules", "application", "help file", "title",
                                                "TForm1", "TForm2", "TForm3"}));
    EXPECT_EQ(app_->Title(), "Velmora");
    const std::filesystem::path help(app_->HelpFile());
    EXPECT_TRUE(help.is_absolute());
    EXPECT_EQ(help.filename(), "VELMORA.HLP");

    ASSERT_EQ(app_->Forms().size(), 3u);
    EXPECT_EQ(app_->Forms()[0].get(), Form1);
    EXPECT_EQ(app_->Forms()[1].get(), Form2);
    EXPECT_EQ(app_->Forms()[2].get(), Form3);
    EXPECT_EQ(app_->MainForm(), Form1);
    EXPECT_FALSE(Form1->isVisible()) << "the message loop shows it";
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_EQ(Form3->LabeledEdit1->Text(), "K1ABC");
    EXPECT_EQ(Form3->LabeledEdit10->Text(), "50");
}

TEST_F(StartupTest, TheMessageLoopShowsTheMainWindowAndEndsWithIt) {
    StartProgram();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = Form1->isVisible();
        Form1->Exit1Click();
    });
    EXPECT_EQ(app_->Run(), 0);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(Form1->isVisible());
}

class MainActivationTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        StartProgram();
        Form1->Show();
        ProcessEvents();
    }
    // The clipboard object's identity: a new object while the old one still exists has
    // another address.
    const void* ClipboardSerial() const { return Form1->Session().State().ClipboardObj.get(); }
};

TEST_F(MainActivationTest, FirstShowingMakesAClipboardObjectAndBlackText) {
    EXPECT_NE(Form1->Session().State().ClipboardObj, nullptr);
    EXPECT_EQ(Form1->Session().State().TextColor, graphics::clBlack);
    EXPECT_EQ(app_->ActiveForm(), Form1);
}

TEST_F(MainActivationTest, ReturningFromTheAboutOrSetupWindowResetsTheTextColour) {
    for (toolkit::TForm* other :
         {static_cast<toolkit::TForm*>(Form2), static_cast<toolkit::TForm*>(Form3)}) {
        SCOPED_TRACE(other->objectName().toStdString());
        Form1->Session().State().TextColor = graphics::clRed;
        const void* before = ClipboardSerial();
        if (other == Form2)
            Form1->About2Click();
        else
            Form1->Parms1Click();
        ProcessEvents();
        EXPECT_EQ(app_->ActiveForm(), other);
        EXPECT_EQ(Form1->Session().State().TextColor, graphics::clRed)
            << "no reset before the return";
        if (other == Form2)
            Form2->Button1->click();
        else
            Form3->BitBtn3->click();
        ProcessEvents();
        EXPECT_EQ(app_->ActiveForm(), Form1);
        EXPECT_EQ(Form1->Session().State().TextColor, graphics::clBlack);
        EXPECT_NE(ClipboardSerial(), before) << "a new clipboard object";
        EXPECT_EQ(Form1->CurrentCardData().textColor, graphics::clBlack)
            << "the next Verify draws in black";
    }
}

TEST_F(MainActivationTest, ReturningFromACommonDialogKeepsTheTextColour) {
    auto qtDialogs = toolkit::NewQtDialogProvider();
    toolkit::ScopedDialogProvider real(*qtDialogs);
    Form1->Session().State().TextColor = graphics::clRed;
    const void* before = ClipboardSerial();

    bool colourDialogSeen = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        colourDialogSeen = true;
        dialog->reject();
    });
    Form1->ColorDialog1.Execute();
    ProcessEvents();

    bool fileDialogSeen = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        fileDialogSeen = true;
        dialog->reject();
    });
    Form1->OpenDialog1.Execute();
    ProcessEvents();

    EXPECT_TRUE(colourDialogSeen);
    EXPECT_TRUE(fileDialogSeen);
    EXPECT_EQ(QApplication::activeWindow(), Form1);
    EXPECT_EQ(Form1->Session().State().TextColor, graphics::clRed);
    EXPECT_EQ(ClipboardSerial(), before);
}

} // namespace
