// The QSL workflow over a log: the QSL_SENT selection, the grouping of contacts onto cards, and
// the sent log read back by our own reader.
#include "adif/Adif.h"
#include "qsl/Queue.h"
#include "qsl/SentLog.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qsl {
namespace {

namespace fs = std::filesystem;

std::vector<const adif::Record*> Pointers(const std::vector<adif::Record>& records) {
    std::vector<const adif::Record*> out;
    for (const adif::Record& record : records)
        out.push_back(&record);
    return out;
}

// Each card as "CALL TIME_ON,CALL TIME_ON,...".
std::vector<std::string> Describe(const std::vector<CardContacts>& cards) {
    std::vector<std::string> out;
    for (const CardContacts& card : cards) {
        std::string line;
        for (const adif::Record* record : card.contacts)
            line += (line.empty() ? "" : ",") + std::string(record->Value("CALL")) + " " +
                    std::string(record->Value("TIME_ON"));
        out.push_back(line);
    }
    return out;
}

// ---- Selection ------------------------------------------------------------------------------

TEST(SelectionTest, QslSentDecidesWhichContactsGetACard) {
    const std::vector<adif::Record> records = adif::ParseAdi(
        "<CALL:1>A<QSL_SENT:1>Y<EOR><CALL:1>B<QSL_SENT:1>i<EOR><CALL:1>C<QSL_SENT:1>N<EOR>"
        "<CALL:1>D<QSL_SENT:1>R<EOR><CALL:1>E<QSL_SENT:2>q <EOR><CALL:1>F<EOR>");
    ASSERT_EQ(records.size(), 6u);
    const auto chosen = [&](SentSelection selection) {
        std::string calls;
        for (const adif::Record& record : records)
            if (IsSelected(record, selection))
                calls += record.Value("CALL");
        return calls;
    };
    EXPECT_EQ(chosen(SentSelection::All), "ABCDEF");
    EXPECT_EQ(chosen(SentSelection::Unsent), "CDEF"); // neither sent (Y) nor ignored (I)
    EXPECT_EQ(chosen(SentSelection::Queued), "DE");   // requested or queued only
}

TEST(SelectionTest, TheOwnCallIsTheStationCallsignElseTheOperator) {
    const std::vector<adif::Record> records =
        adif::ParseAdi("<CALL:1>A<STATION_CALLSIGN:7> DL0XYZ<OPERATOR:6>DL2OPR<EOR>"
                       "<CALL:1>B<OPERATOR:6>DL2OPR<EOR><CALL:1>C<STATION_CALLSIGN:0><EOR>");
    EXPECT_EQ(OwnCall(records[0]), "DL0XYZ");
    EXPECT_EQ(OwnCall(records[1]), "DL2OPR");
    EXPECT_EQ(OwnCall(records[2]), "");
}

// ---- Grouping -------------------------------------------------------------------------------

// Seven contacts with DL1ABC (one logged in lower case, one under another own call), two with
// G4XYZ, in no particular order.
constexpr std::string_view kRepeats =
    "<CALL:6>DL1ABC<QSO_DATE:8>20261203<TIME_ON:4>1000<EOR>"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261201<TIME_ON:4>0800<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261201<TIME_ON:6>090030<EOR>"
    "<CALL:6>dl1abc<QSO_DATE:8>20261201<TIME_ON:4>0900<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261202<TIME_ON:4>0700<STATION_CALLSIGN:6>DL0XYZ<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261204<TIME_ON:4>1100<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261205<TIME_ON:4>1200<EOR>"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261206<TIME_ON:4>1300<EOR>"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261130<TIME_ON:4>2300<EOR>";

TEST(GroupingTest, ContactsWithOneStationShareCardsOldestFirst) {
    const std::vector<adif::Record> records = adif::ParseAdi(kRepeats);
    ASSERT_EQ(records.size(), 9u);
    const std::vector<const adif::Record*> contacts = Pointers(records);
    EXPECT_EQ(Describe(GroupContacts(contacts, 5)),
              (std::vector<std::string>{
                  "dl1abc 0900,DL1ABC 090030,DL1ABC 1000,DL1ABC 1100,DL1ABC 1200",
                  "DL1ABC 1300", // the sixth contact starts a second card
                  "G4XYZ 2300,G4XYZ 0800", "DL1ABC 0700"})); // another own call: another card
    EXPECT_EQ(Describe(GroupContacts(contacts, 4)),
              (std::vector<std::string>{"dl1abc 0900,DL1ABC 090030,DL1ABC 1000,DL1ABC 1100",
                                        "DL1ABC 1200,DL1ABC 1300", "G4XYZ 2300,G4XYZ 0800",
                                        "DL1ABC 0700"}));
    // One per card keeps every contact on a card of its own.
    EXPECT_EQ(GroupContacts(contacts, 1).size(), 9u);
    // Out-of-range numbers are held to 1 to 5.
    EXPECT_EQ(GroupContacts(contacts, 0).size(), 9u);
    EXPECT_EQ(GroupContacts(contacts, 9).size(), 4u);
}

TEST(GroupingTest, EveryCountFromOneToSixSplitsAsExpected) {
    for (size_t count = 1; count <= 6; ++count) {
        std::string log;
        for (size_t i = count; i > 0; --i) // newest first in the log
            log += "<CALL:5>K1ABC<QSO_DATE:8>2026120" + std::to_string(i) + "<EOR>";
        const std::vector<adif::Record> records = adif::ParseAdi(log);
        const std::vector<CardContacts> cards = GroupContacts(Pointers(records), 5);
        SCOPED_TRACE(count);
        ASSERT_EQ(cards.size(), count <= 5 ? 1u : 2u);
        EXPECT_EQ(cards[0].contacts.size(), std::min<size_t>(count, 5));
        EXPECT_EQ(cards[0].contacts.front()->Value("QSO_DATE"), "20261201");
        if (count == 6) {
            EXPECT_EQ(cards[1].contacts.front()->Value("QSO_DATE"), "20261206");
        }
    }
}

TEST(GroupingTest, ContactsWithoutDateOrTimeComeAfterTheDatedOnes) {
    const std::vector<adif::Record> records =
        adif::ParseAdi("<CALL:1>A<TIME_ON:4>0100<EOR>"
                       "<CALL:1>A<QSO_DATE:8>20261202<EOR>"
                       "<CALL:1>A<QSO_DATE:8>20261202<TIME_ON:4>2300<EOR>"
                       "<CALL:1>A<QSO_DATE:8>20261201<TIME_ON:4>2300<EOR>");
    const std::vector<CardContacts> cards = GroupContacts(Pointers(records), 5);
    ASSERT_EQ(cards.size(), 1u);
    std::vector<size_t> order;
    for (const adif::Record* record : cards[0].contacts)
        order.push_back(record->number);
    EXPECT_EQ(order, (std::vector<size_t>{4, 3, 2, 1}));
}

// A long run groups by the keys alone; the numbers order as the texts of the times do.
TEST(GroupingTest, KeysAloneGiveTheCardsOfTheRecords) {
    const std::vector<adif::Record> records = adif::ParseAdi(kRepeats);
    std::vector<std::string> times;
    for (const adif::Record& record : records)
        times.push_back(ContactTime(record));
    times.push_back("99999999999999");
    for (size_t a = 0; a < records.size(); ++a) {
        for (size_t b = 0; b < records.size(); ++b)
            EXPECT_EQ(ContactTimeKey(records[a]) < ContactTimeKey(records[b]), times[a] < times[b]);
    }
    EXPECT_EQ(ContactTimeKey(adif::ParseAdi("<CALL:1>A<EOR>")[0]), 99999999999999u);
    // Stations 0 and 1 in the order they first appear; equal times keep the log's order.
    const std::vector<GroupKey> keys{{0, 30}, {1, 10}, {0, 20}, {0, 30}, {0, 10}, {1, 10}, {0, 5}};
    const CardOrder two = OrderCards(keys, 2);
    EXPECT_EQ(two.contacts, (std::vector<uint32_t>{6, 4, 2, 0, 3, 1, 5}));
    EXPECT_EQ(two.firsts, (std::vector<uint32_t>{0, 2, 4, 5}));
    const CardOrder one = OrderCards(keys, 1);
    EXPECT_EQ(one.contacts, two.contacts);
    EXPECT_EQ(one.firsts.size(), keys.size());
    EXPECT_TRUE(OrderCards({}, 3).firsts.empty());
}

// ---- The sent log ---------------------------------------------------------------------------

class SentLogTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velmora-qsl-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(SentLogTest, TheIdentifyingFieldsAsReadAndTheSentMarksReadBack) {
    const std::vector<adif::Record> records = adif::ParseAdi(
        "<CALL:6>DL1ABC<QSO_DATE:8>20261201<TIME_ON:6>090030<BAND:3>20m<FREQ:9>14.074123"
        "<MODE:4>MFSK<SUBMODE:3>FT4<STATION_CALLSIGN:6>DL0XYZ<OPERATOR:6>DL2OPR<NAME:4>Hans"
        "<QSL_SENT:1>R<COMMENT:4>nice<EOR>"
        "<CALL:5>AO7AB<QSO_DATE:8>20261202<TIME_ON:4>1200<BAND:3>2m<MODE:3>SSB"
        "<SAT_NAME:4>AO-7<PROP_MODE:3>SAT<EOR>");
    const std::vector<const adif::Record*> contacts = Pointers(records);
    const std::string text = SentLogText(contacts, "20261210", "20261210 101500");
    const std::vector<adif::Record> back = adif::ParseAdi(text);
    ASSERT_EQ(back.size(), 2u);
    for (const adif::Record& record : back)
        EXPECT_FALSE(record.Damaged()) << record.damage;
    for (const std::string_view name : kIdentifyingFields) {
        EXPECT_EQ(back[0].Value(name), records[0].Value(name)) << name;
        EXPECT_EQ(back[1].Value(name), records[1].Value(name)) << name;
    }
    EXPECT_EQ(back[0].Find("FREQ")->value, "14.074123");
    EXPECT_EQ(back[1].Find("FREQ"), nullptr); // absent fields stay absent
    for (const adif::Record& record : back) {
        EXPECT_EQ(record.Value("QSL_SENT"), "Y");
        EXPECT_EQ(record.Value("QSLSDATE"), "20261210");
        EXPECT_EQ(record.Value("QSL_SENT_VIA"), "B");
        EXPECT_EQ(record.Find("NAME"), nullptr); // only what identifies the contact
        EXPECT_EQ(record.Find("COMMENT"), nullptr);
    }
    EXPECT_NE(text.find("<CREATED_TIMESTAMP:15>20261210 101500"), std::string::npos);
    EXPECT_NE(text.find("<PROGRAMID:7>Velmora"), std::string::npos);
}

TEST(SentLogDateTest, DatesAreUtc) {
    EXPECT_EQ(UtcDate(0), "19700101");
    EXPECT_EQ(UtcTimestamp(86400 * 365 + 3661), "19710101 010101");
}

TEST_F(SentLogTest, WritingNeverReplacesAFileUnlessAskedAndLeavesNoTemporaryFile) {
    const fs::path path = dir_ / "sent.adi";
    EXPECT_FALSE(WriteFileAtomically(path, "first", ExistingFile::Keep));
    EXPECT_EQ(Read(path), "first");
    EXPECT_EQ(WriteFileAtomically(path, "second", ExistingFile::Keep), std::errc::file_exists);
    EXPECT_EQ(Read(path), "first");
    EXPECT_FALSE(WriteFileAtomically(path, "third", ExistingFile::Replace));
    EXPECT_EQ(Read(path), "third");
    // The file gets the usual permissions (the umask applied to 0666).
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    // A folder that is not there fails cleanly.
    EXPECT_TRUE(WriteFileAtomically(dir_ / "missing" / "sent.adi", "x", ExistingFile::Keep));
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
        ++files;
    EXPECT_EQ(files, 1u);
}

} // namespace
} // namespace qsl
