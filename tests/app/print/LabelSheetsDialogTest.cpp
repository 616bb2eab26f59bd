// File > Print Labels...: the label sheets dialog on a log written here. Its counts follow the
// options, its PDF says exactly what the card would say of each contact on the slot the skip
// count gives, printing through Qt gives as many pages, and a log that cannot be read is
// reported without a dialog.
#include "app/labels/LabelSheetsDialog.h"

#include "../../labels/LabelWords.h"
#include "../AppTestSupport.h"
#include "PdfProbe.h"
#include "app/mnVelmora.h"
#include "app/print/PrintDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;
namespace lb = velmora::labels;
using apptest::AppTest;
using apptest::ProcessEvents;
using labels_test::ExpectedWords;
using labels_test::WordsIn;
using velmora::Form1;
using velmora::labels_window::LabelSheetsDialog;

// DL1ABC three times (queued, not sent, queued; logged out of order), F5XYZ requested with its
// card received, OH2BH already sent, and a record without a call.
constexpr std::string_view kLog =
    "<ADIF_VER:5>3.1.4<EOH>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<FREQ:6>14.074<MODE:3>FT8<RST_SENT:3>-12"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_SENT:1>Q<EOR>\n"
    "<CALL:5>F5XYZ<QSO_DATE:8>20261201<TIME_ON:4>2359<BAND:3>40m<MODE:2>CW<RST_SENT:3>599"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_SENT:1>R<QSL_RCVD:1>Y<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261208<TIME_ON:6>090000<FREQ:5>7.074<MODE:3>FT8<RST_SENT:3>-05"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_VIA:5>DL9ZZ<QSL_SENT:1>N<EOR>\n"
    "<CALL:5>OH2BH<QSO_DATE:8>20261202<TIME_ON:4>1000<FREQ:6>21.020<MODE:2>CW<RST_SENT:3>599"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_SENT:1>Y<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261209<TIME_ON:4>0700<FREQ:5>3.573<MODE:3>FT8<RST_SENT:3>-20"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_SENT:1>Q<EOR>\n"
    "<QSO_DATE:8>20261203<TIME_ON:4>1200<MODE:2>CW<EOR>\n";

class LabelPrintDialogs : public velmora::print::PrintDialogProvider {
  public:
    std::optional<QString> pdf; // answer "Print to File (PDF)" with this name; else cancel
    int shown = 0;
    QPageSize pageOffered;
    bool RunPrint(QPrinter&, velmora::print::PrintOptions&) override { return false; }
    bool RunPageSetup(QPrinter&) override { return false; }
    bool RunPrintLabels(QPrinter& printer) override {
        ++shown;
        pageOffered = printer.pageLayout().pageSize();
        if (!pdf)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*pdf);
        return true;
    }
};

class LabelSheetsDialogTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        // The last log is remembered in the user's settings: this test's folder, not the home.
        if (const char* previous = std::getenv("XDG_CONFIG_HOME"))
            savedConfigHome_ = previous;
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        printGuard_ = std::make_unique<velmora::print::ScopedPrintDialogProvider>(printDialogs_);
        StartProgram();
        ASSERT_NE(Form1, nullptr);
        Write(Log(), kLog);
        records_ = adif::ParseLog("log.adi", kLog);
    }
    void TearDown() override {
        printGuard_.reset();
        if (savedConfigHome_)
            ::setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        AppTest::TearDown();
    }

    static void Write(const fs::path& path, std::string_view text) {
        std::ofstream out(path, std::ios::binary);
        out.write(text.data(), std::streamsize(text.size()));
    }
    fs::path Log() const { return folder_ / "log.adi"; }
    const adif::Record* At(size_t i) const { return &records_.at(i); }

    // File > Print Labels... with the open dialog answered by path.
    LabelSheetsDialog* Open(const fs::path& path) {
        dialogs_.open.push_back([path](toolkit::TOpenDialog& dialog) {
            dialog.FileName = path.string();
            return true;
        });
        Form1->findChild<QAction*>(QStringLiteral("PrintLabels1"))->trigger();
        ProcessEvents();
        return Form1->findChild<LabelSheetsDialog*>();
    }
    template <class W> static W* Child(LabelSheetsDialog& dialog, const char* name) {
        W* widget = dialog.findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static std::string Counts(LabelSheetsDialog& dialog) {
        return Child<QLabel>(dialog, "CountsLabel")->text().toStdString();
    }
    static void ChooseSheet(LabelSheetsDialog& dialog, const char* name) {
        auto* combo = Child<QComboBox>(dialog, "SheetCombo");
        const int index = combo->findText(QLatin1String(name), Qt::MatchStartsWith);
        ASSERT_GE(index, 0) << name;
        combo->setCurrentIndex(index);
    }
    void SaveAnswer(const fs::path& path) {
        dialogs_.save.push_back([path](toolkit::TSavePictureDialog& dialog) {
            dialog.FileName = path.string();
            return true;
        });
    }

    std::vector<adif::Record> records_;
    LabelPrintDialogs printDialogs_;
    std::unique_ptr<velmora::print::ScopedPrintDialogProvider> printGuard_;
    std::optional<std::string> savedConfigHome_;
};

