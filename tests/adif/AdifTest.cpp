// Reading ADIF logs: the tagged form's lengths, names, header and record markers, damaged
// records with their positions, and the XML form.
#include "adif/Adif.h"

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
