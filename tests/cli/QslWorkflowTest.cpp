// velmora-card over a real log: logs as other programs write them, the QSL_SENT selections,
// several contacts per card, band, satellite and manager on the card, and the sent log that
// goes back into the logger.
#include "CliTestSupport.h"
#include "adif/Adif.h"
#include "card/CardComposer.h"
#include "cli/Cli.h"
#include "cli/MakeCards.h"
#include "jpeg/JPEGImage.h"
#include "support/Files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace cli {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadText;
using testsupport::WriteText;

constexpr std::string_view kProfile = "[User]\nCALLID=DL9OWN\nName=Hans Muster\nRIG=IC-7300\n"
                                      "ANT=Dipole\nPWR=100\nTKS=Thanks for the QSO\n";

velmora::StationProfile TestProfile() {
    velmora::StationProfile p;
    p.CALLID = "DL9OWN";
    p.TKS = "Thanks for the QSO";
    return p;
}

class QslWorkflowTest : public clitest::ProgramTest {
  protected:
    QslWorkflowTest() : ProgramTest("velmora-qsl-cli-") {}

    void SetUp() override {
        ProgramTest::SetUp();
        WriteText(dir_ / "station.ini", kProfile);
        fs::copy_file(fs::path(VELMORA_DATA_DIR) / "blankcard.jpg", dir_ / "blankcard.jpg");
    }

