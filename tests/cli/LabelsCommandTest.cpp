// velmora-card labels: the label sheets of a log, read back from the PDF with poppler's
// pdftotext. Each label's words must be exactly what the card would say of its contacts, on the
// label slot the skip count and the grouping put it.
#include "../labels/LabelWords.h"
#include "../labels/PdfWords.h"
#include "CliTestSupport.h"
#include "adif/Adif.h"
#include "labels/LabelSheet.h"
#include "qsl/Contact.h"
#include "support/Files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace lb = velmora::labels;
using labels_test::ExpectedWords;
using labels_test::PdfPage;
using labels_test::PdfWord;
using labels_test::WordsIn;

using testsupport::ReadText;
using testsupport::WriteText;

// DL1ABC three times from G4XYZ (the second via a manager, logged out of order), F5XYZ on a
// band without frequency with its card received, and OH2BH already sent.
constexpr std::string_view kLog =
    "<ADIF_VER:5>3.1.4<EOH>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261208<TIME_ON:6>090000<FREQ:5>7.074<MODE:4>MFSK<SUBMODE:3>FT4"
    "<RST_SENT:3>-05<STATION_CALLSIGN:5>G4XYZ<QSL_VIA:5>DL9ZZ<QSL_SENT:1>N<EOR>\n"
    "<CALL:5>F5XYZ<QSO_DATE:8>20261201<TIME_ON:4>2359<BAND:3>40m<MODE:2>CW<RST_SENT:3>599"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_RCVD:1>Y<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<FREQ:6>14.074<MODE:3>FT8<RST_SENT:3>-12"
    "<STATION_CALLSIGN:5>G4XYZ<EOR>\n"
    "<CALL:5>OH2BH<QSO_DATE:8>20261202<TIME_ON:4>1000<FREQ:6>21.020<MODE:2>CW<RST_SENT:3>599"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_SENT:1>Y<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261209<TIME_ON:4>0700<FREQ:5>3.573<MODE:3>FT8<RST_SENT:3>-20"
    "<STATION_CALLSIGN:5>G4XYZ<EOR>\n";

class LabelsCommandTest : public clitest::ProgramTest {
  protected:
    LabelsCommandTest() : ProgramTest("velmora-labels-cli-") {}

    void SetUp() override {
        if (!labels_test::PopplerAvailable())
            GTEST_SKIP() << "poppler-utils (pdftotext) is not installed";
        ProgramTest::SetUp();
        WriteText(dir_ / "log.adi", kLog);
        WriteText(dir_ / "station.ini", "[User]\nCALLID=M0OWN\n");
        records_ = adif::ParseLog("log.adi", kLog);
    }

    int Labels(std::vector<std::string> extra) {
        std::vector<std::string> args{"labels",
                                      "--adif",
                                      (dir_ / "log.adi").string(),
                                      "--profile",
                                      (dir_ / "station.ini").string(),
                                      "-o",
                                      Pdf()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }

    std::string Pdf() const { return (dir_ / "labels.pdf").string(); }
    const adif::Record* At(size_t i) const { return &records_.at(i); }

    std::vector<adif::Record> records_;
};

TEST_F(LabelsCommandTest, EachLabelShowsExactlyItsContactsOnTheSlotsAfterTheSkip) {
    ASSERT_EQ(Labels({"--sheet", "L7160", "--per-card", "2", "--skip", "4"}), 0) << err_.str();
    const std::vector<PdfPage> pages = labels_test::ReadWords(Pdf());
    ASSERT_EQ(pages.size(), 1u);
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7160");
    // DL1ABC's three contacts oldest first, two per label; then F5XYZ; OH2BH is in the log too
    // (no selection given).
    const std::vector<std::vector<const adif::Record*>> labels{
        {At(2), At(0)}, {At(4)}, {At(1)}, {At(3)}};
    for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot) {
        const std::vector<std::string> words = WordsIn(pages[0], lb::SlotRect(sheet, slot));
        if (slot < 4 || slot >= 4 + int(labels.size()))
            EXPECT_TRUE(words.empty()) << "slot " << slot;
        else
            EXPECT_EQ(words, ExpectedWords(labels[size_t(slot - 4)])) << "slot " << slot;
    }
    EXPECT_NE(out_.str().find("4 labels (5 contacts) on 1 sheet of L7160"), std::string::npos)
        << out_.str();
}

