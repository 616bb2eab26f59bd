// One contact of a log as a QSL card or label shows it: the date laid out by a pattern, the time
// as HHMM, the mode (SUBMODE before MODE), the own call the contact was made under. Cards,
// labels and the window's contact list all map records here, so they never disagree about what a
// contact says.
#pragma once

#include "adif/Adif.h"

#include <string>
#include <string_view>

namespace qsl {

// The contacted station and the contact, as the card's table shows them.
struct Contact {
    std::string station;      // CALL
    std::string operatorName; // NAME: the contacted operator, before the thanks text
    std::string date;         // QSO_DATE, formatted
    std::string utc;          // TIME_ON as HHMM
    std::string frequency;    // FREQ, MHz
    std::string rst;          // RST_SENT
    std::string mode;         // SUBMODE when present, else MODE
    std::string ownCall;      // STATION_CALLSIGN or OPERATOR; empty: the profile's call sign
    std::string band;         // BAND as written ("20m"), shown when the card has no FREQ
    std::string satellite;    // SAT_NAME
    std::string qslVia;       // QSL_VIA: the station's QSL manager
    std::string qslMessage;   // QSLMSG: replaces the profile's thanks text
    bool qslReceived = false; // QSL_RCVD is Y
};

// The default layout of a formatted date.
inline constexpr std::string_view kDefaultDateFormat = "YYYY-MM-DD";

// An ADIF date (YYYYMMDD) laid out by pattern, in which YYYY, YY, MM and DD stand for the year,
// its last two digits, the month and the day, and every other character stands for itself. A
// value that is not eight digits is returned as it is, so nothing in a log is lost.
std::string FormatQsoDate(std::string_view qsoDate, std::string_view pattern);

// True when pattern names at least one part of the date.
bool IsDatePattern(std::string_view pattern);

// TIME_ON (HHMM or HHMMSS) as HHMM; a value of other digits is returned as it is.
std::string FormatTimeOn(std::string_view timeOn);

Contact ContactFromRecord(const adif::Record& record, std::string_view datePattern);

} // namespace qsl
