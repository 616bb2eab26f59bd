// The contacts of a log for the window's contact list: what fills the contact fields, what is
// skipped, the order of the columns, the call filter and reading a file with progress.
#include "contacts/ContactLog.h"

#include "adif/Adif.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace contacts {
namespace {

namespace fs = std::filesystem;

// A small log in the tagged form: repeats, odd values, a damaged record and one without a call.
constexpr std::string_view kLog =
    "Exported by hand<EOH>\n"
    // 1: a plain contact, SUBMODE over MODE, TIME_ON with seconds.
    "<CALL:6>DL1ABC<NAME:4>Hans<QSO_DATE:8>20240105<TIME_ON:6>143207<FREQ:6>14.074"
    "<RST_SENT:3>599<MODE:4>MFSK<SUBMODE:3>FT4<QSL_SENT:1>Y<EOR>\n"
    // 2: the same station again, later; no NAME, BAND only, lower-case call.
    "<call:6>dl1abc<qso_date:8>20240312<time_on:4>0915<band:3>40M<rst_sent:2>57"
    "<mode:3>SSB<EOR>\n"
    // 3: damaged, a length that is no number.
    "<CALL:5>G4XYZ<FREQ:x>7<EOR>\n"
    // 4: odd values: a date that is no date, a line end in the name, an unknown band.
    "<CALL:5>F5ABC<NAME:7>Jo\r\nAnn<QSO_DATE:6>2024-1<TIME_ON:3>9:5<BAND:4>99cm"
    "<MODE:2>CW<EOR>\n"
    // 5: no call at all.
    "<NAME:3>Bob<QSO_DATE:8>20240101<EOR>\n"
    // 6: the same moment as record 1, another station.
    "<CALL:5>K1ABC<QSO_DATE:8>20240105<TIME_ON:4>1432<FREQ:5>7.074<MODE:3>FT8<EOR>\n";

ContactLog Listed(std::string_view text, const std::string& name = "log.adi") {
    ContactLog log;
    EXPECT_TRUE(ListContacts(name, text, log));
    return log;
}

std::vector<std::string> Calls(const ContactLog& log, const std::vector<uint32_t>& order) {
    std::vector<std::string> calls;
    for (const uint32_t index : order)
        calls.push_back(log.contacts[index].fields.station);
    return calls;
}

// The window fills what velmora-card prints, with two additions of its own: the band stands in
// for a missing frequency, and a line end in a value becomes a blank in a one-line field.
TEST(ContactFieldsTest, TheFieldsAgreeWithTheCardCommandForEveryRecord) {
    const ContactLog log = Listed(kLog);
    const std::vector<adif::Record> records = adif::ParseLog("log.adi", kLog);
    for (const LogContact& contact : log.contacts) {
        SCOPED_TRACE(contact.record);
        const adif::Record& record = records.at(contact.record - 1);
        const qsl::Contact card = qsl::ContactFromRecord(record, "YY/MM/DD");
        const ContactFields fields = FieldsOf(contact, "YY/MM/DD");
        EXPECT_EQ(fields.station, card.station);
        EXPECT_EQ(fields.date, card.date);
        EXPECT_EQ(fields.utc, card.utc);
        EXPECT_EQ(fields.rst, card.rst);
        EXPECT_EQ(fields.mode, card.mode);
        EXPECT_EQ(fields.qrg, card.frequency.empty() ? record.Value("BAND") : card.frequency);
        std::string name = card.operatorName;
        std::replace(name.begin(), name.end(), '\r', ' ');
        std::replace(name.begin(), name.end(), '\n', ' ');
        EXPECT_EQ(fields.operatorName, name);
    }
}

TEST(ContactLogTest, DamagedRecordsAndRecordsWithoutACallAreSkippedWithTheirNumbers) {
    const ContactLog log = Listed(kLog);
    EXPECT_EQ(log.records, 6u);
    EXPECT_EQ(Calls(log, {0, 1, 2, 3}),
              (std::vector<std::string>{"DL1ABC", "dl1abc", "F5ABC", "K1ABC"}));
    ASSERT_EQ(log.skipped.size(), 2u);
    EXPECT_EQ(log.skipped[0].record, 3u);
    EXPECT_EQ(log.skipped[0].offset, kLog.find("<FREQ:x>"));
    EXPECT_FALSE(log.skipped[0].reason.empty());
    EXPECT_TRUE(log.skipped[0].damaged);
    EXPECT_EQ(log.skipped[1].record, 5u);
    EXPECT_EQ(log.skipped[1].reason, "no CALL");
    EXPECT_FALSE(log.skipped[1].damaged);
    EXPECT_EQ(log.contacts[3].record, 6u);
}

TEST(ContactLogTest, TheXmlFormIsReadByItsName) {
    const std::string adx = "<?xml version=\"1.0\"?><ADX><HEADER></HEADER><RECORDS>"
                            "<RECORD><CALL>OH2XYZ</CALL><NAME>J\xC3\xBCrg &amp; Co</NAME>"
                            "<QSO_DATE>20231224</QSO_DATE><FREQ>3.573</FREQ></RECORD>"
                            "<RECORD><CALL>SM5AB</CALL></NAME></RECORD>"
                            "</RECORDS></ADX>";
    const ContactLog log = Listed(adx, "log.adx");
    ASSERT_EQ(log.contacts.size(), 1u);
    EXPECT_EQ(FieldsOf(log.contacts[0], "DD/MM/YY").operatorName, "J\xC3\xBCrg & Co");
    EXPECT_EQ(FieldsOf(log.contacts[0], "DD/MM/YY").date, "24/12/23");
    EXPECT_EQ(log.records, 2u);
    EXPECT_EQ(log.skipped.size(), 1u);
}

TEST(ContactOrderTest, DateOrdersByTheMomentNewestFirstAndTiesKeepFileOrder) {
    const ContactLog log = Listed(kLog);
    // Record 1 (14:32:07) is later than record 6 (14:32); the odd date sorts as the oldest.
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Date, SortOrder::Descending)),
              (std::vector<std::string>{"dl1abc", "DL1ABC", "K1ABC", "F5ABC"}));
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Date, SortOrder::Ascending)),
              (std::vector<std::string>{"F5ABC", "K1ABC", "DL1ABC", "dl1abc"}));

    const std::string same = "<CALL:1>A<QSO_DATE:8>20240101<TIME_ON:4>1200<EOR>"
                             "<CALL:1>B<QSO_DATE:8>20240101<TIME_ON:4>1200<EOR>"
                             "<CALL:1>C<QSO_DATE:8>20240101<TIME_ON:4>1200<EOR>";
    const ContactLog ties = Listed(same);
    for (const SortOrder order : {SortOrder::Ascending, SortOrder::Descending})
        EXPECT_EQ(Calls(ties, SortedOrder(ties.contacts, Column::Date, order)),
                  (std::vector<std::string>{"A", "B", "C"}));
}