TEST_F(LabelsCommandTest, ARunPastTheSheetContinuesOnTheNextOneFromItsFirstLabel) {
    // 5163 holds 10; skipping 8 leaves two slots for the four one-contact labels.
    ASSERT_EQ(Labels({"--sheet", "Avery 5163", "--skip", "8", "--per-card", "1", "--only-unsent"}),
              0)
        << err_.str();
    const std::vector<PdfPage> pages = labels_test::ReadWords(Pdf());
    ASSERT_EQ(pages.size(), 2u);
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("5163");
    EXPECT_NEAR(pages[0].width, lb::kLetterWidthMm, 0.2);
    EXPECT_EQ(WordsIn(pages[0], lb::SlotRect(sheet, 8)), ExpectedWords({At(2)}));
    EXPECT_EQ(WordsIn(pages[0], lb::SlotRect(sheet, 9)), ExpectedWords({At(0)}));
    EXPECT_EQ(WordsIn(pages[1], lb::SlotRect(sheet, 0)), ExpectedWords({At(4)}));
    EXPECT_EQ(WordsIn(pages[1], lb::SlotRect(sheet, 1)), ExpectedWords({At(1)}));
    EXPECT_TRUE(WordsIn(pages[1], lb::SlotRect(sheet, 2)).empty());
    EXPECT_NE(out_.str().find("1 already sent, skipped"), std::string::npos) << out_.str();
}

TEST_F(LabelsCommandTest, ThePrinterOffsetMovesEveryLabel) {
    ASSERT_EQ(Labels({"--sheet", "L7160", "--per-card", "5", "--offset", "3.5,-2"}), 0);
    const std::vector<PdfPage> pages = labels_test::ReadWords(Pdf());
    ASSERT_EQ(pages.size(), 1u);
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7160");
    EXPECT_EQ(WordsIn(pages[0], lb::SlotRect(sheet, 0, 3.5, -2)),
              ExpectedWords({At(2), At(0), At(4)}));
}

TEST_F(LabelsCommandTest, TheSentLogMarksExactlyTheLabelledContacts) {
    const fs::path sent = dir_ / "sent.adi";
    ASSERT_EQ(Labels({"--sheet", "L7163", "--per-card", "3", "--only-unsent", "--sent-log",
                      sent.string()}),
              0)
        << err_.str();
    std::vector<std::string> marked;
    for (const adif::Record& record : adif::ParseAdi(ReadText(sent))) {
        marked.push_back(std::string(record.Value("CALL")) + " " +
                         std::string(record.Value("TIME_ON")));
        EXPECT_EQ(record.Value("QSL_SENT"), "Y");
    }
    // In the order of the labels; OH2BH was sent before and is on neither.
    EXPECT_EQ(marked, (std::vector<std::string>{"DL1ABC 1432", "DL1ABC 090000", "DL1ABC 0700",
                                                "F5XYZ 2359"}));
    EXPECT_EQ(labels_test::ReadText(Pdf()).find("OH2BH"), std::string::npos);

    // A second run keeps the sent log it would replace, and writes no PDF either.
    const std::string before = ReadText(sent);
    fs::remove(Pdf());
    EXPECT_EQ(Labels({"--sheet", "L7163", "--sent-log", sent.string()}), 1);
    EXPECT_NE(err_.str().find("exists already"), std::string::npos);
    EXPECT_EQ(ReadText(sent), before);
    EXPECT_FALSE(fs::exists(Pdf()));
}

TEST_F(LabelsCommandTest, QueuedSelectsOnlyRequestedContacts) {
    WriteText(dir_ / "log.adi", "<EOH><CALL:4>K1AB<QSO_DATE:8>20260101<TIME_ON:4>1200"
                                "<QSL_SENT:1>Q<EOR><CALL:4>K2CD<QSO_DATE:8>20260101"
                                "<TIME_ON:4>1300<QSL_SENT:1>N<EOR>");
    ASSERT_EQ(Labels({"--sheet", "5160", "--queued"}), 0) << err_.str();
    const std::string text = labels_test::ReadText(Pdf());
    EXPECT_NE(text.find("K1AB"), std::string::npos);
    EXPECT_EQ(text.find("K2CD"), std::string::npos);
}