    // Makes cards from text written as log.adi (or name) into dir_/cards; extra options follow.
    int Cards(std::string_view log, std::vector<std::string> extra = {},
              const std::string& name = "log.adi") {
        WriteText(dir_ / name, log);
        std::vector<std::string> args{"--adif",       (dir_ / name).string(),
                                      "--out",        (dir_ / "cards").string(),
                                      "--profile",    (dir_ / "station.ini").string(),
                                      "--background", (dir_ / "blankcard.jpg").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }

    std::vector<std::string> CardFiles() {
        std::vector<std::string> names;
        if (fs::is_directory(dir_ / "cards"))
            for (const auto& entry : fs::directory_iterator(dir_ / "cards"))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The calls of the sent log's records, in order.
    std::vector<std::string> SentCalls(const fs::path& path) {
        std::vector<std::string> calls;
        for (const adif::Record& record : adif::ParseAdi(ReadText(path))) {
            EXPECT_FALSE(record.Damaged()) << record.damage;
            calls.emplace_back(record.Value("CALL"));
        }
        return calls;
    }
};

// ---- Logs as other programs write them --------------------------------------------------------

TEST_F(QslWorkflowTest, EndMarkersCharacterLengthsAndLatin1MakeCleanCards) {
    // A LoTW-style end marker, a character-counted name and a record without a time.
    const std::string first =
        "<EOH><CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<NAME:4>J\xC3\xB6rg<EOR>";
    EXPECT_EQ(Cards(first + "<CALL:5>G4XYZ<QSO_DATE:8>20261208<EOR>\n<APP_LoTW_EOF>\n"),
              kExitSuccess)
        << err_.str();
    EXPECT_EQ(CardFiles(),
              (std::vector<std::string>{"DL1ABC_20261207_1432.jpg", "G4XYZ_20261208_.jpg"}));
    EXPECT_NE(err_.str().find("warning: " + (dir_ / "log.adi").string() + ": record 2 at byte " +
                              std::to_string(first.size()) + " (G4XYZ): no TIME_ON"),
              std::string::npos)
        << err_.str();
    // Latin-1: converted, with a note.
    EXPECT_EQ(Cards("<CALL:6>F5ABC<QSO_DATE:8>20261209<TIME_ON:4>0800<NAME:5>Andr\xE9<EOR><EOF>",
                    {"--overwrite"}, "latin1.adi"),
              kExitSuccess)
        << err_.str();
    EXPECT_NE(err_.str().find("not UTF-8; read as Latin-1"), std::string::npos) << err_.str();
    const std::vector<adif::Record> records =
        adif::ParseLog("latin1.adi", ReadText(dir_ / "latin1.adi"));
    const card::CardData data =
        CardDataFor(ContactFromRecord(records.at(0), kDefaultDateFormat), TestProfile());
    EXPECT_EQ(data.contactedOperator, "Andr\xC3\xA9");
}

TEST_F(QslWorkflowTest, HostileLogsEndWithAClearMessage) {
    // A megabyte tag and a length of 2^31: the record is reported, briefly, and skipped.
    EXPECT_EQ(Cards("<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<EOR><" +
                    std::string(1 << 20, 'A') + "><EOR><CALL:2147483648>G4XYZ<EOR>"),
              kExitFailure);
    EXPECT_EQ(CardFiles(), (std::vector<std::string>{"DL1ABC_20261207_1432.jpg"}));
    EXPECT_LT(err_.str().size(), 1000u) << err_.str().substr(0, 200);
    EXPECT_NE(err_.str().find("record 2 at byte 54: the tag <AAAA"), std::string::npos);
    EXPECT_NE(err_.str().find("record 3"), std::string::npos);
    // A file far larger than any log is refused before it is read (a sparse file here).
    fs::resize_file(dir_ / "log.adi", uintmax_t(300) << 20);
    EXPECT_EQ(Run({"--adif", (dir_ / "log.adi").string(), "--out", (dir_ / "big").string(),
                   "--profile", (dir_ / "station.ini").string()}),
              kExitFailure);
    EXPECT_NE(err_.str().find("is 300 MiB; logs over 256 MiB are refused"), std::string::npos)
        << err_.str();
}

// ---- Selection ----------------------------------------------------------------------------

constexpr std::string_view kMarks = "<CALL:3>AAA<QSL_SENT:1>Y<EOR><CALL:3>BBB<QSL_SENT:1>I<EOR>"
                                    "<CALL:3>CCC<QSL_SENT:1>N<EOR><CALL:3>DDD<QSL_SENT:1>R<EOR>"
                                    "<CALL:3>EEE<QSL_SENT:1>Q<EOR><CALL:3>FFF<EOR>";

TEST_F(QslWorkflowTest, OnlyUnsentSkipsSentAndIgnoredQueuedTakesRequestedAndQueued) {
    EXPECT_EQ(Cards(kMarks, {"--only-unsent"}), kExitSuccess) << err_.str();
    EXPECT_EQ(CardFiles(),
              (std::vector<std::string>{"CCC__.jpg", "DDD__.jpg", "EEE__.jpg", "FFF__.jpg"}));
    EXPECT_NE(out_.str().find("2 already sent, skipped"), std::string::npos) << out_.str();
    fs::remove_all(dir_ / "cards");
    EXPECT_EQ(Cards(kMarks, {"--queued"}), kExitSuccess) << err_.str();
    EXPECT_EQ(CardFiles(), (std::vector<std::string>{"DDD__.jpg", "EEE__.jpg"}));
    EXPECT_NE(out_.str().find("4 not requested or queued, skipped"), std::string::npos)
        << out_.str();
}

// ---- Several contacts per card ------------------------------------------------------------

// Seven contacts with DL1ABC (newest first in the log), two with G4XYZ, one with DL1ABC under
// another own call.
constexpr std::string_view kRepeats =
    "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1700<FREQ:6>14.074<MODE:3>FT8<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261206<TIME_ON:4>1600<FREQ:6>14.074<MODE:3>FT8<EOR>"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261205<TIME_ON:4>1500<BAND:3>40m<MODE:2>CW<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261205<TIME_ON:4>1500<FREQ:5>7.030<MODE:2>CW<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261204<TIME_ON:4>1400<FREQ:5>7.030<MODE:2>CW"
    "<STATION_CALLSIGN:6>DL0XYZ<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261204<TIME_ON:4>1400<FREQ:5>7.030<MODE:2>CW<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261203<TIME_ON:4>1300<FREQ:5>3.573<MODE:3>FT8<EOR>"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261202<TIME_ON:4>1200<BAND:3>20m<MODE:3>SSB<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261202<TIME_ON:4>1200<FREQ:6>28.074<MODE:3>FT8<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261201<TIME_ON:4>1100<FREQ:6>21.074<MODE:3>FT8<EOR>";

// True when the decoded card shows a dark table rule across row y (looked at left of the date
// column, where no text reaches).
bool RuleAt(const fs::path& card, int y) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(card.string());
    const std::vector<uint32_t> pixels = clitest::Pixels(picture.Bitmap());
    const uint32_t pixel = pixels[size_t(y) * 495 + 172]; // between texts and column rules
    return ((pixel >> 16) & 0xFF) < 96 && ((pixel >> 8) & 0xFF) < 96 && (pixel & 0xFF) < 96;
}

TEST_F(QslWorkflowTest, PerCardPutsOneStationsContactsOnCardsOldestFirst) {
    ASSERT_EQ(Cards(kRepeats, {"--per-card", "5", "--sent-log", (dir_ / "sent.adi").string()}),
              kExitSuccess)
        << err_.str();
    // Named after each card's first (oldest) contact.
    EXPECT_EQ(CardFiles(),
              (std::vector<std::string>{"DL1ABC_20261201_1100.jpg", "DL1ABC_20261204_1400.jpg",
                                        "DL1ABC_20261206_1600.jpg", "G4XYZ_20261202_1200.jpg"}));
    EXPECT_NE(out_.str().find("4 cards written"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("10 contacts on them"), std::string::npos) << out_.str();
    // Each card's frame stands where its number of rows puts it: the five-row card's high up,
    // the one-row card's (the other own call) at 250.
    EXPECT_TRUE(RuleAt(dir_ / "cards" / "DL1ABC_20261201_1100.jpg", card::LayoutTable(5).top));
    EXPECT_FALSE(RuleAt(dir_ / "cards" / "DL1ABC_20261201_1100.jpg", 250));
    EXPECT_TRUE(RuleAt(dir_ / "cards" / "DL1ABC_20261206_1600.jpg", card::LayoutTable(2).top));
    EXPECT_TRUE(RuleAt(dir_ / "cards" / "DL1ABC_20261204_1400.jpg", 250));
    EXPECT_FALSE(RuleAt(dir_ / "cards" / "DL1ABC_20261204_1400.jpg", card::LayoutTable(2).top));
    EXPECT_TRUE(RuleAt(dir_ / "cards" / "G4XYZ_20261202_1200.jpg", card::LayoutTable(2).top));
    // The sent log lists the contacts card by card, oldest first on each.
    const std::vector<adif::Record> sent = adif::ParseAdi(ReadText(dir_ / "sent.adi"));
    ASSERT_EQ(sent.size(), 10u);
    std::vector<std::string> order;
    for (const adif::Record& record : sent)
        order.push_back(std::string(record.Value("CALL")) + " " +
                        std::string(record.Value("QSO_DATE")).substr(6));
    EXPECT_EQ(order, (std::vector<std::string>{"DL1ABC 01", "DL1ABC 02", "DL1ABC 03", "DL1ABC 04",
                                               "DL1ABC 05", "DL1ABC 06", "DL1ABC 07", "G4XYZ 02",
                                               "G4XYZ 05", "DL1ABC 04"}));
    // --per-card takes 1 to 5 only.
    for (const char* wrong : {"0", "6", "x", "12", ""}) {
        EXPECT_EQ(Cards(kRepeats, {"--per-card", wrong}), kExitUsage) << wrong;
        EXPECT_NE(err_.str().find("--per-card"), std::string::npos);
    }
}

TEST_F(QslWorkflowTest, AGroupFillsTheCardsRowsAndExtras) {
    const std::vector<adif::Record> records = adif::ParseAdi(
        "<CALL:5>AO7AB<QSO_DATE:8>20261201<TIME_ON:4>1100<BAND:2>2m<MODE:3>SSB<SAT_NAME:4>AO-7"
        "<QSL_VIA:5>W1XYZ<QSL_RCVD:1>Y<EOR>"
        "<CALL:5>AO7AB<QSO_DATE:8>20261202<TIME_ON:4>1200<BAND:4>70cm<MODE:2>FM<SAT_NAME:5>SO-50"
        "<NAME:3>Ann<QSLMSG:12>tnx for sats<QSL_RCVD:1>N<EOR>"
        "<CALL:5>AO7AB<QSO_DATE:8>20261203<TIME_ON:4>1300<BAND:2>2m<MODE:3>SSB<SAT_NAME:4>AO-7"
        "<QSL_RCVD:1>Y<EOR>");
    std::vector<Contact> contacts;
    for (const adif::Record& record : records)
        contacts.push_back(ContactFromRecord(record, kDefaultDateFormat));
    const card::CardData data = CardDataFor(contacts, TestProfile(), QslRequest::PseTnx);
    EXPECT_EQ(data.frequencyColumn, card::FrequencyColumn::Band);
    EXPECT_EQ(data.frequency, "2m");
    ASSERT_EQ(data.moreRows.size(), 2u);
    EXPECT_EQ(data.moreRows[0].frequency, "70cm");
    EXPECT_EQ(data.moreRows[0].date, "2026-12-02");
    EXPECT_EQ(data.moreRows[1].utc, "1300");
    EXPECT_EQ(data.satellite, "AO-7, SO-50");
    EXPECT_EQ(data.qslVia, "W1XYZ");
    EXPECT_EQ(data.contactedOperator, "Ann");
    EXPECT_EQ(data.thanks, "tnx for sats PSE QSL"); // one card is still missing
    // All received: thanks; without --pse-tnx nothing is added; the profile's text without
    // QSLMSG.
    const std::vector<Contact> received{contacts[0], contacts[2]};
    EXPECT_EQ(CardDataFor(received, TestProfile(), QslRequest::PseTnx).thanks,
              "Thanks for the QSO TNX QSL");
    EXPECT_EQ(CardDataFor(received, TestProfile(), QslRequest::None).thanks, "Thanks for the QSO");
    // A frequency anywhere on the card keeps the MHz column; a contact without one shows its
    // band there.
    contacts[1].frequency = "435.300";
    const card::CardData mixed = CardDataFor(contacts, TestProfile(), QslRequest::None);
    EXPECT_EQ(mixed.frequencyColumn, card::FrequencyColumn::MHz);
    EXPECT_EQ(mixed.frequency, "2m");
    EXPECT_EQ(mixed.moreRows[0].frequency, "435.300");
}

// ---- The sent log -------------------------------------------------------------------------

TEST_F(QslWorkflowTest, TheSentLogHoldsTheContactsWithCardsAndNeverReplacesFiles) {
    const std::string log = "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<EOR>"
                            "<CALL:5>G4XYZ<QSO_DATE:8>20261208<TIME_ON:4>0900<QSL_SENT:1>Y<EOR>"
                            "<CALL:5>F5ABC<QSO_DATE:8>20261209<TIME_ON:4>1000<EOR>";
    const fs::path sent = dir_ / "sent.adi";
    // A folder in the way of F5ABC's card with --overwrite: that card fails, so its contact is
    // not marked sent.
    fs::create_directories(dir_ / "cards" / "F5ABC_20261209_1000.jpg");
    EXPECT_EQ(Cards(log, {"--only-unsent", "--overwrite", "--sent-log", sent.string()}),
              kExitFailure);
    EXPECT_EQ(ReadText(dir_ / "log.adi"), log); // the log itself is never written
    EXPECT_EQ(SentCalls(sent), (std::vector<std::string>{"DL1ABC"}));
    const std::vector<adif::Record> records = adif::ParseAdi(ReadText(sent));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("QSL_SENT"), "Y");
    EXPECT_EQ(records[0].Value("QSL_SENT_VIA"), "B");
    EXPECT_EQ(records[0].Value("QSLSDATE").size(), 8u);
    EXPECT_NE(out_.str().find("1 contact marked sent"), std::string::npos) << out_.str();

    // An existing sent log is kept, and no card is made.
    fs::remove_all(dir_ / "cards");
    const std::string before = ReadText(sent);
    EXPECT_EQ(Cards(log, {"--sent-log", sent.string()}), kExitFailure);
    EXPECT_NE(err_.str().find("exists already"), std::string::npos) << err_.str();
    EXPECT_EQ(ReadText(sent), before);
    EXPECT_TRUE(CardFiles().empty());
    // With --overwrite it is replaced.
    EXPECT_EQ(Cards(log, {"--sent-log", sent.string(), "--overwrite"}), kExitSuccess) << err_.str();
    EXPECT_EQ(SentCalls(sent), (std::vector<std::string>{"DL1ABC", "G4XYZ", "F5ABC"}));
    // The log itself is refused, even with --overwrite.
    EXPECT_EQ(Cards(log, {"--sent-log", (dir_ / "log.adi").string(), "--overwrite"}), kExitUsage);
    EXPECT_EQ(ReadText(dir_ / "log.adi"), log);
    // No temporary file is left beside it.
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find("sent.adi.tmp"), std::string::npos);
}

