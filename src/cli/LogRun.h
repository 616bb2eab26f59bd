// The steps every command that works through a log shares (cards, label sheets): reading the
// log, choosing its contacts by QSL_SENT, the contacts per card, the station profile and the
// sent log. One copy, so a card run and a label run of the same options confirm the same
// contacts and mark the same ones sent.
#pragma once

#include "adif/Adif.h"
#include "cli/Cli.h"
#include "profile/StationProfile.h"
#include "qsl/Queue.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The log's records, read whole (a log over 256 MiB is refused) and parsed; a file that is not
// UTF-8 is read as Latin-1 with a note. None after reporting why the file cannot be read.
std::optional<std::vector<adif::Record>> ReadLog(const std::string& path, CommandIo& io);

struct SelectionTotals {
    size_t damaged = 0;     // damaged records and records without CALL, reported and left out
    size_t notSelected = 0; // left out by the QSL_SENT selection
};

qsl::SentSelection SelectionOf(bool queued, bool onlyUnsent);

// The contacts that get a card or label, in the log's order. Damaged records and records
// without CALL are reported and left out, and so are contacts the selection leaves out. A
// contact without date or time stays, with a warning that its item (a "card", a "label") leaves
// that cell empty.
// One record of those: true when it gets its item, after reporting what the run reports of it.
bool ChooseContact(const adif::Record& record, const std::string& logName,
                   qsl::SentSelection selection, std::string_view item, SelectionTotals& totals,
                   CommandIo& io);
std::vector<const adif::Record*> SelectContacts(const std::vector<adif::Record>& records,
                                                const std::string& logName,
                                                qsl::SentSelection selection, std::string_view item,
                                                SelectionTotals& totals, CommandIo& io);

// --per-card's value: 1 when not given, none when it is not a number from 1 to the most a card
// holds.
std::optional<size_t> ParsePerCard(const std::optional<std::string>& text);
// The message for a --per-card value ParsePerCard refuses.
std::string PerCardError(const std::string& text);

// The station profile named by --profile, which must be there, else the one beside the
// program, which may be missing (a note; its values are empty). None after reporting.
std::optional<velmora::StationProfile> LoadProfile(const std::optional<std::string>& path,
                                                   CommandIo& io);

// Checked before anything is made, so a run never ends with cards or labels and no way to mark
// them: the sent log must not name the log itself (kExitUsage, reported; the caller prints its
// usage), a folder, a missing folder, or without overwrite an existing file (kExitFailure).
int CheckSentLog(const std::string& sentLog, const std::string& log, bool overwrite, CommandIo& io);

// Writes the sent log of those contacts (atomically; an existing file only with overwrite) and
// reports it. False after reporting a failure.
bool WriteSentLog(const std::string& path, bool overwrite,
                  std::span<const adif::Record* const> sent, CommandIo& io);
// The same for count contacts given one at a time by contact (which may raise, failing the sent
// log), written out as they come, so a long run never holds its sent log whole.
bool WriteSentLog(const std::string& path, bool overwrite, size_t count,
                  const std::function<adif::Record(size_t)>& contact, CommandIo& io);

} // namespace cli
