// The contacts of a log file as the main window's contact list shows them and as they fill the
// window's contact fields. The log is read by the shared ADIF reader and each record is mapped
// to a contact by the same function velmora-card uses, so the window and the command line agree
// on every card made from the same record.
//
// Reading runs off the window's thread: everything here is plain data without Qt, and the
// progress callback is called on the reading thread.
#pragma once

#include "qsl/Contact.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace contacts {

// One readable contact of the log.
struct LogContact {
    size_t record = 0;   // the record's number in the file, 1 for the first
    qsl::Contact fields; // as velmora-card maps the record, the date as it stands in the log
    std::string band;    // BAND, shown and filled when FREQ is missing
    std::string qslSent; // QSL_SENT

    // Keys prepared once, so sorting a large log never re-reads the values.
    uint64_t when = 0;           // YYYYMMDDHHMMSS from QSO_DATE and TIME_ON; 0 without a date
    double frequencyKey = 0;     // MHz from FREQ, else the band's lower edge
    bool frequencyKnown = false; // false: frequencyKey means nothing, sorts last
};

// A record that gave no contact, and why.
struct SkippedRecord {
    size_t record = 0;
    uint64_t offset = 0; // where the fault was found
    std::string reason;
    bool damaged = true; // false: read whole, but without a call
};

struct ContactLog {
    std::string path;
    size_t records = 0; // every record of the file, skipped ones included
    std::vector<LogContact> contacts;
    std::vector<SkippedRecord> skipped;

    // Every contact's call as the list shows it, in upper case, one after the other in one
    // string, each ended by a line end, which no call holds; callStarts[i] is where the call of
    // contacts[i] begins. The filter searches this once instead of every contact.
    std::string callIndex;
    std::vector<size_t> callStarts;
};

// What the main window's contact fields receive; the own station's fields are not touched.
struct ContactFields {
    std::string station;      // Rem QRA: CALL
    std::string operatorName; // Rem Op: NAME, else empty
    std::string date;         // Date: QSO_DATE laid out by the date pattern
    std::string utc;          // UTC: TIME_ON as HHMM
    std::string qrg;          // QRG: FREQ, else BAND
    std::string rst;          // RST: RST_SENT
    std::string mode;         // Mode: SUBMODE, else MODE
};

// The fields for one contact. A one-line field cannot hold a line end, so control characters
// in a value become blanks; everything else is kept as the log has it.
ContactFields FieldsOf(const LogContact& contact, std::string_view datePattern);

// ---- Reading.

enum class LoadStage { Reading, Parsing, Listing };

// Called now and then while a log loads: the stage and how far it is (done of total; total 0
// when the stage cannot tell). Returning false stops the load.
using LoadProgress = std::function<bool(LoadStage stage, uint64_t done, uint64_t total)>;

// A log file bigger than this is refused rather than read into memory; a log of a million
// contacts is about a quarter of it.
inline constexpr uint64_t kMaxLogBytes = uint64_t(1) << 30;

struct LoadResult {
    enum class Status { Loaded, Failed, Stopped };
    Status status = Status::Failed;
    ContactLog log;    // when loaded
    std::string error; // when failed: what went wrong, for a person
};

// Reads the file and lists its contacts. Damaged records and records without a call are left
// out and listed as skipped, as velmora-card leaves them out.
LoadResult LoadContactLog(const std::string& path, const LoadProgress& progress = {});

// The same for a log already in memory; the name decides between the tagged and XML forms.
// Returns false when stopped by progress.
bool ListContacts(const std::string& path, std::string_view text, ContactLog& log,
                  const LoadProgress& progress = {});

// ---- The list: columns, order and filter.

enum class Column { Call, Date, Utc, Frequency, Mode, RstSent, QslSent };
inline constexpr int kColumnCount = 7;

std::string_view ColumnTitle(Column column);
// What the list shows in a cell: the fields as they fill the window, the frequency column with
// the band when there is no frequency.
std::string CellText(const LogContact& contact, Column column, std::string_view datePattern);

enum class SortOrder { Ascending, Descending };

// Indexes of contacts in the order of a column. Date and UTC order by the moment of the contact
// (date, then time; UTC by time of day first), frequency by MHz with unknown ones last, the
// others by text without regard to case. Ties keep file order.
std::vector<uint32_t> SortedOrder(const std::vector<LogContact>& contacts, Column column,
                                  SortOrder order);

// The indexes of order whose call contains text (blanks around it ignored, letter case too);
// all of them for an empty text.
std::vector<uint32_t> FilterByCall(const ContactLog& log, const std::vector<uint32_t>& order,
                                   std::string_view text);

// MHz of an ADIF band name ("20m", "70CM"): the band's lower edge, or a negative value for an
// unknown name. Lets a log that gives only bands sort among logs with frequencies.
double BandLowerEdgeMHz(std::string_view band);

} // namespace contacts