// A long log (tens of megabytes) of which few contacts are still to confirm: the run reads it
// through, groups the contacts of one station found far apart, and marks exactly those sent.
TEST_F(QslWorkflowTest, ALongLogIsReadThroughAndItsFewUnsentContactsConfirmed) {
    std::string log = "Long export<EOH>\n";
    constexpr int kContacts = 200000;
    for (int i = 0; i < kContacts; ++i) {
        const bool unsent = i == 5 || i == kContacts / 2 || i == kContacts - 1;
        const std::string call = unsent ? "DL1ABC" : "K" + std::to_string(i % 9973) + "AB";
        const std::string time = i == 5               ? "0900"
                                 : i == kContacts / 2 ? "0800"
                                 : unsent             ? "2300"
                                                      : std::to_string(1000 + i % 1300);
        log += "<CALL:" + std::to_string(call.size()) + ">" + call +
               "<QSO_DATE:8>20261201<TIME_ON:4>" + time +
               "<FREQ:6>14.074<MODE:3>FT8<RST_SENT:3>599<QSL_SENT:1>" + (unsent ? "N" : "Y") +
               "<EOR>\n";
    }
    const fs::path sent = dir_ / "sent.adi";
    ASSERT_EQ(Cards(log, {"--only-unsent", "--per-card", "5", "--sent-log", sent.string()}),
              kExitSuccess)
        << err_.str();
    EXPECT_EQ(CardFiles(), (std::vector<std::string>{"DL1ABC_20261201_0800.jpg"}));
    EXPECT_NE(out_.str().find("1 card written"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("3 contacts on them; 199997 already sent, skipped"),
              std::string::npos)
        << out_.str();
    const std::vector<adif::Record> records = adif::ParseAdi(ReadText(sent));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Value("TIME_ON"), "0800");
    // Oldest first.
    EXPECT_EQ(records[1].Value("TIME_ON"), "0900");
    EXPECT_EQ(records[2].Value("TIME_ON"), "2300");
}

} // namespace
} // namespace cli
