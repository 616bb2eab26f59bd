// Reading ADIF logs: the tagged form's lengths, names, header and record markers, damaged
// records with their positions, and the XML form.
#include "adif/Adif.h"

#include "adif/AdiWriter.h"
#include "adif/Encoding.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

namespace adif {
namespace {

// The values of one field across the sound records.
std::vector<std::string> Values(const std::vector<Record>& records, std::string_view name) {
    std::vector<std::string> values;
    for (const Record& record : records) {
        if (!record.Damaged())
            values.emplace_back(record.Value(name));
    }
    return values;
}

// ---- The tagged form ----------------------------------------------------------------------

TEST(AdiTest, LengthsCountBytesSoUtf8AndAngleBracketsStayInTheData) {
    // "Jürg" is five bytes; "a<b>c" holds a tag-like text; both are read by their lengths.
    const std::vector<Record> records =
        ParseAdi("<CALL:6>DL1ABC<NAME:5>J\xC3\xBCrg<COMMENT:5>a<b>c<FREQ:6>14.074<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].Damaged()) << records[0].damage;
    EXPECT_EQ(records[0].Value("NAME"), "J\xC3\xBCrg");
    EXPECT_EQ(records[0].Value("COMMENT"), "a<b>c");
    EXPECT_EQ(records[0].Value("FREQ"), "14.074");
}

TEST(AdiTest, ALengthShorterThanTheTextTakesOnlyThoseBytes) {
    // The rest of the text before the next tag is ignored, as text between fields is.
    const std::vector<Record> records = ParseAdi("<CALL:3>DL1ABC <MODE:2>CW<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("CALL"), "DL1");
    EXPECT_EQ(records[0].Value("MODE"), "CW");
}

TEST(AdiTest, NamesAndMarkersAreReadInAnyCaseAndTypeIndicatorsAreKept) {
    const std::vector<Record> records = ParseAdi("header\n<adif_ver:5>3.1.4<eOh>\n"
                                                 "<call:5>G4XYZ <Qso_Date:8:d>20261208 <eor>\n"
                                                 "<CALL:5>F5ABC <QSO_DATE:8:D>20261209 <EoR>\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Values(records, "CALL"), (std::vector<std::string>{"G4XYZ", "F5ABC"}));
    const Field* date = records[0].Find("qso_date");
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->name, "QSO_DATE");
    EXPECT_EQ(date->type, "D");
    EXPECT_EQ(date->value, "20261208");
    EXPECT_EQ(records[0].Find("ADIF_VER"), nullptr); // a header field is no record field
    EXPECT_EQ(records[1].number, 2u);
}

TEST(AdiTest, HeaderTextMayHoldAnythingUpToEoh) {
    // A header begins with any character but '<' and may contain tag-like text.
    const std::vector<Record> records =
        ParseAdi("Log of <DL9OWN> <CALL:4>XXXX\n<EOH><CALL:6>DL1ABC<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("CALL"), "DL1ABC");
}

TEST(AdiTest, HeaderFieldsInAFileThatBeginsWithATagEndAtEoh) {
    const std::vector<Record> records =
        ParseAdi("<ADIF_VER:5>3.1.4<PROGRAMID:4>TEST<EOH><CALL:6>DL1ABC<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Find("PROGRAMID"), nullptr);
    EXPECT_EQ(records[0].Value("CALL"), "DL1ABC");
    EXPECT_EQ(records[0].offset, 39u);
}

TEST(AdiTest, WithoutEohTheRecordsStartAtTheFirstTag) {
    // No header at all, and free text without an <EOH>: the records are still found.
    EXPECT_EQ(Values(ParseAdi("<CALL:6>DL1ABC<EOR><CALL:5>G4XYZ<EOR>"), "CALL"),
              (std::vector<std::string>{"DL1ABC", "G4XYZ"}));
    EXPECT_EQ(Values(ParseAdi("exported log\n<CALL:6>DL1ABC<EOR>"), "CALL"),
              (std::vector<std::string>{"DL1ABC"}));
}

TEST(AdiTest, UnknownFieldsAreKeptButChangeNothing) {
    const std::vector<Record> records =
        ParseAdi("<APP_X_Y:3>abc<MY_OWN_FIELD:0><CALL:6>DL1ABC<USERDEF1:2:N>42<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("CALL"), "DL1ABC");
    EXPECT_EQ(records[0].Value("MY_OWN_FIELD"), "");
    EXPECT_EQ(records[0].Value("NOT_THERE"), "");
}

TEST(AdiTest, EmptyRecordsAndStrayTextAreNoRecords) {
    const std::vector<Record> records =
        ParseAdi("<EOR>\n<CALL:6>DL1ABC<EOR>\n<EOR> a < b <EOR>\n<CALL:5>G4XYZ<EOR>  \n");
    EXPECT_EQ(Values(records, "CALL"), (std::vector<std::string>{"DL1ABC", "G4XYZ"}));
    EXPECT_EQ(records.size(), 2u);
}

// ---- Damaged records ----------------------------------------------------------------------

TEST(AdiTest, ABadLengthDamagesOnlyItsRecord) {
    const std::string text = "<CALL:6>DL1ABC<EOR>"    // record 1 at 0
                             "<CALL:5>G4XYZ<FREQ:x>7" // record 2 at 19, bad length at 32
                             " <MODE:2>CW<EOR>"       //
                             "<CALL:5>F5ABC<EOR>"     // record 3
                             "<CALL:-1>K1AB<EOR>"     // record 4: a sign is no length
                             "<CALL>K1AB<EOR>";       // record 5: no length at all
    const std::vector<Record> records = ParseAdi(text);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_TRUE(records[1].Damaged());
    EXPECT_EQ(records[1].number, 2u);
    EXPECT_EQ(records[1].offset, 19u);
    EXPECT_EQ(records[1].damageOffset, 32u);
    EXPECT_NE(records[1].damage.find("<FREQ:x>"), std::string::npos) << records[1].damage;
    EXPECT_FALSE(records[2].Damaged());
    EXPECT_EQ(records[2].Value("CALL"), "F5ABC");
    EXPECT_TRUE(records[3].Damaged());
    EXPECT_TRUE(records[4].Damaged());
    EXPECT_NE(records[4].damage.find("no length"), std::string::npos) << records[4].damage;
    EXPECT_EQ(Values(records, "CALL"), (std::vector<std::string>{"DL1ABC", "F5ABC"}));
}

TEST(AdiTest, ALengthPastTheEndIsReportedWhereItStands) {
    const std::string text = "<CALL:6>DL1ABC<EOR><CALL:5>G4XYZ<NAME:50>Jo<EOR>";
    const std::vector<Record> records = ParseAdi(text);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].Damaged());
    EXPECT_TRUE(records[1].Damaged());
    EXPECT_EQ(records[1].damageOffset, text.find("<NAME"));
    EXPECT_NE(records[1].damage.find("past the end"), std::string::npos) << records[1].damage;
    // A huge length cannot overflow into a small one.
    const std::vector<Record> huge = ParseAdi("<CALL:18446744073709551622>DL1ABC<EOR>");
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_TRUE(huge[0].Damaged());
}

TEST(AdiTest, ATruncatedFileDamagesTheLastRecord) {
    for (const std::string text :
         {"<CALL:6>DL1ABC<EOR><CALL:5>G4XYZ<MODE:2>CW", "<CALL:6>DL1ABC<EOR><CALL:5>G4XYZ<MO",
          "<CALL:6>DL1ABC<EOR><CALL:5>G4X"}) {
        SCOPED_TRACE(text);
        const std::vector<Record> records = ParseAdi(text);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_FALSE(records[0].Damaged());
        EXPECT_TRUE(records[1].Damaged());
        EXPECT_EQ(records[1].number, 2u);
        EXPECT_EQ(records[1].offset, 19u);
    }
}

// ---- Logs as other programs write them --------------------------------------------------

TEST(AdiTest, EndOfFileMarkersAfterTheLastRecordAreNoDamage) {
    // LoTW ends its reports with <APP_LoTW_EOF>, other writers with <EOF>.
    for (const std::string ending : {"<APP_LoTW_EOF>\n", "<EOF>", "\n<eof>\n<APP_X_END>"}) {
        SCOPED_TRACE(ending);
        const std::vector<Record> records =
            ParseAdi("<EOH>\n<CALL:6>DL1ABC<EOR>\n<CALL:5>G4XYZ<EOR>\n" + ending);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_FALSE(records[1].Damaged()) << records[1].damage;
    }
    // Inside a record, or before another record, a tag without a length still damages.
    const std::vector<Record> inside = ParseAdi("<CALL:6>DL1ABC<EOF><EOR><CALL:1>A<EOR>");
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_TRUE(inside[0].Damaged());
    EXPECT_FALSE(inside[1].Damaged());
    const std::vector<Record> between = ParseAdi("<CALL:6>DL1ABC<EOR><BAD><CALL:1>A<EOR>");
    ASSERT_EQ(between.size(), 2u);
    EXPECT_TRUE(between[1].Damaged());
    // A field after the marker opens a record that never ends: damaged.
    const std::vector<Record> after = ParseAdi("<CALL:6>DL1ABC<EOR><EOF><CALL:1>A");
    ASSERT_EQ(after.size(), 2u);
    EXPECT_TRUE(after[1].Damaged());
}

TEST(AdiTest, LengthsCountedInCharactersAreReadAsCharacters) {
    // "Jörg" and "Zoë" with their character counts: the byte reading would cut the last letter
    // or end inside the two-byte letter.
    const std::vector<Record> records =
        ParseAdi("<CALL:6>DL1ABC <NAME:4>J\xC3\xB6rg <QTH:3>Zo\xC3\xAB"
                 "<NAME_2:2>\xC3\xA9t\n<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("NAME"), "J\xC3\xB6rg");
    EXPECT_EQ(records[0].Value("QTH"), "Zo\xC3\xAB");
    EXPECT_EQ(records[0].Value("NAME_2"), "\xC3\xA9t");
    // Byte lengths that are right stay right, with text after the data or without.
    const std::vector<Record> bytes =
        ParseAdi("<NAME:5>J\xC3\xB6rg extra <QTH:6>Zo\xC3\xAB<x<MODE:2>CW<EOR>");
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(bytes[0].Value("NAME"), "J\xC3\xB6rg");
    EXPECT_EQ(bytes[0].Value("QTH"), "Zo\xC3\xAB<x");
    EXPECT_EQ(bytes[0].Value("MODE"), "CW");
    // A character reading that does not end before a tag either is not taken.
    EXPECT_EQ(ParseAdi("<NAME:4>J\xC3\xB6rg junk<EOR>")[0].Value("NAME"), "J\xC3\xB6r");
}

// A card run keeps where each record lies and reads it again from those bytes alone: the record
// read again must be the record read in the whole log, whatever stands before and after it.
TEST(AdiTest, ARecordReadAgainFromItsOwnBytesIsTheSame) {
    const std::string log =
        // No header: the first <EOH> stands inside the third record, which keeps its fields.
        "<CALL:6>DL1ABC <NAME:4>J\xC3\xB6rg <QSO_DATE:8>20261201<TIME_ON:4>1100 <eor>\n"
        // Damaged neighbours: a bad length, a field without a length.
        "<CALL:2>XX<NAME:x>bad<EOR>\n"
        "<CALL:5>G4XYZ<QTH:6>Zo\xC3\xAB<x<EOH><MODE:2>CW <APP_X_Y:3:S>a<b<EOR>"
        "<BAD><CALL:1>Z<EOR>"
        // Read by characters, the name would run exactly to the end of its record's <EOR>; in
        // the log text follows, so the bytes are taken, and so they are when read again.
        "<CALL:4>K2AB<NAME:12>\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x<EOR>%"
        // An <EOH> in a later record is no header; character-counted text at the last field.
        "<CALL:4>K1AB<EOH><QTH:3>Zo\xC3\xAB<EOR>\n<EOF>";
    std::vector<Record> streamed;
    ReadAdi(log, [&streamed](Record&& record) { streamed.push_back(std::move(record)); });
    const std::vector<Record> whole = ParseAdi(log);
    ASSERT_EQ(streamed.size(), whole.size());
    size_t sound = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(streamed[i].number, i + 1);
        EXPECT_EQ(streamed[i].offset, whole[i].offset);
        EXPECT_EQ(streamed[i].end, whole[i].end);
        if (whole[i].Damaged())
            continue;
        ++sound;
        ASSERT_LT(whole[i].offset, whole[i].end);
        ASSERT_LE(whole[i].end, log.size());
        EXPECT_TRUE(std::string_view(log).substr(0, whole[i].end).ends_with(">"));
        const Record again = ReadAdiRecord(
            std::string_view(log).substr(whole[i].offset, whole[i].end - whole[i].offset));
        ASSERT_FALSE(again.Damaged()) << again.damage;
        ASSERT_EQ(again.fields.size(), whole[i].fields.size());
        for (size_t f = 0; f < again.fields.size(); ++f) {
            EXPECT_EQ(again.fields[f].name, whole[i].fields[f].name);
            EXPECT_EQ(again.fields[f].type, whole[i].fields[f].type);
            EXPECT_EQ(again.fields[f].value, whole[i].fields[f].value);
        }
    }
    EXPECT_EQ(sound, 4u);
    EXPECT_EQ(whole[0].Value("NAME"), "J\xC3\xB6rg");
    EXPECT_EQ(whole.back().Value("QTH"), "Zo\xC3\xAB");
    EXPECT_EQ(whole.back().Value("CALL"), "K1AB");
    // Bytes that hold no whole record say so.
    EXPECT_TRUE(ReadAdiRecord("").Damaged());
    EXPECT_TRUE(ReadAdiRecord("<CALL:6>DL1").Damaged());
}

// A log read through a window of a few bytes, as a card run reads a long one.
struct WindowedReading {
    bool whole = false;
    std::vector<Record> records;
    std::vector<std::string> bytes;
};

WindowedReading ReadWindowed(std::string_view log, size_t window, size_t givesUpAt = SIZE_MAX) {
    AdiLogScan scan;
    for (size_t at = 0; at < log.size(); at += 3)
        scan.Add(log.substr(at, 3));
    WindowedReading reading;
    const ReadLogBytes read = [&](uint64_t offset, char* into, size_t room) -> size_t {
        if (offset >= std::min(log.size(), givesUpAt))
            return 0;
        room = std::min({room, size_t(2), std::min(log.size(), givesUpAt) - size_t(offset)});
        log.copy(into, room, size_t(offset));
        return room;
    };
    reading.whole =
        ReadAdiWindowed(scan, window, read, [&](Record&& record, std::string_view bytes) {
            reading.records.push_back(std::move(record));
            reading.bytes.emplace_back(bytes);
        });
    return reading;
}

// Whatever the window's size, and wherever it cuts a tag, a value (one holding "<EOR>" among
// them), a character or the header, the records are those of the whole log, each with its bytes.
TEST(AdiTest, AWindowedReadingGivesTheWholeLogsRecords) {
    const std::vector<std::string> logs = {
        // Header text holding '<', a value holding "<EOR>", a damaged record, <EOF> at the end.
        "Log <of> DL1ABC\n<ADIF_VER:5>3.1.4 <eoh>\n<CALL:6>DL1ABC<COMMENT:7>a<EOR>b<QSO_DATE:8>"
        "20261201<eor>\n<CALL:2>XX<NAME:x>bad<EOR>\n<CALL:4>K1AB<NAME:4>J\xC3\xB6rg<EOR>\n<EOF>",
        // Header fields in a log beginning with '<'; lengths counting characters.
        "<ADIF_VER:5>3.1.4<EOH><CALL:4>K2AB<NAME:4>J\xC3\xB6rg <EOR><CALL:5>G4XYZ<QTH:3>Zo\xC3\xAB"
        "<EOR>   <CALL:3>N0A<NAME:12>\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x<EOR>%",
        // No header; a tag without a length inside a record; the last field runs past the end.
        "<CALL:4>K1AB<BAD><MODE:2>CW<EOR><CALL:4>K3CD<EOR><CALL:4>K4EF<NAME:40>short",
        // A record without <EOR>, then a tag that never closes.
        "junk before <CALL:4>K5GH<EOR><CALL:4>K6IJ<MODE:2>CW<QTH:3",
        // Header text without <EOH>; long text between records.
        "no header here " + std::string(100, 'x') + "<CALL:4>K7KL<EOR>" + std::string(50, ' ') +
            "<call:4>k8mn<Eor>",
        "",
        "<EOR><EOR>",
        "text only",
        // Lengths counting characters, the text after them running to a window's end.
        "<CALL:4>K9AB<NAME:6>\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9    \n   <QTH:5>"
        "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC<EOR><CALL:2>K9<NAME:3>"
        "\xF0\x9F\x93\xBB\xF0\x9F\x93\xBB\xF0\x9F\x93\xBBxy   <EOR>",
    };
    for (const std::string& log : logs) {
        const std::vector<Record> whole = ParseAdi(log);
        for (size_t window = 1; window <= log.size() + 1; ++window) {
            SCOPED_TRACE(log + " / window " + std::to_string(window));
            const WindowedReading reading = ReadWindowed(log, window);
            EXPECT_TRUE(reading.whole);
            ASSERT_EQ(reading.records.size(), whole.size());
            for (size_t i = 0; i < whole.size(); ++i) {
                const Record& got = reading.records[i];
                EXPECT_EQ(got.number, whole[i].number);
                EXPECT_EQ(got.offset, whole[i].offset);
                EXPECT_EQ(got.end, whole[i].end);
                EXPECT_EQ(got.damage, whole[i].damage);
                EXPECT_EQ(got.damageOffset, whole[i].damageOffset);
                ASSERT_EQ(got.fields.size(), whole[i].fields.size());
                for (size_t f = 0; f < got.fields.size(); ++f) {
                    EXPECT_EQ(got.fields[f].name, whole[i].fields[f].name);
                    EXPECT_EQ(got.fields[f].type, whole[i].fields[f].type);
                    EXPECT_EQ(got.fields[f].value, whole[i].fields[f].value);
                }
                EXPECT_EQ(reading.bytes[i],
                          whole[i].Damaged()
                              ? std::string()
                              : log.substr(whole[i].offset, whole[i].end - whole[i].offset));
            }
        }
    }
}

// A log that gives fewer bytes than were scanned (cut short while it is read) ends the reading
// with a refusal; the records handed out before are whole ones.
TEST(AdiTest, AWindowedReadingOfALogCutShortSaysSo) {
    const std::string log =
        "<CALL:4>K1AB<EOR><CALL:4>K2CD<COMMENT:9>x<EOR>yzzz<EOR><CALL:4>K3EF<EOR>";
    for (size_t cut = 0; cut < log.size(); ++cut) {
        SCOPED_TRACE(cut);
        const WindowedReading reading = ReadWindowed(log, 4, cut);
        EXPECT_FALSE(reading.whole);
        for (size_t i = 0; i < reading.records.size(); ++i) {
            EXPECT_FALSE(reading.records[i].Damaged());
            EXPECT_LE(reading.records[i].end, cut);
            EXPECT_EQ(reading.bytes[i],
                      log.substr(reading.records[i].offset,
                                 reading.records[i].end - reading.records[i].offset));
        }
    }
    const WindowedReading uncut = ReadWindowed(log, 4, log.size());
    EXPECT_TRUE(uncut.whole);
    EXPECT_EQ(uncut.records.size(), 3u);
}

TEST(LogEncodingTest, ALatin1LogIsConverted) {
    // "Jörg" and "Müller" in Latin-1, lengths counting Latin-1 bytes (one per character).
    const std::string latin1 =
        "<CALL:6>DL1ABC<NAME:4>J\xF6rg<QTH:6>M\xFCller<COMMENT:3>\x80 1<EOR>";
    EXPECT_FALSE(IsValidUtf8(latin1));
    const DecodedText decoded = DecodeLogText(latin1);
    EXPECT_EQ(decoded.encoding, TextEncoding::Latin1);
    const std::vector<Record> records = ParseLog("log.adi", latin1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].Damaged()) << records[0].damage;
    EXPECT_EQ(records[0].Value("NAME"), "J\xC3\xB6rg");
    EXPECT_EQ(records[0].Value("QTH"), "M\xC3\xBCller");
    EXPECT_EQ(records[0].Value("COMMENT"), "\xE2\x82\xAC 1"); // 0x80 is the euro sign
    // UTF-8 is left alone; overlong forms and surrogates are not UTF-8.
    EXPECT_EQ(DecodeLogText("J\xC3\xB6rg").encoding, TextEncoding::Utf8);
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x93\xBB"));
}

TEST(AdiWriterTest, WhatIsWrittenReadsBackTheSame) {
    AdiWriter writer("Test export", "TEST", "1.0", "20261210 120000");
    writer.Field("CALL", "DL1ABC");
    writer.Field("NAME", "J\xC3\xB6rg <3");
    writer.Field("COMMENT", "");
    writer.EndRecord();
    writer.Field("CALL", "G4XYZ");
    writer.EndRecord();
    const std::vector<Record> records = ParseAdi(writer.Text());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Value("NAME"), "J\xC3\xB6rg <3");
    ASSERT_NE(records[0].Find("COMMENT"), nullptr);
    EXPECT_EQ(records[0].Find("PROGRAMID"), nullptr); // the header is no record
    EXPECT_EQ(records[1].Value("CALL"), "G4XYZ");
    EXPECT_NE(writer.Text().find("<ADIF_VER:5>3.1.4"), std::string::npos);
}

// ---- Hostile logs --------------------------------------------------------------------------

// Each must end quickly with a damaged record or none, never a crash or a runaway.
TEST(HostileLogTest, HugeLengthsAndTagsEndWithAShortMessage) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Record> huge = ParseAdi("<CALL:2147483648>DL1ABC<EOR>");
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_NE(huge[0].damage.find("past the end"), std::string::npos);

    std::string bigTag = "<CALL:6>DL1ABC<EOR><" + std::string(1 << 20, 'A') + "><EOR>";
    std::vector<Record> records = ParseAdi(bigTag);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].Damaged());
    EXPECT_LT(records[1].damage.size(), 100u); // the tag is quoted, not copied whole

