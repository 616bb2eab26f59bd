#include "contacts/ContactLog.h"

#include "adif/Adif.h"
#include "card/CardComposer.h"
#include "platform/Ascii.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <utility>

namespace contacts {

namespace {

namespace fs = std::filesystem;

// The records keep QSO_DATE as the log has it; the list lays it out when it shows or fills it,
// so a change of the date pattern needs no new reading.
constexpr std::string_view kDateAsInLog = "YYYYMMDD";

// How many records are listed between two progress calls.
constexpr size_t kListingStep = 4096;
// How much of the file is read between two progress calls.
constexpr size_t kReadChunk = size_t(1) << 20;

std::string OneLine(std::string_view value) {
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return (c >= 0 && c < 32) || c == 127; }, ' ');
    return out;
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// QSO_DATE then TIME_ON as the number YYYYMMDDHHMMSS; 0 for a date that is not eight digits,
// which sorts as the oldest. A time that is not four or six digits counts as midnight.
uint64_t When(std::string_view date, std::string_view time) {
    if (date.size() != 8 || !AllDigits(date))
        return 0;
    const auto number = [](std::string_view digits) {
        uint64_t value = 0;
        for (const char c : digits)
            value = value * 10 + uint64_t(c - '0');
        return value;
    };
    uint64_t seconds = 0;
    if ((time.size() == 4 || time.size() == 6) && AllDigits(time))
        seconds = time.size() == 4 ? number(time) * 100 : number(time);
    return number(date) * 1000000 + seconds;
}

// An ADIF number of MHz ("14.074"); none for anything else, negative values included.
bool ParseMHz(std::string_view text, double& mhz) {
    text = card::TrimBlanks(text);
    if (text.empty())
        return false;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0))
        return false;
    mhz = value;
    return true;
}

LogContact ContactOf(const adif::Record& record) {
    LogContact contact;
    contact.record = record.number;
    contact.fields = qsl::ContactFromRecord(record, kDateAsInLog);
    contact.band = record.Value("BAND");
    contact.qslSent = record.Value("QSL_SENT");
    contact.when = When(record.Value("QSO_DATE"), record.Value("TIME_ON"));
    if (ParseMHz(contact.fields.frequency, contact.frequencyKey)) {
        contact.frequencyKnown = true;
    } else if (const double edge = BandLowerEdgeMHz(contact.band); edge >= 0) {
        contact.frequencyKey = edge;
        contact.frequencyKnown = true;
    }
    return contact;
}

bool Report(const LoadProgress& progress, LoadStage stage, uint64_t done, uint64_t total) {
    return !progress || progress(stage, done, total);
}

LoadResult Failure(std::string error) {
    LoadResult result;
    result.status = LoadResult::Status::Failed;
    result.error = std::move(error);
    return result;
}

LoadResult Stopped() {
    LoadResult result;
    result.status = LoadResult::Status::Stopped;
    return result;
}

} // namespace

ContactFields FieldsOf(const LogContact& contact, std::string_view datePattern) {
    ContactFields fields;
    fields.station = CellText(contact, Column::Call, datePattern);
    fields.operatorName = OneLine(contact.fields.operatorName);
    fields.date = CellText(contact, Column::Date, datePattern);
    fields.utc = CellText(contact, Column::Utc, datePattern);
    fields.qrg = CellText(contact, Column::Frequency, datePattern);
    fields.rst = CellText(contact, Column::RstSent, datePattern);
    fields.mode = CellText(contact, Column::Mode, datePattern);
    return fields;
}

// ---- Reading ----------------------------------------------------------------------------------

