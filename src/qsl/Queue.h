// Which contacts of a log get a card, and which contacts share one: the rules that every way
// of sending cards (single cards, label sheets) applies in the same way.
//
// A contact's QSL_SENT (ADIF: Y yes, N no, R requested, Q queued, I ignore) selects it; contacts
// with the same station (CALL) made under the same own call (STATION_CALLSIGN, else OPERATOR)
// are confirmed together, oldest first, up to a number per card.
#pragma once

#include "adif/Adif.h"
#include "platform/Ascii.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qsl {

enum class SentSelection {
    All,    // every contact
    Unsent, // not those marked sent (Y) or not to be confirmed (I)
    Queued, // only those requested (R) or queued (Q)
};

// text without the blanks and control characters around it, as log values are compared.
using platform::TrimBlanks;

bool IsSelected(const adif::Record& record, SentSelection selection);

// The call sign the own station used for the contact: STATION_CALLSIGN, else OPERATOR, with
// blanks around it dropped; empty when the log names neither.
std::string_view OwnCall(const adif::Record& record);

// When the contact was made, for ordering: QSO_DATE and TIME_ON as "YYYYMMDDHHMMSS". A missing
// or malformed date sorts after every date, a missing time after every time of its day.
std::string ContactTime(const adif::Record& record);

// StationKey's text: contacts with equal keys are confirmed together.
std::string StationKey(const adif::Record& record);

// ContactTime as a number: its fourteen digits compare as the text does.
uint64_t ContactTimeKey(const adif::Record& record);

// What grouping needs of one contact: its station, numbered from 0 in the order the stations
// first appear in the log, and ContactTimeKey.
struct GroupKey {
    uint32_t station = 0;
    uint64_t time = 0;
};

// The cards of contacts given by their keys: the contacts' indexes in card order, and the index
// into that order where each card begins. The rules of GroupContacts, which is made from it, for
// callers that keep only these few bytes of a contact.
struct CardOrder {
    std::vector<uint32_t> contacts;
    std::vector<uint32_t> firsts;
};
CardOrder OrderCards(std::span<const GroupKey> keys, size_t perCard);

// The contacts of one card, oldest first.
struct CardContacts {
    std::vector<const adif::Record*> contacts;
};

inline constexpr size_t kMaxContactsPerCard = 5;

// Splits contacts into cards: one group per station and own call (compared without letter case
// or surrounding blanks), each ordered oldest first (contacts of the same time keep the log's
// order) and cut into cards of at most perCard (1 to kMaxContactsPerCard). Cards come in the
// order their station first appears in contacts.
std::vector<CardContacts> GroupContacts(std::span<const adif::Record* const> contacts,
                                        size_t perCard);

} // namespace qsl
