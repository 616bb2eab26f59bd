#include "labels/LabelsFromLog.h"

#include "labels/LabelSheet.h"

namespace velmora::labels {

LabelData LabelFromContacts(std::span<const qsl::Contact> contacts,
                            std::string_view defaultOwnCall) {
    if (contacts.empty() || contacts.size() > kMaxRowsPerLabel)
        throw ELabelError("A label holds 1 to " + std::to_string(kMaxRowsPerLabel) +
                          " contacts, not " + std::to_string(contacts.size()));
    const qsl::Contact& first = contacts.front();
    LabelData label;
    label.call = first.station;
    label.ownCall = first.ownCall.empty() ? std::string(defaultOwnCall) : first.ownCall;
    for (const qsl::Contact& contact : contacts) {
        if (label.qslVia.empty())
            label.qslVia = contact.qslVia;
        label.rows.push_back(LabelRow{contact.date, contact.utc, contact.frequency, contact.band,
                                      contact.mode, contact.rst, contact.satellite,
                                      contact.qslReceived});
    }
    return label;
}

std::vector<LabelData> LabelsFromCards(std::span<const qsl::CardContacts> cards,
                                       std::string_view datePattern,
                                       std::string_view defaultOwnCall) {
    std::vector<LabelData> labels;
    labels.reserve(cards.size());
    std::vector<qsl::Contact> contacts;
    for (const qsl::CardContacts& card : cards) {
        contacts.clear();
        for (const adif::Record* record : card.contacts)
            contacts.push_back(qsl::ContactFromRecord(*record, datePattern));
        labels.push_back(LabelFromContacts(contacts, defaultOwnCall));
    }
    return labels;
}

} // namespace velmora::labels
