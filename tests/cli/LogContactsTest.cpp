// The contacts of a card run kept as a few bytes each: what is chosen, reported, grouped and read
// again must be what a run over the whole parsed log chooses, reports, groups and reads.
#include "cli/LogContacts.h"

#include "CliTestSupport.h"
#include "adif/Adif.h"
#include "adif/Encoding.h"
#include "cli/LogRun.h"
#include "qsl/Queue.h"
#include "support/Files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace cli {
namespace {

namespace fs = std::filesystem;

using testsupport::WriteText;

// A record's fields as one line, to compare records read in different ways.
std::string Describe(const adif::Record& record) {
    std::string line;
    for (const adif::Field& field : record.fields)
        line += field.name + ":" + field.type + "=" + field.value + ";";
    return line;
}

// Damaged records, a record without CALL, one without a date, sent and unsent contacts, two
// stations with several contacts each.
constexpr std::string_view kMixedLog =
    "Exported\n<ADIF_VER:5>3.1.4<EOH>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261203<TIME_ON:4>1000<NAME:4>J\xC3\xB6rg<EOR>\n"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261201<TIME_ON:4>0800<QSL_SENT:1>Y<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:x>bad<EOR>\n"
    "<QSO_DATE:8>20261201<EOR>\n"
    "<CALL:5>g4xyz<TIME_ON:4>0900<EOR>\n"
    "<CALL:6>dl1abc <QSO_DATE:8>20261201<TIME_ON:4>0900<EOR>\n"
    "<CALL:5>G4XYZ<QSO_DATE:8>20261130<TIME_ON:4>2300<STATION_CALLSIGN:4>DL0X<EOR>\n";

class LogContactsTest : public clitest::ProgramTest {
  protected:
    LogContactsTest() : ProgramTest("velmora-log-contacts-") {}

    // The contacts and messages of the whole-log steps (ReadLog, SelectContacts, GroupContacts)
    // and of LogContacts for the log at path: the records card by card, then the messages.
    std::pair<std::vector<std::string>, std::string> Whole(const fs::path& path, size_t perCard,
                                                           qsl::SentSelection selection) {
        std::ostringstream out;
        std::ostringstream err;
        CommandIo io{out, err};
        const std::optional<std::vector<adif::Record>> records = ReadLog(path.string(), io);
        EXPECT_TRUE(records.has_value());
        SelectionTotals totals;
        const std::vector<const adif::Record*> chosen =
            SelectContacts(*records, path.string(), selection, "card", totals, io);
        std::vector<std::string> cards;
        for (const qsl::CardContacts& card : qsl::GroupContacts(chosen, perCard)) {
            std::string line;
            for (const adif::Record* record : card.contacts)
                line += Describe(*record) + "|";
            cards.push_back(line);
        }
        err << totals.damaged << " " << totals.notSelected << " " << records->size();
        return {cards, err.str()};
    }

    std::pair<std::vector<std::string>, std::string> Streamed(const fs::path& path, size_t perCard,
                                                              qsl::SentSelection selection) {
        std::ostringstream out;
        std::ostringstream err;
        CommandIo io{out, err};
        SelectionTotals totals;
        std::optional<LogContacts> log =
            LogContacts::Read(path.string(), selection, "card", totals, io);
        EXPECT_TRUE(log.has_value());
        const qsl::CardOrder order = log->PlanCards(perCard);
        std::vector<std::string> cards;
        for (size_t card = 0; card < order.firsts.size(); ++card) {
            const size_t end =
                card + 1 < order.firsts.size() ? order.firsts[card + 1] : order.contacts.size();
            std::string line;
            for (size_t at = order.firsts[card]; at < end; ++at)
                line += Describe(log->Contact(order.contacts[at])) + "|";
            cards.push_back(line);
        }
        err << totals.damaged << " " << totals.notSelected << " " << log->RecordCount();
        return {cards, err.str()};
    }

