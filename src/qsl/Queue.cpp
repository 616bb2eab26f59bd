#include "qsl/Queue.h"

#include "platform/Ascii.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace qsl {

namespace {

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool IsSelected(const adif::Record& record, SentSelection selection) {
    const std::string sent = platform::AsciiUpperCopy(TrimBlanks(record.Value("QSL_SENT")));
    switch (selection) {
    case SentSelection::All:
        return true;
    case SentSelection::Unsent:
        return sent != "Y" && sent != "I";
    case SentSelection::Queued:
        return sent == "R" || sent == "Q";
    }
    return true;
}

std::string_view OwnCall(const adif::Record& record) {
    const std::string_view station = TrimBlanks(record.Value("STATION_CALLSIGN"));
    return station.empty() ? TrimBlanks(record.Value("OPERATOR")) : station;
}

std::string ContactTime(const adif::Record& record) {
    const std::string_view date = TrimBlanks(record.Value("QSO_DATE"));
    const std::string_view time = TrimBlanks(record.Value("TIME_ON"));
    std::string key = date.size() == 8 && AllDigits(date) ? std::string(date) : "99999999";
    if ((time.size() == 4 || time.size() == 6) && AllDigits(time)) {
        key += time;
        if (time.size() == 4)
            key += "00";
    } else {
        key += "999999";
    }
    return key;
}

std::string StationKey(const adif::Record& record) {
    return platform::AsciiUpperCopy(TrimBlanks(record.Value("CALL"))) + '\n' +
           platform::AsciiUpperCopy(OwnCall(record));
}

uint64_t ContactTimeKey(const adif::Record& record) {
    uint64_t key = 0;
    for (const char digit : ContactTime(record))
        key = key * 10 + uint64_t(digit - '0');
    return key;
}

CardOrder OrderCards(std::span<const GroupKey> keys, size_t perCard) {
    perCard = std::clamp<size_t>(perCard, 1, kMaxContactsPerCard);
    // Each station's contacts in one run, stations in the order they first appear (their
    // numbers), contacts in the log's order: a counting sort on the station.
    std::vector<uint32_t> starts;
    for (const GroupKey& key : keys) {
        if (key.station >= starts.size())
            starts.resize(size_t(key.station) + 1, 0);
        ++starts[key.station];
    }
    uint32_t total = 0;
    for (uint32_t& start : starts)
        total += std::exchange(start, total);
    std::vector<uint32_t> next = starts;
    CardOrder order;
    order.contacts.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        order.contacts[next[keys[i].station]++] = uint32_t(i);
    for (size_t station = 0; station < starts.size(); ++station) {
        const auto first = order.contacts.begin() + std::ptrdiff_t(starts[station]);
        const auto last = order.contacts.begin() + std::ptrdiff_t(next[station]);
        // Oldest first; contacts of the same time keep the log's order.
        std::stable_sort(first, last,
                         [&](uint32_t a, uint32_t b) { return keys[a].time < keys[b].time; });
        for (uint32_t card = starts[station]; card < next[station]; card += uint32_t(perCard))
            order.firsts.push_back(card);
    }
    return order;
}

std::vector<CardContacts> GroupContacts(std::span<const adif::Record* const> contacts,
                                        size_t perCard) {
    std::vector<GroupKey> keys;
    keys.reserve(contacts.size());
    std::unordered_map<std::string, uint32_t> stations;
    for (const adif::Record* record : contacts) {
        const auto [slot, added] = stations.try_emplace(StationKey(*record), stations.size());
        keys.push_back(GroupKey{slot->second, ContactTimeKey(*record)});
    }
    const CardOrder order = OrderCards(keys, perCard);
    std::vector<CardContacts> cards;
    cards.reserve(order.firsts.size());
    for (size_t card = 0; card < order.firsts.size(); ++card) {
        const size_t end =
            card + 1 < order.firsts.size() ? order.firsts[card + 1] : order.contacts.size();
        CardContacts group;
        for (size_t at = order.firsts[card]; at < end; ++at)
            group.contacts.push_back(contacts[order.contacts[at]]);
        cards.push_back(std::move(group));
    }
    return cards;
}

} // namespace qsl