bool ListContacts(const std::string& path, std::string_view text, ContactLog& log,
                  const LoadProgress& progress) {
    log.path = path;
    if (!Report(progress, LoadStage::Parsing, 0, 0))
        return false;
    const std::vector<adif::Record> records = adif::ParseLog(path, text);
    log.records = records.size();
    log.contacts.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (i % kListingStep == 0 && !Report(progress, LoadStage::Listing, i, records.size()))
            return false;
        const adif::Record& record = records[i];
        if (record.Damaged()) {
            log.skipped.push_back({record.number, record.damageOffset, record.damage, true});
            continue;
        }
        // velmora-card makes no card without a call; neither does the list offer one.
        if (card::TrimBlanks(record.Value("CALL")).empty()) {
            log.skipped.push_back({record.number, record.offset, "no CALL", false});
            continue;
        }
        log.contacts.push_back(ContactOf(record));
        log.callStarts.push_back(log.callIndex.size());
        log.callIndex += platform::AsciiUpperCopy(OneLine(log.contacts.back().fields.station));
        log.callIndex += '\n';
    }
    return Report(progress, LoadStage::Listing, records.size(), records.size());
}

LoadResult LoadContactLog(const std::string& path, const LoadProgress& progress) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error)
        return Failure("cannot open the log: " + error.message());
    if (fs::is_directory(status))
        return Failure("is a folder, not a log");
    const uintmax_t size = fs::file_size(path, error);
    if (error)
        return Failure("cannot open the log: " + error.message());
    if (size > kMaxLogBytes)
        return Failure("is too large for a log (" + std::to_string(size >> 20) + " MiB)");

    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Failure("cannot open the log: " + std::string(std::strerror(errno)));
    std::string text;
    text.reserve(size_t(size));
    std::string chunk(kReadChunk, '\0');
    while (in) {
        if (!Report(progress, LoadStage::Reading, text.size(), size))
            return Stopped();
        in.read(chunk.data(), std::streamsize(chunk.size()));
        text.append(chunk.data(), size_t(in.gcount()));
        // A file that grows while it is read is cut at the limit all the same.
        if (text.size() > kMaxLogBytes)
            return Failure("is too large for a log");
    }
    if (in.bad())
        return Failure("cannot read the log");

    LoadResult result;
    if (!ListContacts(path, text, result.log, progress))
        return Stopped();
    result.status = LoadResult::Status::Loaded;
    return result;
}

// ---- The list ---------------------------------------------------------------------------------

std::string_view ColumnTitle(Column column) {
    switch (column) {
    case Column::Call:
        return "Call";
    case Column::Date:
        return "Date";
    case Column::Utc:
        return "UTC";
    case Column::Frequency:
        return "MHz / Band";
    case Column::Mode:
        return "Mode";
    case Column::RstSent:
        return "RST sent";
    case Column::QslSent:
        return "QSL sent";
    }
    return {};
}

std::string CellText(const LogContact& contact, Column column, std::string_view datePattern) {
    const qsl::Contact& c = contact.fields;
    switch (column) {
    case Column::Call:
        return OneLine(c.station);
    case Column::Date:
        return OneLine(qsl::FormatQsoDate(c.date, datePattern));
    case Column::Utc:
        return OneLine(c.utc);
    case Column::Frequency:
        return OneLine(c.frequency.empty() ? contact.band : c.frequency);
    case Column::Mode:
        return OneLine(c.mode);
    case Column::RstSent:
        return OneLine(c.rst);
    case Column::QslSent:
        return OneLine(contact.qslSent);
    }
    return {};
}

namespace {

// The indexes of keyed in the order of their keys; equal keys keep the order of the indexes.
template <class Key>
std::vector<uint32_t> OrderOf(std::vector<std::pair<Key, uint32_t>> keyed, SortOrder order) {
    const bool descending = order == SortOrder::Descending;
    std::sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        if (a.first < b.first)
            return !descending;
        if (b.first < a.first)
            return descending;
        return a.second < b.second;
    });
    std::vector<uint32_t> indexes;
    indexes.reserve(keyed.size());
    for (const auto& entry : keyed)
        indexes.push_back(entry.second);
    return indexes;
}

// Keys are copied out of the contacts into one array before sorting: a sort that reached into
// the contacts themselves would spend its time on cache misses.
template <class Key, class MakeKey>
std::vector<std::pair<Key, uint32_t>> Keyed(const std::vector<LogContact>& contacts,
                                            MakeKey makeKey) {
    std::vector<std::pair<Key, uint32_t>> keyed;
    keyed.reserve(contacts.size());
    for (uint32_t i = 0; i < contacts.size(); ++i)
        keyed.emplace_back(makeKey(contacts[i]), i);
    return keyed;
}

} // namespace