TEST(ContactOrderTest, FrequencyOrdersBandsAmongMegahertzAndUnknownOnesLast) {
    const ContactLog log = Listed("<CALL:1>A<FREQ:6>14.074<EOR>"
                                  "<CALL:1>B<BAND:3>40m<EOR>"
                                  "<CALL:1>C<BAND:4>99cm<EOR>"
                                  "<CALL:1>D<FREQ:5>3.573<EOR>"
                                  "<CALL:1>E<FREQ:3>abc<BAND:4>70CM<EOR>"
                                  "<CALL:1>F<FREQ:5>-1.00<EOR>");
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Frequency, SortOrder::Ascending)),
              (std::vector<std::string>{"D", "B", "A", "E", "C", "F"}));
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Frequency, SortOrder::Descending)),
              (std::vector<std::string>{"E", "A", "B", "D", "C", "F"}));
}

TEST(ContactOrderTest, TextColumnsOrderWithoutRegardToCase) {
    const ContactLog log = Listed("<CALL:5>k1abc<MODE:2>cw<EOR>"
                                  "<CALL:5>DL1AB<MODE:3>FT8<EOR>"
                                  "<CALL:5>g4xyz<MODE:2>CW<EOR>");
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Call, SortOrder::Ascending)),
              (std::vector<std::string>{"DL1AB", "g4xyz", "k1abc"}));
    EXPECT_EQ(Calls(log, SortedOrder(log.contacts, Column::Mode, SortOrder::Ascending)),
              (std::vector<std::string>{"k1abc", "g4xyz", "DL1AB"}));
    EXPECT_EQ(CellText(log.contacts[0], Column::Frequency, "YYYY"), "");
}

