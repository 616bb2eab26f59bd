#include "qsl/Queue.h"

#include "platform/Ascii.h"

#include <algorithm>
#include <unordered_map>

namespace qsl {

namespace {

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string StationKey(const adif::Record& record) {
    return platform::AsciiUpperCopy(TrimBlanks(record.Value("CALL"))) + '\n' +
           platform::AsciiUpperCopy(OwnCall(record));
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

std::vector<CardContacts> GroupContacts(std::span<const adif::Record* const> contacts,
                                        size_t perCard) {
    perCard = std::clamp<size_t>(perCard, 1, kMaxContactsPerCard);
    // Each station's contacts, in the order the stations first appear.
    std::vector<std::vector<const adif::Record*>> stations;
    std::unordered_map<std::string, size_t> index;
    for (const adif::Record* record : contacts) {
        const auto [slot, added] = index.try_emplace(StationKey(*record), stations.size());
        if (added)
            stations.emplace_back();
        stations[slot->second].push_back(record);
    }
    std::vector<CardContacts> cards;
    for (std::vector<const adif::Record*>& station : stations) {
        if (station.size() > 1) {
            std::vector<std::pair<std::string, const adif::Record*>> timed;
            timed.reserve(station.size());
            for (const adif::Record* record : station)
                timed.emplace_back(ContactTime(*record), record);
            std::stable_sort(timed.begin(), timed.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (size_t i = 0; i < timed.size(); ++i)
                station[i] = timed[i].second;
        }
        for (size_t first = 0; first < station.size(); first += perCard) {
            const size_t last = std::min(station.size(), first + perCard);
            cards.push_back(CardContacts{
                {station.begin() + std::ptrdiff_t(first), station.begin() + std::ptrdiff_t(last)}});
        }
    }
    return cards;
}

} // namespace qsl