TEST_F(LabelSheetsDialogTest, TheCountsFollowTheSheetSkipGroupingAndSelection) {
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    EXPECT_TRUE(dialog->isVisible());
    // Five contacts with a call, one label each, on the first built-in stock.
    EXPECT_EQ(dialog->Sheet().name, "L7160");
    EXPECT_EQ(Counts(*dialog), "5 labels on 1 sheet");
    const std::string totals = Child<QLabel>(*dialog, "TotalsLabel")->text().toStdString();
    EXPECT_NE(totals.find("1 damaged record or record without a call left out"), std::string::npos)
        << totals;

    auto* skip = Child<QSpinBox>(*dialog, "SkipSpin");
    EXPECT_EQ(skip->maximum(), 20) << "21 labels a sheet: at most 20 already used";
    skip->setValue(17);
    EXPECT_EQ(Counts(*dialog), "5 labels on 2 sheets") << "17 + 5 > 21";
    Child<QSpinBox>(*dialog, "PerCardSpin")->setValue(3);
    EXPECT_EQ(Counts(*dialog), "3 labels on 1 sheet") << "DL1ABC's three share one label";
    Child<QComboBox>(*dialog, "SelectionCombo")->setCurrentIndex(2); // queued
    EXPECT_EQ(Counts(*dialog), "2 labels on 1 sheet") << "DL1ABC's two queued, F5XYZ requested";
    Child<QComboBox>(*dialog, "SelectionCombo")->setCurrentIndex(1); // only unsent
    EXPECT_EQ(Counts(*dialog), "2 labels on 1 sheet") << "all but OH2BH";
    EXPECT_EQ(dialog->Run().contacts, 4u);
    EXPECT_EQ(dialog->Run().notSelected, 1u);

    // A smaller stock lowers a skip count it cannot hold to its last label.
    ChooseSheet(*dialog, "5163");
    EXPECT_EQ(dialog->Sheet().name, "5163");
    EXPECT_EQ(skip->maximum(), 9);
    EXPECT_EQ(skip->value(), 9);
    EXPECT_EQ(Counts(*dialog), "2 labels on 2 sheets");

    // The preview is the first sheet, scaled into its box in the paper's proportions.
    const QPixmap preview = Child<QLabel>(*dialog, "PreviewLabel")->pixmap();
    ASSERT_FALSE(preview.isNull());
    EXPECT_LE(preview.width(), 300);
    EXPECT_LE(preview.height(), 424);
    EXPECT_NEAR(double(preview.width()) / preview.height(), 8.5 / 11.0, 0.01);

    if (const char* shots = std::getenv("VELMORA_SCREENSHOT_DIR")) {
        ChooseSheet(*dialog, "L7160");
        skip->setValue(4);
        Child<QSpinBox>(*dialog, "PerCardSpin")->setValue(2);
        Child<QComboBox>(*dialog, "SelectionCombo")->setCurrentIndex(0);
        dialog->adjustSize();
        dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/label-sheets.png"));
    }
}