    void ExpectSameAsWhole(const fs::path& path) {
        for (const size_t perCard : {1, 3}) {
            for (const qsl::SentSelection selection :
                 {qsl::SentSelection::All, qsl::SentSelection::Unsent}) {
                SCOPED_TRACE(path.filename().string() + " per card " + std::to_string(perCard));
                const auto whole = Whole(path, perCard, selection);
                const auto streamed = Streamed(path, perCard, selection);
                EXPECT_FALSE(whole.first.empty());
                EXPECT_EQ(streamed.first, whole.first);
                EXPECT_EQ(streamed.second, whole.second);
            }
        }
    }
};

TEST_F(LogContactsTest, TaggedLatin1AndXmlLogsGiveTheContactsAndMessagesOfTheWholeLog) {
    WriteText(dir_ / "mixed.adi", kMixedLog);
    ExpectSameAsWhole(dir_ / "mixed.adi");
    // The same log in Latin-1: its note comes first, offsets count the converted text.
    std::string latin1(kMixedLog);
    latin1.replace(latin1.find("J\xC3\xB6rg"), 5, "J\xF6rg");
    WriteText(dir_ / "latin1.adi", latin1);
    ExpectSameAsWhole(dir_ / "latin1.adi");
    EXPECT_NE(Streamed(dir_ / "latin1.adi", 1, qsl::SentSelection::All).second.find("Latin-1"),
              std::string::npos);
    WriteText(dir_ / "log.adx",
              "<?xml version=\"1.0\"?><ADX><HEADER><ADIF_VER>3.1.4</ADIF_VER></HEADER><RECORDS>"
              "<RECORD><CALL>DL1ABC</CALL><QSO_DATE>20261203</QSO_DATE><NAME_INTL>J\xC3\xB6rg"
              "</NAME_INTL></RECORD><RECORD><CALL>G4XYZ</CALL><QSL_SENT>Y</QSL_SENT></RECORD>"
              "<RECORD><CALL>X</CALL><A></B></RECORD>"
              "<RECORD><CALL>dl1abc</CALL><QSO_DATE>20261201</QSO_DATE></RECORD></RECORDS></ADX>");
    ExpectSameAsWhole(dir_ / "log.adx");
    // An XML log is told by its beginning too, after a byte order mark and blanks.
    std::ifstream adx(dir_ / "log.adx", std::ios::binary);
    const std::string xml((std::istreambuf_iterator<char>(adx)), std::istreambuf_iterator<char>());
    WriteText(dir_ / "xml.adi", "\xEF\xBB\xBF \r\n\n\t  " + xml);
    ExpectSameAsWhole(dir_ / "xml.adi");
}

// A log of about 4 MiB, several of the reader's pieces.
std::string LongLog() {
    std::string log = "<ADIF_VER:5>3.1.4<EOH>\n";
    constexpr int kContacts = 40000;
    for (int i = 0; i < kContacts; ++i) {
        const std::string call = "DL" + std::to_string(i % 997) + "X";
        const std::string time = std::to_string(100000 + (i * 7919) % 899999);
        log += "<CALL:" + std::to_string(call.size()) + ">" + call +
               "<QSO_DATE:8>20261201<TIME_ON:6>" + time +
               "<FREQ:6>14.074<MODE:3>FT8<COMMENT:39>a comment long enough to fill the pages"
               "<QSL_SENT:1>" +
               (i % 10 == 0 ? "Y" : "N") + "<EOR>\n";
    }
    return log;
}

// A long log is read through a window a piece at a time; every contact is still
// there to be read again, in the cards of the whole log.
TEST_F(LogContactsTest, ALongLogKeepsEveryContactAndItsCards) {
    const std::string log = LongLog();
    WriteText(dir_ / "long.adi", log);
    ASSERT_GT(log.size(), size_t(4) << 20);
    const auto whole = Whole(dir_ / "long.adi", 5, qsl::SentSelection::Unsent);
    const auto streamed = Streamed(dir_ / "long.adi", 5, qsl::SentSelection::Unsent);
    ASSERT_EQ(streamed.first.size(), whole.first.size());
    EXPECT_TRUE(streamed.first == whole.first);
    EXPECT_EQ(streamed.second, whole.second);
    EXPECT_EQ(streamed.second, "0 4000 40000");
}

// A card reads its contacts again from the file; a log changed since it was read makes that
// card fail instead of printing someone else's contact.
TEST_F(LogContactsTest, ALogChangedAfterReadingIsNoticed) {
    const fs::path path = dir_ / "log.adi";
    WriteText(path, "<CALL:6>DL1ABC<TIME_ON:4>1000<EOR><CALL:5>G4XYZ<TIME_ON:4>0800<EOR>");
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    SelectionTotals totals;
    const std::optional<LogContacts> log =
        LogContacts::Read(path.string(), qsl::SentSelection::All, "card", totals, io);
    ASSERT_TRUE(log.has_value());
    ASSERT_EQ(log->Size(), 2u);
    EXPECT_EQ(log->Contact(1).Value("CALL"), "G4XYZ");
    WriteText(path, "<CALL:6>DL1ABC<TIME_ON:4>1000<EOR><CALL:5>G4ABC<TIME_ON:4>0800<EOR>");
    EXPECT_EQ(log->Contact(0).Value("CALL"), "DL1ABC");
    EXPECT_THROW(log->Contact(1), std::runtime_error);
    WriteText(path, "<CALL:6>DL1ABC");
    EXPECT_THROW(log->Contact(0), std::runtime_error);
}

// Another program cutting the log short, adding to it or writing over it while it is read (in the
// first reading, which learns its encoding, or the second, which takes its records) makes the
// reading fail with a message; a mapped log cut short would have killed the program instead.
TEST_F(LogContactsTest, ALogChangedWhileItIsReadIsRefused) {
    const std::string log = LongLog();
    std::string latin1 = log;
    latin1.replace(latin1.find("a comment"), 1, "\xE4");
    const uint64_t size = log.size();
    struct Change {
        const char* what;
        const std::string* text;
        uint64_t when; // after this many bytes read over both readings
        std::function<void(const fs::path&)> change;
    };
    const auto cut = [](const fs::path& path) { fs::resize_file(path, 1000); };
    const auto grow = [](const fs::path& path) {
        std::ofstream(path, std::ios::app) << "<CALL:4>K1AB<EOR>\n";
    };
    const auto overwrite = [&log](const fs::path& path) {
        std::string other = log;
        other.replace(other.rfind("<CALL:"), 8, "<CALL:3>");
        WriteText(path, other);
    };
    const std::vector<Change> changes = {
        {"cut in the first reading", &log, uint64_t(1) << 20, cut},
        {"cut in the second reading", &log, size + (uint64_t(2) << 20), cut},
        {"cut between the readings", &log, size, cut},
        {"grown in the first reading", &log, uint64_t(1) << 20, grow},
        {"grown in the second reading", &log, size + (uint64_t(1) << 20), grow},
        {"written over in the second reading", &log, size + (uint64_t(3) << 20), overwrite},
        {"Latin-1, cut between the readings", &latin1, size, cut},
    };
    const fs::path path = dir_ / "changing.adi";
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        WriteText(path, *change.text);
        // Any write afterwards shows in the file's time, however coarse the clock.
        fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
        std::ostringstream out;
        std::ostringstream err;
        CommandIo io{out, err};
        SelectionTotals totals;
        bool changed = false;
        const std::optional<LogContacts> contacts = LogContacts::Read(
            path.string(), qsl::SentSelection::All, "card", totals, io, [&](uint64_t done) {
                if (!changed && done >= change.when) {
                    change.change(path);
                    changed = true;
                }
            });
        EXPECT_TRUE(changed);
        EXPECT_FALSE(contacts.has_value());
        EXPECT_NE(err.str().find("changing.adi: the log changed while it was read"),
                  std::string::npos)
            << err.str();
    }
    // Left alone, the same log reads whole.
    WriteText(path, log);
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    SelectionTotals totals;
    uint64_t read = 0;
    const std::optional<LogContacts> contacts =
        LogContacts::Read(path.string(), qsl::SentSelection::All, "card", totals, io,
                          [&](uint64_t done) { read = done; });
    ASSERT_TRUE(contacts.has_value());
    EXPECT_EQ(contacts->Size(), 40000u);
    EXPECT_EQ(read, 2 * size);
}