TEST(ContactFilterTest, TheFilterMatchesPartsOfCallsInAnyCaseAndKeepsTheOrder) {
    const ContactLog log = Listed(kLog);
    const std::vector<uint32_t> order =
        SortedOrder(log.contacts, Column::Date, SortOrder::Descending);
    EXPECT_EQ(Calls(log, FilterByCall(log, order, " 1ab ")),
              (std::vector<std::string>{"dl1abc", "DL1ABC", "K1ABC"}));
    EXPECT_EQ(Calls(log, FilterByCall(log, order, "Dl1")),
              (std::vector<std::string>{"dl1abc", "DL1ABC"}));
    EXPECT_TRUE(FilterByCall(log, order, "ZZ").empty());
    EXPECT_EQ(FilterByCall(log, order, ""), order);

    // The end of one call and the start of the next never match together.
    const ContactLog pair = Listed("<CALL:3>DL1<EOR><CALL:3>ABC<EOR><CALL:4>DL1A<EOR>");
    const std::vector<uint32_t> fileOrder{0, 1, 2};
    EXPECT_EQ(Calls(pair, FilterByCall(pair, fileOrder, "1A")), (std::vector<std::string>{"DL1A"}));
    EXPECT_EQ(Calls(pair, FilterByCall(pair, fileOrder, "DL1")),
              (std::vector<std::string>{"DL1", "DL1A"}));
}

TEST(BandTest, BandNamesGiveTheirLowerEdge) {
    EXPECT_DOUBLE_EQ(BandLowerEdgeMHz("20m"), 14.0);
    EXPECT_DOUBLE_EQ(BandLowerEdgeMHz(" 70CM "), 420.0);
    EXPECT_DOUBLE_EQ(BandLowerEdgeMHz("1.25m"), 222.0);
    EXPECT_LT(BandLowerEdgeMHz("11m"), 0);
    EXPECT_LT(BandLowerEdgeMHz(""), 0);
}

class LoadContactLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velmora-contacts-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Write(const std::string& name, std::string_view text) const {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
        return path;
    }

    fs::path folder_;
};

TEST_F(LoadContactLogTest, AFileIsReadWithProgressThroughEveryStage) {
    // Larger than one reading step, so reading reports more than once.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "<CALL:6>DL" + std::to_string(1000 + i % 9000).substr(0, 4) +
                "<QSO_DATE:8>20240101<TIME_ON:4>1200<FREQ:6>14.074<MODE:3>FT8"
                "<COMMENT:40>a comment to make the log a little larger<EOR>\n";
    const fs::path path = Write("big.adi", text);

    std::vector<LoadStage> stages;
    uint64_t lastReadTotal = 0;
    const LoadResult result =
        LoadContactLog(path.string(), [&](LoadStage stage, uint64_t, uint64_t total) {
            if (stages.empty() || stages.back() != stage)
                stages.push_back(stage);
            if (stage == LoadStage::Reading)
                lastReadTotal = total;
            return true;
        });
    ASSERT_EQ(result.status, LoadResult::Status::Loaded) << result.error;
    EXPECT_EQ(result.log.contacts.size(), 20000u);
    EXPECT_EQ(result.log.path, path.string());
    EXPECT_EQ(stages,
              (std::vector<LoadStage>{LoadStage::Reading, LoadStage::Parsing, LoadStage::Listing}));
    EXPECT_EQ(lastReadTotal, text.size());
}

TEST_F(LoadContactLogTest, AStopRequestEndsTheLoadInAnyStage) {
    const fs::path path = Write("log.adi", kLog);
    for (const LoadStage stopAt : {LoadStage::Reading, LoadStage::Parsing, LoadStage::Listing}) {
        const LoadResult result = LoadContactLog(
            path.string(), [&](LoadStage stage, uint64_t, uint64_t) { return stage != stopAt; });
        EXPECT_EQ(result.status, LoadResult::Status::Stopped);
        EXPECT_TRUE(result.log.contacts.empty());
    }
}

TEST_F(LoadContactLogTest, MissingFilesAndFoldersFailWithAReason) {
    const LoadResult missing = LoadContactLog((folder_ / "none.adi").string());
    EXPECT_EQ(missing.status, LoadResult::Status::Failed);
    EXPECT_NE(missing.error.find("cannot open the log"), std::string::npos) << missing.error;

    const LoadResult folder = LoadContactLog(folder_.string());
    EXPECT_EQ(folder.status, LoadResult::Status::Failed);
    EXPECT_EQ(folder.error, "is a folder, not a log");

    // An empty file is a log without contacts, not a failure.
    const LoadResult empty = LoadContactLog(Write("empty.adi", "").string());
    EXPECT_EQ(empty.status, LoadResult::Status::Loaded);
    EXPECT_EQ(empty.log.records, 0u);
}

} // namespace
} // namespace contacts