TEST_F(LabelsCommandTest, WrongArgumentsAreRefusedBeforeAnyFileIsWritten) {
    const fs::path sent = dir_ / "sent.adi";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--sheet", "L9999"}, 2, "neither a built-in label sheet (L7160, L7163, L7651, 5160"},
        {{"--sheet", "L7160", "--skip", "21"}, 2, "from 0 to 20"},
        {{"--sheet", "L7160", "--skip", "-1"}, 2, "not a whole number"},
        {{"--sheet", "L7160", "--skip", "2x"}, 2, "not a whole number"},
        {{"--sheet", "L7160", "--offset", "25,0"}, 2, "--offset"},
        {{"--sheet", "L7160", "--offset", "1"}, 2, "not X,Y in millimetres"},
        {{"--sheet", "L7160", "--per-card", "6"}, 2, "not a number from 1 to 5"},
        {{"--per-card", "2"}, 2, "--sheet: is needed"},
        {{"--sheet", (dir_ / "missing" / "sheet.txt").string()}, 2, "nor a sheet file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--sent-log");
        args.push_back(sent.string());
        EXPECT_EQ(Labels(args), c.status) << c.args[1];
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(Pdf())) << c.args[1];
        EXPECT_FALSE(fs::exists(sent)) << c.args[1];
    }

    // A bad sheet file is an error in the file (exit 1), named by its line.
    WriteText(dir_ / "bad.sheet", "name = Mine\npaper = A4\ncolumns = many\n");
    EXPECT_EQ(Labels({"--sheet", (dir_ / "bad.sheet").string()}), 1);
    EXPECT_NE(err_.str().find("line 3"), std::string::npos) << err_.str();
}

TEST_F(LabelsCommandTest, AnUnwritableOrExistingOutputLeavesEverythingAsItWas) {
    const fs::path sent = dir_ / "sent.adi";
    std::vector<std::string> args{"labels",      "--adif", (dir_ / "log.adi").string(),
                                  "--sheet",     "L7160",  "--sent-log",
                                  sent.string(), "-o",     (dir_ / "no-folder" / "l.pdf").string()};
    EXPECT_EQ(Run(args), 1);
    EXPECT_NE(err_.str().find("the folder for the labels does not exist"), std::string::npos);
    EXPECT_FALSE(fs::exists(sent));

    WriteText(Pdf(), "an older sheet");
    EXPECT_EQ(Labels({"--sheet", "L7160", "--sent-log", sent.string()}), 1);
    EXPECT_EQ(ReadText(Pdf()), "an older sheet");
    EXPECT_FALSE(fs::exists(sent));
    // The log itself is never the output.
    args.back() = (dir_ / "log.adi").string();
    EXPECT_EQ(Run(args), 2);
    EXPECT_EQ(ReadText(dir_ / "log.adi"), kLog);

    EXPECT_EQ(Labels({"--sheet", "L7160", "--overwrite"}), 0) << err_.str();
    EXPECT_EQ(ReadText(Pdf()).substr(0, 5), "%PDF-");
    // No temporary file stays beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
        ++files;
    EXPECT_EQ(files, 3u); // log.adi, station.ini, labels.pdf
}

TEST_F(LabelsCommandTest, ALogWithNothingToLabelWritesNoFiles) {
    const fs::path sent = dir_ / "sent.adi";
    WriteText(dir_ / "log.adi", "<EOH><CALL:4>K1AB<QSO_DATE:8>20260101<QSL_SENT:1>Y<EOR>");
    EXPECT_EQ(Labels({"--sheet", "L7160", "--only-unsent", "--sent-log", sent.string()}), 0);
    EXPECT_NE(out_.str().find("no contacts to label"), std::string::npos);
    EXPECT_FALSE(fs::exists(Pdf()));
    EXPECT_FALSE(fs::exists(sent));
}

} // namespace
