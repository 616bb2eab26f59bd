// The setup window with the station profile, and the About window, against their design.
#include "AppTestSupport.h"
#include "app/mnAbout.h"
#include "app/mnSetup.h"
#include "app/mnVelmora.h"
#include "app/toolkit/Style.h"

#include <QLabel>
#include <QTextBlock>
#include <QTextDocument>
#include <fstream>
#include <string>
#include <vector>

namespace {

using apptest::AppTest;
using apptest::ProcessEvents;
using velmora::Form1;
using velmora::Form2;
using velmora::Form3;

struct SetupRow {
    const char* name;
    const char* label;
    int tabOrder;
    int left, top, width;
};

const std::vector<SetupRow> kSetupEdits{
    {"LabeledEdit1", "CALLID:", 0, 64, 24, 89},    {"LabeledEdit7", "Country:", 6, 208, 24, 137},
    {"LabeledEdit2", "Name:", 1, 64, 56, 281},     {"LabeledEdit3", "ADDR:", 2, 64, 88, 281},
    {"LabeledEdit4", "City:", 3, 64, 120, 185},    {"LabeledEdit5", "State:", 4, 296, 120, 49},
    {"LabeledEdit6", "ZIP:", 5, 64, 152, 193},     {"LabeledEdit8", "RIG:", 7, 64, 184, 281},
    {"LabeledEdit9", "Antenna:", 8, 64, 216, 193}, {"LabeledEdit10", "PWR:", 9, 296, 216, 49},
    {"LabeledEdit11", "TKS :", 14, 64, 248, 281},
};

// A profile whose every value differs, written as a user's editor might (odd case, blanks).
constexpr char kProfile[] = "[user]\n"
                            "CALLID = k1abc\n"
                            "Country=USA\n"
                            "Name=Ann Smith\n"
                            "Addr=12 Main St\n"
                            "City=Springfield\n"
                            "State=MA\n"
                            "ZIP=01101\n"
                            "RIG=IC-7300\n"
                            "ANT=Dipole\n"
                            "PWR=  100  \n"
                            "TKS=Tnx fer QSO\n";

class SetupTest : public AppTest {
  protected:
    toolkit::TLabeledEdit* Edit(const char* name) const {
        return Form3->findChild<toolkit::TLabeledEdit*>(QString::fromLatin1(name));
    }
    std::vector<std::string> SetupTexts() const {
        std::vector<std::string> texts;
        for (int i = 1; i <= 11; ++i)
            texts.push_back(Edit(("LabeledEdit" + std::to_string(i)).c_str())->Text());
        return texts;
    }
};

TEST_F(SetupTest, WindowMatchesTheDesign) {
    StartProgram();
    EXPECT_EQ(Form3->Caption(), "Setup Parameters");
    EXPECT_EQ(Form3->ClientWidth(), 378);
    EXPECT_EQ(Form3->ClientHeight(), 336);
    EXPECT_EQ(Form3->Position(), toolkit::poMainFormCenter);
    EXPECT_EQ(Form3->Color(), graphics::clBtnFace);
    EXPECT_EQ(Form3->font().pixelSize(), 11);
    EXPECT_EQ(Form3->Menu(), nullptr);
    for (const SetupRow& row : kSetupEdits) {
        SCOPED_TRACE(row.name);
        toolkit::TLabeledEdit* edit = Edit(row.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->Bounds(), QRect(row.left, row.top, row.width, 21));
        EXPECT_EQ(edit->LabelCaption(), row.label);
        EXPECT_EQ(toolkit::TabOrder(*edit), row.tabOrder);
        EXPECT_EQ(toolkit::Hint(*edit), "") << "no control has a hint";
        EXPECT_EQ(edit->LabelBounds().right() + 1 + 3, row.left);
    }
    const std::vector<std::tuple<toolkit::TBitBtn*, const char*, int, int>> buttons{
        {Form3->BitBtn1, "Save", 10, 64},
        {Form3->BitBtn2, "Clear", 11, 152},
        {Form3->BitBtn3, "Cancel", 12, 240}};
    for (const auto& [button, caption, tab, left] : buttons) {
        EXPECT_EQ(button->Caption(), caption);
        EXPECT_EQ(button->geometry(), QRect(left, 281, 75, 25));
        EXPECT_EQ(toolkit::TabOrder(*button), tab);
    }
    EXPECT_EQ(Form3->StatusBar1->geometry(), QRect(0, 317, 378, 19));
    EXPECT_FALSE(Form3->isVisible()) << "created hidden";
}

TEST_F(SetupTest, ShownCentredOnTheMainWindowWithoutBlockingIt) {
    StartProgram();
    Form1->Show();
    ProcessEvents();
    Form1->Parms1Click();
    ProcessEvents();
    ASSERT_TRUE(Form3->isVisible());
    EXPECT_FALSE(Form3->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QPoint mainCentre = Form1->frameGeometry().center();
    const QPoint setupCentre = Form3->frameGeometry().center();
    EXPECT_LE(std::abs(mainCentre.x() - setupCentre.x()), 1);
    EXPECT_LE(std::abs(mainCentre.y() - setupCentre.y()), 1);
}

TEST_F(SetupTest, FieldsStartWithTheProfileReadAtStartUp) {
    WriteProfileFile(kProfile);
    StartProgram();
    EXPECT_EQ(SetupTexts(), (std::vector<std::string>{"k1abc", "Ann Smith", "12 Main St",
                                                      "Springfield", "MA", "01101", "USA",
                                                      "IC-7300", "Dipole", "100", "Tnx fer QSO"}));
    // The main window's fields got theirs from the same reading.
    EXPECT_EQ(Form1->LabeledEdit1->Text(), "k1abc");
    EXPECT_EQ(Form1->LabeledEdit2->Text(), "Ann Smith");
    EXPECT_EQ(Form1->LabeledEdit11->Text(), "12 Main St");
    EXPECT_EQ(Form1->LabeledEdit15->Text(), "Springfield");
    EXPECT_EQ(Form1->LabeledEdit16->Text(), "MA");
    EXPECT_EQ(Form1->LabeledEdit10->Text(), "USA");
    EXPECT_EQ(Form1->LabeledEdit13->Text(), "IC-7300");
    EXPECT_EQ(Form1->LabeledEdit17->Text(), "Dipole");
    EXPECT_EQ(Form1->LabeledEdit9->Text(), "Tnx fer QSO");
    EXPECT_EQ(Form1->LabeledEdit18->Text(), "01101");
    EXPECT_EQ(Form1->Session().Profile().PWR, "100") << "PWR has no main-window field";
}

TEST_F(SetupTest, SaveWritesElevenKeysInTableOrderAndTouchesNothingElse) {
    WriteProfileFile(kProfile);
    StartProgram();
    Form1->LabeledEdit1->SetText("typed over");
    Edit("LabeledEdit1")->SetText("W1NEW");
    Edit("LabeledEdit10")->SetText(" 5 ");
    Form3->Show();
    Form3->BitBtn1->click();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(ReadProfileFile(), "[user]\n"
                                 "CALLID=W1NEW\n"
                                 "Country=USA\n"
                                 "Name=Ann Smith\n"
                                 "Addr=12 Main St\n"
                                 "City=Springfield\n"
                                 "State=MA\n"
                                 "ZIP=01101\n"
                                 "RIG=IC-7300\n"
                                 "ANT=Dipole\n"
                                 "PWR=5\n"
                                 "TKS=Tnx fer QSO\n");
    EXPECT_EQ(Form1->Session().Profile().CALLID, "W1NEW");
    EXPECT_EQ(Form1->Session().Profile().PWR, " 5 ") << "the value in memory is the field's text";
    EXPECT_EQ(Form1->CurrentCardData().power, " 5 ") << "the next Verify draws the new power";
    EXPECT_EQ(Form1->LabeledEdit1->Text(), "typed over") << "main-window fields keep theirs";
    EXPECT_TRUE(Form3->isVisible()) << "the window stays open";
}

TEST_F(SetupTest, SaveWithEveryFieldEmptyWritesEmptyValuesThatReadBackEmpty) {
    StartProgram();
    Form3->BitBtn1->click();
    std::string expected = "[User]\n";
    for (const auto& key : velmora::kProfileKeys)
        expected += std::string(key.key) + "=\n";
    EXPECT_EQ(ReadProfileFile(), expected);

    // The next start reads them back as empty, the thanks field included.
    app_.reset();
    app_ = std::make_unique<toolkit::TApplication>();
    app_->SetExeNameForTesting((folder_ / "velmora").string());
    StartProgram();
    EXPECT_EQ(Form1->LabeledEdit9->Text(), "");
    EXPECT_EQ(Form1->Session().Profile(), velmora::StationProfile{});
}

TEST_F(SetupTest, ClearEmptiesOnlyTheFieldsAndCancelKeepsThemForNextTime) {
    WriteProfileFile(kProfile);
    StartProgram();
    Form1->Show();
    ProcessEvents();
    Form1->Parms1Click();
    Form3->BitBtn2->click();
    EXPECT_EQ(SetupTexts(), std::vector<std::string>(11, ""));
    EXPECT_EQ(Form1->Session().Profile().CALLID, "k1abc");
    EXPECT_EQ(ReadProfileFile(), kProfile);

    Form3->BitBtn3->click();
    ProcessEvents();
    EXPECT_FALSE(Form3->isVisible());
    Form1->Parms1Click();
    ProcessEvents();
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(SetupTexts(), std::vector<std::string>(11, "")) << "fields are not refilled";
    EXPECT_EQ(ReadProfileFile(), kProfile);
}

TEST_F(SetupTest, ARefusedWriteShowsUnableToWriteAndWritesNoFurtherKey) {
    // The "executable" lies in a folder that is a regular file: no write can ever succeed.
    std::ofstream(folder_ / "blocked") << "x";
    app_->SetExeNameForTesting((folder_ / "blocked" / "velmora").string());
    StartProgram();
    const std::string path = (folder_ / "blocked" / "velmora.ini").string();
    EXPECT_EQ(Form1->Session().Store().IniPath, path);
    Edit("LabeledEdit1")->SetText("K1ABC");
    Edit("LabeledEdit11")->SetText("thanks");
    Form3->BitBtn1->click();
    ASSERT_EQ(boxes_.size(), 1u) << "one failure: the keys after the first are not tried";
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(boxes_[0].text, "Unable to write to " + path + ".");
    EXPECT_EQ(Form1->Session().Profile().CALLID, "K1ABC")
        << "memory already holds the fields' texts";
    EXPECT_EQ(Form1->Session().Profile().TKS, "thanks");
}

TEST_F(SetupTest, LongValuesAreCutTo2047Bytes) {
    WriteProfileFile("[User]\nTKS=" + std::string(3000, 't') + "\n");
    StartProgram();
    EXPECT_EQ(Form1->LabeledEdit9->Text(), std::string(2047, 't'));
    EXPECT_EQ(Edit("LabeledEdit11")->Text().size(), 2047u);
}

class AboutTest : public AppTest {};

TEST_F(AboutTest, WindowMatchesTheDesign) {
    StartProgram();
    EXPECT_EQ(Form2->Caption(), "About");
    EXPECT_EQ(Form2->ClientWidth(), 330);
    EXPECT_EQ(Form2->ClientHeight(), 183);
    EXPECT_EQ(Form2->Position(), toolkit::poMainFormCenter);
    EXPECT_EQ(Form2->Color(), graphics::clNavy);
    EXPECT_EQ(Form2->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(Form2->font().pixelSize(), 11);

    toolkit::TRichEdit* text = Form2->RichEdit1;
    EXPECT_EQ(text->geometry(), QRect(0, 0, 329, 137));
    EXPECT_EQ(toolkit::TabOrder(*text), 0);
    EXPECT_FALSE(text->isReadOnly());
    EXPECT_EQ(text->palette().color(QPalette::Base), QColor(0, 0, 128));
    EXPECT_EQ(text->palette().color(QPalette::Text), toolkit::ToQColor(graphics::clWindow));
    EXPECT_EQ(text->font().family(), toolkit::ResolveFamily("MS Sans Serif"));
    EXPECT_EQ(text->font().pixelSize(), 11);
    const std::vector<std::string> expected{
        "Select your background image using Find button.",
        "If you only want an empty template, touch Vfy button and save the ",
        "image.",
        "You may send all or some of the parameters, without problem, but ",
        "the Operator, QTH and Radio only appear on",
        "card if we have some content.",
        "November/2012",
        "",
        ""};
    EXPECT_EQ(text->Lines(), expected);
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
        EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    EXPECT_EQ(Form2->Button1->Caption(), "Ok");
    EXPECT_EQ(Form2->Button1->geometry(), QRect(128, 152, 75, 25));
    EXPECT_EQ(toolkit::TabOrder(*Form2->Button1), 1);
    EXPECT_FALSE(Form2->isVisible());
}

TEST_F(AboutTest, AboutShowsItModelesslyAndOkHidesIt) {
    StartProgram();
    Form1->Show();
    ProcessEvents();
    Form1->About2Click();
    ProcessEvents();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Form1->About2Click(); // again: brought to the front, still one window
    EXPECT_TRUE(Form2->isVisible());
    Form2->Button1->click();
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_TRUE(Form1->isVisible());
}

} // namespace
