// The labels of a log's contacts: one label per card's worth of contacts (qsl::GroupContacts),
// each contact mapped as the card maps it (qsl::ContactFromRecord), so a label and a card of the
// same contacts show the same date, time, frequency, mode and report.
#pragma once

#include "labels/LabelContent.h"
#include "qsl/Contact.h"
#include "qsl/Queue.h"

#include <span>
#include <string_view>
#include <vector>

namespace velmora::labels {

// The label of one card's contacts with one station, oldest first (1 to kMaxRowsPerLabel). The
// call and the own call come from the first contact; defaultOwnCall (the profile's call sign)
// stands in when the log names no own call. The manager is the first one given, as on the card.
// Raises ELabelError for no contacts or more than a label holds.
LabelData LabelFromContacts(std::span<const qsl::Contact> contacts,
                            std::string_view defaultOwnCall);

// One label per card, in the order of the cards; dates are laid out by datePattern.
std::vector<LabelData> LabelsFromCards(std::span<const qsl::CardContacts> cards,
                                       std::string_view datePattern,
                                       std::string_view defaultOwnCall);

} // namespace velmora::labels
