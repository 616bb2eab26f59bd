// Help → How To: the program's help viewer showing the help file of the current folder, its
// errors, its links, and the shipped help file's coverage of the program.
#include "AppTestSupport.h"
#include "app/help/HelpViewer.h"
#include "app/mnVelmora.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using apptest::AppTest;
using apptest::ProcessEvents;
using velmora::Form1;

constexpr char kSmallHelp[] = "<html><head><title>Test Help</title></head><body>"
                              "<h1>Making a card</h1><p>Touch Find to choose a picture.</p>"
                              "</body></html>";

class HelpTest : public apptest::StartedInOwnFolderTest {
  protected:
    void WriteHelp(const std::string& html) const {
        std::ofstream(cwd_ / "VELMORA.HLP", std::ios::binary) << html;
    }
    void HowTo() {
        app_->Guard([] { Form1->HowTo1Click(); });
    }
    help::THelpViewer* Viewer() const {
        return Form1->findChild<help::THelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    }
    std::string Text() const { return Viewer()->Browser()->toPlainText().toStdString(); }
};

TEST_F(HelpTest, HowToShowsTheHelpFileOfTheCurrentFolder) {
    WriteHelp(kSmallHelp);
    HowTo();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    ASSERT_NE(Viewer(), nullptr);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_TRUE(Viewer()->isWindow());
    EXPECT_EQ(Viewer()->FileName(), (cwd_ / "VELMORA.HLP").string());
    EXPECT_NE(Text().find("Touch Find to choose a picture."), std::string::npos) << Text();
    EXPECT_EQ(Text().find("<h1>"), std::string::npos) << "shown as a page, not as source";
    EXPECT_EQ(Viewer()->windowTitle(), "Test Help");
}

TEST_F(HelpTest, ASecondHowToReusesTheWindowAndReadsTheFileAgain) {
    WriteHelp(kSmallHelp);
    HowTo();
    help::THelpViewer* first = Viewer();
    WriteHelp("<html><body><p>Edited help.</p></body></html>");
    HowTo();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Viewer(), first);
    EXPECT_EQ(Form1->findChildren<help::THelpViewer*>().size(), 1);
    EXPECT_NE(Text().find("Edited help."), std::string::npos);
    EXPECT_EQ(Viewer()->windowTitle(), "Velmora Help") << "a page without a title";
}

TEST_F(HelpTest, AMissingHelpFileIsReportedAndNothingIsShown) {
    HowTo();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(
        boxes_[0].text.rfind("Cannot open file \"" + (cwd_ / "VELMORA.HLP").string() + "\"", 0), 0u)
        << boxes_[0].text;
    EXPECT_TRUE(Viewer() == nullptr || !Viewer()->isVisible());
}

TEST_F(HelpTest, ALinkInsideThePageScrollsToItsPlace) {
    std::string page = "<html><body><p><a href=\"#end\">To the end</a></p>";
    for (int i = 0; i < 200; ++i)
        page += "<p>Line " + std::to_string(i) + "</p>";
    page += "<h2><a name=\"end\"></a>The end</h2></body></html>";
    WriteHelp(page);
    HowTo();
    ASSERT_NE(Viewer(), nullptr);
    ProcessEvents();
    QTextBrowser* browser = Viewer()->Browser();
    ASSERT_EQ(browser->verticalScrollBar()->value(), 0);
    emit browser->anchorClicked(QUrl(QStringLiteral("#end")));
    ProcessEvents();
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    EXPECT_NE(Text().find("Line 199"), std::string::npos) << "the page itself stays";
}

TEST_F(HelpTest, ComingBackFromTheHelpViewerIsNoActivation) {
    WriteHelp(kSmallHelp);
    Form1->Show();
    ProcessEvents();
    Form1->Session().State().TextColor = graphics::clRed;
    HowTo();
    ProcessEvents();
    Form1->activateWindow();
    ProcessEvents();
    EXPECT_EQ(Form1->Session().State().TextColor, graphics::clRed);
}

// The shipped help file describes the whole program: every menu command, every shortcut and
// every field of the main window is named in it.
TEST_F(HelpTest, TheShippedHelpFileCoversEveryCommandShortcutAndField) {
    fs::current_path(VELMORA_DATA_DIR);
    HowTo();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    const std::string text = Text();
    for (const char* word : {"Find",        "Verify",      "Save As",     "Print",
                             "Print Setup", "Exit",        "Undo",        "Redo",
                             "Cut",         "Copy",        "Paste",       "Select Font Color",
                             "Setup Parms", "CallID Font", "How To",      "About",
                             "Ctrl+Z",      "Ctrl+X",      "Ctrl+C",      "Ctrl+V",
                             "Ctrl+P",      "QRA",         "Operator",    "Rem QRA",
                             "Rem Op",      "Date",        "UTC",         "QRG",
                             "RST",         "Mode",        "QTH",         "Country",
                             "RIG",         "Thanks",      "Image",       "City",
                             "State",       "ANT",         "ZIP",         "blankcard.jpg",
                             "Open Log",    "Ctrl+L",      "Print Labels"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}

} // namespace