    // A megabyte of '<' and of '&' is read in one pass, not once per character.
    records = ParseAdi(std::string(1 << 20, '<') + ">");
    EXPECT_TRUE(records.empty() || records[0].Damaged());
    records = ParseAdx("<ADX><RECORDS><RECORD><CALL>" + std::string(1 << 20, '&') +
                       "</CALL></RECORD></RECORDS></ADX>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("CALL").size(), size_t(1) << 20);

    // NUL bytes are data like any other; in a message they show as '?'.
    records = ParseAdi(std::string("<CALL:3>A\0B<EOR><X\0Y><EOR>", 26));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Value("CALL"), std::string_view("A\0B", 3));
    EXPECT_NE(records[1].damage.find("X?Y"), std::string::npos) << records[1].damage;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(HostileLogTest, DeepXmlAndEntityBombsAreRefusedOrLeftUnexpanded) {
    std::string deep = "<ADX><RECORDS><RECORD><CALL>DL1ABC</CALL>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    std::vector<Record> records = ParseAdx(deep);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].damage.find("nested more than"), std::string::npos) << records[0].damage;

    // Entities of a document type are never expanded: the reference stays as it stands.
    const std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE ADX [<!ENTITY a \"aaaaaaaaaa\">"
                             "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                             "<ADX><RECORDS><RECORD><CALL>DL1ABC</CALL><NAME>&b;</NAME>"
                             "</RECORD></RECORDS></ADX>";
    records = ParseAdx(bomb);
    ASSERT_FALSE(records.empty());
    for (const Record& record : records)
        EXPECT_LE(record.Value("NAME").size(), 3u);
}

// ---- The XML form -------------------------------------------------------------------------

constexpr std::string_view kAdx = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- exported for a test -->
<ADX>
  <HEADER>
    <ADIF_VER>3.1.4</ADIF_VER>
    <RECORD><CALL>NOT-A-CONTACT</CALL></RECORD>
  </HEADER>
  <RECORDS>
    <RECORD>
      <CALL>DL1ABC</CALL>
      <NAME>J&#252;rg &amp; Co &lt;3</NAME>
      <QSO_DATE>20261207</QSO_DATE>
      <APP PROGRAMID="MONOLOG" FIELDNAME="Compression" TYPE="s">off</APP>
      <USERDEF FIELDNAME="EPC">32123</USERDEF>
      <COMMENT><![CDATA[a <b> c]]></COMMENT>
      <MODE/>
    </RECORD>
    <record><call>g4xyz</call></record>
  </RECORDS>
</ADX>
)";

TEST(AdxTest, RecordsUnderRecordsWithEntitiesApplicationAndUserFields) {
    const std::vector<Record> records = ParseAdx(kAdx);
    ASSERT_EQ(records.size(), 2u);
    const Record& first = records[0];
    EXPECT_FALSE(first.Damaged()) << first.damage;
    EXPECT_EQ(first.number, 1u);
    EXPECT_EQ(first.offset, kAdx.find("<RECORD>\n      <CALL>DL1ABC"));
    EXPECT_EQ(first.Value("CALL"), "DL1ABC");
    EXPECT_EQ(first.Value("NAME"), "J\xC3\xBCrg & Co <3");
    EXPECT_EQ(first.Value("APP_MONOLOG_COMPRESSION"), "off");
    EXPECT_EQ(first.Find("APP_MONOLOG_COMPRESSION")->type, "S");
    EXPECT_EQ(first.Value("EPC"), "32123");
    EXPECT_EQ(first.Value("COMMENT"), "a <b> c");
    ASSERT_NE(first.Find("MODE"), nullptr);
    EXPECT_EQ(first.Value("MODE"), "");
    EXPECT_EQ(records[1].Value("CALL"), "g4xyz");
}

TEST(AdxTest, AMismatchedRecordIsDamagedAndTheNextOneRead) {
    const std::string text = "<ADX><RECORDS>"
                             "<RECORD><CALL>DL1ABC</CALL></RECORD>"
                             "<RECORD><CALL>G4XYZ</NAME></RECORD>"
                             "<RECORD><CALL>F5ABC</CALL></RECORD>"
                             "</RECORDS></ADX>";
    const std::vector<Record> records = ParseAdx(text);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[1].Damaged());
    EXPECT_EQ(records[1].damageOffset, text.find("</NAME>"));
    EXPECT_EQ(Values(records, "CALL"), (std::vector<std::string>{"DL1ABC", "F5ABC"}));
}

