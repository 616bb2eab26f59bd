#include "qsl/Contact.h"

#include "platform/Ascii.h"
#include "qsl/Queue.h"

#include <algorithm>

namespace qsl {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string FormatQsoDate(std::string_view qsoDate, std::string_view pattern) {
    if (qsoDate.size() != 8 || !AllDigits(qsoDate))
        return std::string(qsoDate);
    const std::string_view year = qsoDate.substr(0, 4);
    const std::string_view month = qsoDate.substr(4, 2);
    const std::string_view day = qsoDate.substr(6, 2);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const std::string_view rest = pattern.substr(i);
        if (rest.starts_with("YYYY")) {
            out += year;
            i += 4;
        } else if (rest.starts_with("YY")) {
            out += year.substr(2);
            i += 2;
        } else if (rest.starts_with("MM")) {
            out += month;
            i += 2;
        } else if (rest.starts_with("DD")) {
            out += day;
            i += 2;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

bool IsDatePattern(std::string_view pattern) {
    for (std::string_view part : {"YY", "MM", "DD"}) {
        if (pattern.find(part) != std::string_view::npos)
            return true;
    }
    return false;
}

std::string FormatTimeOn(std::string_view timeOn) {
    if ((timeOn.size() == 4 || timeOn.size() == 6) && AllDigits(timeOn))
        return std::string(timeOn.substr(0, 4));
    return std::string(timeOn);
}

Contact ContactFromRecord(const adif::Record& record, std::string_view datePattern) {
    Contact contact;
    contact.station = record.Value("CALL");
    contact.operatorName = record.Value("NAME");
    contact.date = FormatQsoDate(record.Value("QSO_DATE"), datePattern);
    contact.utc = FormatTimeOn(record.Value("TIME_ON"));
    contact.frequency = record.Value("FREQ");
    contact.rst = record.Value("RST_SENT");
    const std::string_view submode = record.Value("SUBMODE");
    contact.mode = submode.empty() ? record.Value("MODE") : submode;
    // The call sign used on the air for this contact is the station's; a log that names only
    // the operator gives that call.
    contact.ownCall = OwnCall(record);
    contact.band = TrimBlanks(record.Value("BAND"));
    contact.satellite = TrimBlanks(record.Value("SAT_NAME"));
    contact.qslVia = TrimBlanks(record.Value("QSL_VIA"));
    contact.qslMessage = TrimBlanks(record.Value("QSLMSG"));
    contact.qslReceived = platform::EqualNoCase(TrimBlanks(record.Value("QSL_RCVD")), "Y");
    return contact;
}

} // namespace qsl