TEST_F(LabelSheetsDialogTest, ANoLogOrAFolderIsReportedWithoutADialog) {
    EXPECT_EQ(Open(folder_ / "missing.adi"), nullptr);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("missing.adi: cannot open the log"), std::string::npos)
        << boxes_[0].text;
    EXPECT_EQ(Open(folder_), nullptr);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_NE(boxes_[1].text.find("is a folder, not a log"), std::string::npos) << boxes_[1].text;

    // A cancelled open dialog opens nothing and says nothing.
    Form1->findChild<QAction*>(QStringLiteral("PrintLabels1"))->trigger();
    EXPECT_EQ(Form1->findChild<LabelSheetsDialog*>(), nullptr);
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(LabelSheetsDialogTest, ASelectionWithNothingToLabelOffersNothingToPrint) {
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    Write(Log(), "<CALL:5>OH2BH<QSO_DATE:8>20261202<TIME_ON:4>1000<QSL_SENT:1>Y<EOR>\n");
    delete dialog;
    dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Counts(*dialog), "1 label on 1 sheet");
    Child<QComboBox>(*dialog, "SelectionCombo")->setCurrentIndex(1); // only unsent
    EXPECT_EQ(Counts(*dialog), "0 labels on 0 sheets");
    EXPECT_FALSE(Child<QPushButton>(*dialog, "PrintButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*dialog, "SavePdfButton")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(*dialog, "PreviewLabel")->pixmap().isNull());
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
}

TEST_F(LabelSheetsDialogTest, SavePdfWritesEachLabelsContactsOnTheSlotsAfterTheSkip) {
    if (!labels_test::PopplerAvailable())
        GTEST_SKIP() << "poppler-utils (pdftotext) is not installed";
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    Child<QSpinBox>(*dialog, "SkipSpin")->setValue(4);
    Child<QSpinBox>(*dialog, "PerCardSpin")->setValue(2);
    const fs::path pdf = folder_ / "labels.pdf";
    SaveAnswer(pdf);
    Child<QPushButton>(*dialog, "SavePdfButton")->click();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    EXPECT_TRUE(dialogs_.asked.empty()) << "a new file needs no question";

    const std::vector<labels_test::PdfPage> pages = labels_test::ReadWords(pdf.string());
    ASSERT_EQ(pages.size(), 1u);
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7160");
    // DL1ABC's three oldest first, two a label; F5XYZ; OH2BH (every contact is selected).
    const std::vector<std::vector<const adif::Record*>> labels{
        {At(0), At(2)}, {At(4)}, {At(1)}, {At(3)}};
    for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot) {
        const std::vector<std::string> words = WordsIn(pages[0], lb::SlotRect(sheet, slot));
        if (slot < 4 || slot >= 4 + int(labels.size()))
            EXPECT_TRUE(words.empty()) << "slot " << slot;
        else
            EXPECT_EQ(words, ExpectedWords(labels[size_t(slot - 4)])) << "slot " << slot;
    }
}

TEST_F(LabelSheetsDialogTest, AnExistingPdfIsReplacedOnlyAfterAYes) {
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    const fs::path pdf = folder_ / "labels.pdf";
    Write(pdf, "keep me");
    SaveAnswer(pdf);
    Child<QPushButton>(*dialog, "SavePdfButton")->click();
    ASSERT_EQ(dialogs_.asked, std::vector<std::string>{pdf.string()});
    std::ifstream kept(pdf);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

    SaveAnswer(pdf);
    dialogs_.replace.push_back([](const std::string&) { return true; });
    Child<QPushButton>(*dialog, "SavePdfButton")->click();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    std::ifstream replaced(pdf, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}).substr(0, 5), "%PDF-");

    // The log itself is never the output, whatever the answer.
    SaveAnswer(Log());
    dialogs_.replace.push_back([](const std::string&) { return true; });
    Child<QPushButton>(*dialog, "SavePdfButton")->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("is the log itself"), std::string::npos) << boxes_[0].text;
    EXPECT_EQ(adif::ParseLog("log.adi",
                             [&] {
                                 std::ifstream in(Log(), std::ios::binary);
                                 return std::string(std::istreambuf_iterator<char>(in), {});
                             }())
                  .size(),
              records_.size());
}