TEST(AdxTest, ATruncatedDocumentDamagesTheOpenRecord) {
    const std::vector<Record> records =
        ParseAdx("<ADX><RECORDS><RECORD><CALL>DL1ABC</CALL></RECORD><RECORD><CALL>G4");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].Damaged());
    EXPECT_TRUE(records[1].Damaged());
    const std::vector<Record> cutTag = ParseAdx("<ADX><RECORDS><RECORD><CALL>G4XYZ</CA");
    ASSERT_EQ(cutTag.size(), 1u);
    EXPECT_TRUE(cutTag[0].Damaged());
}

TEST(AdxTest, InternationalFieldsArePreferredOverTheirPlainTwins) {
    const std::vector<Record> records =
        ParseAdx("<ADX><RECORDS><RECORD><CALL>UA3ABC</CALL><NAME>Ivan</NAME>"
                 "<NAME_INTL>ÐÐ²Ð°Ð½</NAME_INTL><QTH_INTL>MÃ¼nchen</QTH_INTL>"
                 "<QSLMSG>tnx</QSLMSG><QSLMSG_INTL></QSLMSG_INTL></RECORD></RECORDS></ADX>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Value("NAME"), "ÐÐ²Ð°Ð½");
    EXPECT_EQ(records[0].Value("QTH"), "MÃ¼nchen"); // stands in for a missing plain field
    EXPECT_EQ(records[0].Value("QSLMSG"), "tnx");   // an empty twin changes nothing
    EXPECT_EQ(records[0].Value("NAME_INTL"), "ÐÐ²Ð°Ð½");
}

TEST(LogFormatTest, XmlByEndingOrDeclaration) {
    EXPECT_EQ(FormatOf("log.ADX", "<CALL:1>A<EOR>"), LogFormat::Adx);
    EXPECT_EQ(FormatOf("log.txt", "\xEF\xBB\xBF  <?xml version=\"1.0\"?><ADX/>"), LogFormat::Adx);
    EXPECT_EQ(FormatOf("log", "<ADX><RECORDS/></ADX>"), LogFormat::Adx);
    EXPECT_EQ(FormatOf("log.adi", "<ADIF_VER:5>3.1.4<EOH>"), LogFormat::Adi);
    EXPECT_EQ(FormatOf("adx.adi", "text"), LogFormat::Adi);
    EXPECT_EQ(Values(ParseLog("log.adx", kAdx), "CALL"),
              (std::vector<std::string>{"DL1ABC", "g4xyz"}));
}

} // namespace
} // namespace adif
