// Labels from a log's contacts: grouped as cards are grouped, each contact mapped as the card
// maps it.
#include "labels/LabelsFromLog.h"

#include "labels/LabelSheet.h"

#include <gtest/gtest.h>

namespace {

using namespace velmora::labels;

std::vector<const adif::Record*> Pointers(const std::vector<adif::Record>& records) {
    std::vector<const adif::Record*> out;
    for (const adif::Record& record : records)
        out.push_back(&record);
    return out;
}

// Three contacts with DL1ABC from the same own call (two logged out of order, one via a
// manager and a satellite), one with F5XYZ giving only the band, logged without an own call.
constexpr std::string_view kLog =
    "<ADIF_VER:5>3.1.4<EOH>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261208<TIME_ON:6>090000<FREQ:6>7.0740<MODE:4>MFSK"
    "<SUBMODE:3>FT4<RST_SENT:3>-05<STATION_CALLSIGN:5>G4XYZ<QSL_VIA:5>DL9ZZ<EOR>\n"
    "<CALL:5>F5XYZ<QSO_DATE:8>20261201<TIME_ON:4>2359<BAND:3>40m<MODE:2>CW<RST_SENT:3>599"
    "<QSL_RCVD:1>Y<EOR>\n"
    "<CALL:6>dl1abc<QSO_DATE:8>20261207<TIME_ON:4>1432<FREQ:6>14.074<MODE:3>FT8<RST_SENT:3>-12"
    "<STATION_CALLSIGN:5>G4XYZ<SAT_NAME:4>AO-7<EOR>\n"
    "<CALL:6>DL1ABC<QSO_DATE:8>20261209<TIME_ON:4>0700<FREQ:5>3.573<MODE:3>FT8<RST_SENT:3>-20"
    "<STATION_CALLSIGN:5>G4XYZ<QSL_RCVD:1>Y<EOR>\n";

TEST(LabelsFromLog, OneLabelPerCardWithTheCardsFormatting) {
    const std::vector<adif::Record> records = adif::ParseLog("log.adi", kLog);
    const auto cards = qsl::GroupContacts(Pointers(records), 5);
    const std::vector<LabelData> labels = LabelsFromCards(cards, "DD.MM.YYYY", "M0OWN");
    ASSERT_EQ(labels.size(), 2u);

    const LabelData& dl = labels[0];
    EXPECT_EQ(dl.call, "dl1abc"); // the oldest contact's spelling, as the card's first row
    EXPECT_EQ(dl.ownCall, "G4XYZ");
    EXPECT_EQ(dl.qslVia, "DL9ZZ"); // given by a later contact only
    ASSERT_EQ(dl.rows.size(), 3u);
    EXPECT_EQ(dl.rows[0].date, "07.12.2026");
    EXPECT_EQ(dl.rows[0].utc, "1432");
    EXPECT_EQ(dl.rows[0].mhz, "14.074");
    EXPECT_EQ(dl.rows[0].satellite, "AO-7");
    EXPECT_EQ(dl.rows[1].utc, "0900"); // HHMMSS shown as HHMM
    EXPECT_EQ(dl.rows[1].mode, "FT4"); // SUBMODE before MODE
    EXPECT_EQ(dl.rows[1].rst, "-05");
    EXPECT_FALSE(dl.rows[1].qslReceived);
    EXPECT_TRUE(dl.rows[2].qslReceived);

    const LabelData& f = labels[1];
    EXPECT_EQ(f.call, "F5XYZ");
    EXPECT_EQ(f.ownCall, "M0OWN"); // the log names none: the profile's call sign
    ASSERT_EQ(f.rows.size(), 1u);
    EXPECT_EQ(f.rows[0].mhz, "");
    EXPECT_EQ(f.rows[0].band, "40m");
    EXPECT_TRUE(f.rows[0].qslReceived);
}

TEST(LabelsFromLog, EachRowEqualsTheCardsContact) {
    const std::vector<adif::Record> records = adif::ParseLog("log.adi", kLog);
    const auto cards = qsl::GroupContacts(Pointers(records), 2);
    const std::vector<LabelData> labels = LabelsFromCards(cards, qsl::kDefaultDateFormat, "");
    ASSERT_EQ(labels.size(), 3u); // DL1ABC's three contacts take two labels of at most two
    std::size_t label = 0;
    for (const qsl::CardContacts& card : cards) {
        ASSERT_EQ(labels[label].rows.size(), card.contacts.size());
        for (std::size_t i = 0; i < card.contacts.size(); ++i) {
            const qsl::Contact c = qsl::ContactFromRecord(*card.contacts[i], "YYYY-MM-DD");
            const LabelRow& row = labels[label].rows[i];
            EXPECT_EQ(row.date, c.date);
            EXPECT_EQ(row.utc, c.utc);
            EXPECT_EQ(row.mhz, c.frequency);
            EXPECT_EQ(row.mode, c.mode);
            EXPECT_EQ(row.rst, c.rst);
        }
        ++label;
    }
}

TEST(LabelsFromLog, RefusesNoContactsAndMoreThanALabelHolds) {
    EXPECT_THROW(LabelFromContacts({}, "G4XYZ"), ELabelError);
    std::vector<qsl::Contact> six(kMaxRowsPerLabel + 1);
    for (qsl::Contact& c : six)
        c.station = "DL1ABC";
    EXPECT_THROW(LabelFromContacts(six, "G4XYZ"), ELabelError);
    six.pop_back();
    EXPECT_EQ(LabelFromContacts(six, "G4XYZ").rows.size(), kMaxRowsPerLabel);
}

} // namespace