// A pipe can be read only once: its log is kept in memory, with the same contacts and messages.
TEST_F(LogContactsTest, ALogFromAPipeIsReadWhole) {
    WriteText(dir_ / "pipe.adi", kMixedLog);
    const auto whole = Whole(dir_ / "pipe.adi", 3, qsl::SentSelection::All);
    fs::remove(dir_ / "pipe.adi");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.adi").c_str(), 0600), 0);
    std::thread writer([this] { WriteText(dir_ / "pipe.adi", kMixedLog); });
    const auto piped = Streamed(dir_ / "pipe.adi", 3, qsl::SentSelection::All);
    writer.join();
    EXPECT_EQ(piped.first, whole.first);
    EXPECT_EQ(piped.second, whole.second);
}

TEST_F(LogContactsTest, UnreadableLogsAreReportedAsBefore) {
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    SelectionTotals totals;
    EXPECT_FALSE(LogContacts::Read((dir_ / "missing.adi").string(), qsl::SentSelection::All, "card",
                                   totals, io));
    EXPECT_NE(err.str().find("cannot open the log"), std::string::npos) << err.str();
    EXPECT_FALSE(LogContacts::Read(dir_.string(), qsl::SentSelection::All, "card", totals, io));
    EXPECT_NE(err.str().find("is a folder, not a log"), std::string::npos) << err.str();
    WriteText(dir_ / "empty.adi", "");
    const std::optional<LogContacts> empty = LogContacts::Read(
        (dir_ / "empty.adi").string(), qsl::SentSelection::All, "card", totals, io);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->RecordCount(), 0u);
}

} // namespace
} // namespace cli