TEST_F(LabelSheetsDialogTest, PrintingGivesOnePagePerSheetOnTheStocksPaper) {
    if (!printtest::PopplerAvailable() || !labels_test::PopplerAvailable())
        GTEST_SKIP() << "poppler-utils are not installed";
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    ChooseSheet(*dialog, "5163");
    Child<QSpinBox>(*dialog, "SkipSpin")->setValue(8);
    ASSERT_EQ(dialog->Sheets(), 2u) << "five labels from label 9 of ten";

    // A cancelled print dialog prints nothing.
    Child<QPushButton>(*dialog, "PrintButton")->click();
    EXPECT_EQ(printDialogs_.shown, 1);
    EXPECT_TRUE(printDialogs_.pageOffered.isEquivalentTo(QPageSize(QPageSize::Letter)));

    const QString pdf = QString::fromStdString((folder_ / "printed.pdf").string());
    printDialogs_.pdf = pdf;
    Child<QPushButton>(*dialog, "PrintButton")->click();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    const std::optional<printtest::PdfInfo> info = printtest::ReadPdfInfo(pdf);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 2);
    EXPECT_NEAR(info->pageWidth, 8.5 * 72, 1);
    EXPECT_NEAR(info->pageHeight, 11 * 72, 1);

    // The printer gets the same labels on the same slots as the PDF writer.
    const std::vector<labels_test::PdfPage> pages = labels_test::ReadWords(pdf.toStdString());
    ASSERT_EQ(pages.size(), 2u);
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("5163");
    EXPECT_EQ(WordsIn(pages[0], lb::SlotRect(sheet, 8)), ExpectedWords({At(0)}));
    EXPECT_EQ(WordsIn(pages[0], lb::SlotRect(sheet, 9)), ExpectedWords({At(2)}));
    EXPECT_EQ(WordsIn(pages[1], lb::SlotRect(sheet, 0)), ExpectedWords({At(4)}));
    EXPECT_EQ(WordsIn(pages[1], lb::SlotRect(sheet, 1)), ExpectedWords({At(1)}));
    EXPECT_EQ(WordsIn(pages[1], lb::SlotRect(sheet, 2)), ExpectedWords({At(3)}));
    EXPECT_TRUE(WordsIn(pages[1], lb::SlotRect(sheet, 3)).empty());
}

TEST_F(LabelSheetsDialogTest, OtherSheetFileAddsItsStockAndABadOneKeepsTheSheet) {
    LabelSheetsDialog* dialog = Open(Log());
    ASSERT_NE(dialog, nullptr);
    auto* combo = Child<QComboBox>(*dialog, "SheetCombo");
    const int other = combo->count() - 1;
    EXPECT_EQ(combo->itemText(other).toStdString(), "Other sheet file...");

    Write(folder_ / "bad.sheet", "name = Bad\ncolumns = many\n");
    dialogs_.open.push_back([this](toolkit::TOpenDialog& open) {
        open.FileName = (folder_ / "bad.sheet").string();
        return true;
    });
    combo->setCurrentIndex(other);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("bad.sheet"), std::string::npos) << boxes_[0].text;
    EXPECT_EQ(dialog->Sheet().name, "L7160");
    EXPECT_EQ(combo->currentIndex(), 0);

    Write(folder_ / "herma.sheet", "name = Herma 4360\npaper = A4\ncolumns = 3\nrows = 8\n"
                                   "label-size = 70 x 36\npitch = 70 x 36\nmargins = 0 x 4.5\n");
    dialogs_.open.push_back([this](toolkit::TOpenDialog& open) {
        open.FileName = (folder_ / "herma.sheet").string();
        return true;
    });
    combo->setCurrentIndex(other);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(dialog->Sheet().name, "Herma 4360");
    EXPECT_EQ(combo->currentIndex(), other) << "the new stock sits before \"Other sheet file...\"";
    EXPECT_EQ(Child<QSpinBox>(*dialog, "SkipSpin")->maximum(), 23);
}

} // namespace