std::vector<uint32_t> SortedOrder(const std::vector<LogContact>& contacts, Column column,
                                  SortOrder order) {
    switch (column) {
    case Column::Date:
        return OrderOf(Keyed<uint64_t>(contacts, [](const LogContact& c) { return c.when; }),
                       order);
    case Column::Utc:
        // Time of day first (HHMMSS), then the date.
        return OrderOf(Keyed<uint64_t>(contacts,
                                       [](const LogContact& c) {
                                           return (c.when % 1000000) * 100000000 + c.when / 1000000;
                                       }),
                       order);
    case Column::Frequency: {
        // Unknown frequencies stay last, in file order, in either direction.
        std::vector<std::pair<double, uint32_t>> known;
        std::vector<uint32_t> unknown;
        for (uint32_t i = 0; i < contacts.size(); ++i) {
            if (contacts[i].frequencyKnown)
                known.emplace_back(contacts[i].frequencyKey, i);
            else
                unknown.push_back(i);
        }
        std::vector<uint32_t> indexes = OrderOf(std::move(known), order);
        indexes.insert(indexes.end(), unknown.begin(), unknown.end());
        return indexes;
    }
    default:
        // The text columns: short texts compared without regard to case.
        return OrderOf(Keyed<std::string>(contacts,
                                          [column](const LogContact& c) {
                                              return platform::AsciiUpperCopy(
                                                  CellText(c, column, kDateAsInLog));
                                          }),
                       order);
    }
}

std::vector<uint32_t> FilterByCall(const ContactLog& log, const std::vector<uint32_t>& order,
                                   std::string_view text) {
    const std::string wanted = platform::AsciiUpperCopy(OneLine(card::TrimBlanks(text)));
    if (wanted.empty())
        return order;
    // One search through all calls marks the contacts that match; a match never spans two
    // calls, since the wanted text holds no line end.
    std::vector<uint8_t> matches(log.contacts.size(), 0);
    const std::string_view calls = log.callIndex;
    for (size_t at = calls.find(wanted); at != std::string_view::npos;) {
        const auto next = std::upper_bound(log.callStarts.begin(), log.callStarts.end(), at);
        const auto contact = size_t(next - log.callStarts.begin()) - 1;
        matches[contact] = 1;
        at = next == log.callStarts.end() ? std::string_view::npos : calls.find(wanted, *next);
    }
    std::vector<uint32_t> kept;
    for (const uint32_t index : order) {
        if (matches[index] != 0)
            kept.push_back(index);
    }
    return kept;
}

double BandLowerEdgeMHz(std::string_view band) {
    // The band names of ADIF 3.1 and their lower edges in MHz.
    static constexpr std::array<std::pair<std::string_view, double>, 33> kBands{{
        {"2190M", 0.1357},   {"630M", 0.472},     {"560M", 0.501},     {"160M", 1.8},
        {"80M", 3.5},        {"60M", 5.06},       {"40M", 7.0},        {"30M", 10.1},
        {"20M", 14.0},       {"17M", 18.068},     {"15M", 21.0},       {"12M", 24.89},
        {"10M", 28.0},       {"8M", 40.0},        {"6M", 50.0},        {"5M", 54.000001},
        {"4M", 70.0},        {"2M", 144.0},       {"1.25M", 222.0},    {"70CM", 420.0},
        {"33CM", 902.0},     {"23CM", 1240.0},    {"13CM", 2300.0},    {"9CM", 3300.0},
        {"6CM", 5650.0},     {"3CM", 10000.0},    {"1.25CM", 24000.0}, {"6MM", 47000.0},
        {"4MM", 75500.0},    {"2.5MM", 119980.0}, {"2MM", 134000.0},   {"1MM", 241000.0},
        {"SUBMM", 300000.0},
    }};
    const std::string name = platform::AsciiUpperCopy(card::TrimBlanks(band));
    for (const auto& [bandName, edge] : kBands) {
        if (bandName == name)
            return edge;
    }
    return -1;
}

} // namespace contacts
