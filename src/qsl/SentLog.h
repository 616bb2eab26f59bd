// The sent log: an ADIF file with one record per contact whose card was made, carrying the
// contact's identifying fields as read and the marks a logger sets when a card goes out
// (QSL_SENT Y, QSLSDATE, QSL_SENT_VIA B). A logger imports it to mark those contacts sent; the
// log the cards came from is never written.
#pragma once

#include "adif/AdiWriter.h"
#include "adif/Adif.h"

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace qsl {

// The fields that identify a contact to a logger's import, copied when the record has them.
inline constexpr std::array<std::string_view, 11> kIdentifyingFields = {
    "CALL",    "QSO_DATE",         "TIME_ON",  "BAND",     "FREQ",     "MODE",
    "SUBMODE", "STATION_CALLSIGN", "OPERATOR", "SAT_NAME", "PROP_MODE"};

// A UTC date as YYYYMMDD and a UTC time stamp as "YYYYMMDD HHMMSS", as ADIF writes them.
std::string UtcDate(std::time_t when);
std::string UtcTimestamp(std::time_t when);

// The sent log's text: a header, then one record per contact, in the order given. sentDate is
// the QSLSDATE (YYYYMMDD).
std::string SentLogText(std::span<const adif::Record* const> contacts, std::string_view sentDate,
                        std::string_view createdTimestamp);

// The same text made a contact at a time, for a run too long to hold it whole.
class SentLogPieces {
  public:
    SentLogPieces(std::string_view sentDate, std::string_view createdTimestamp);
    void Add(const adif::Record& contact);
    // The text added since the last call, the header first, and its size.
    std::string Take() { return writer_.Take(); }
    size_t Pending() const { return writer_.Text().size(); }

  private:
    std::string sentDate_;
    adif::AdiWriter writer_;
};

enum class ExistingFile { Keep, Replace };

// Puts text in place as path atomically: written to a temporary file in the same folder,
// flushed, then renamed onto path (with Keep, only when nothing is there: an existing file is
// never replaced, even one that appears meanwhile). Returns the error, file_exists included;
// no temporary file stays behind.
std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view text,
                                    ExistingFile existing);
// The same with the text given in pieces: next fills the next piece and returns false after the
// last. An exception from next leaves no file behind and goes on to the caller.
std::error_code WriteFileAtomically(const std::filesystem::path& path,
                                    const std::function<bool(std::string& piece)>& next,
                                    ExistingFile existing);

} // namespace qsl
