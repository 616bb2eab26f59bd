#include "LabelWords.h"

#include "qsl/Contact.h"

#include <algorithm>

namespace labels_test {

std::vector<std::string> ExpectedWords(const std::vector<const adif::Record*>& records) {
    std::vector<qsl::Contact> contacts;
    for (const adif::Record* record : records)
        contacts.push_back(qsl::ContactFromRecord(*record, qsl::kDefaultDateFormat));
    const bool anyMhz = std::any_of(contacts.begin(), contacts.end(),
                                    [](const qsl::Contact& c) { return !c.frequency.empty(); });
    std::vector<std::string> words{"To",   "Radio", contacts.front().station,
                                   "Date", "UTC",   anyMhz ? "MHz" : "Band",
                                   "Mode", "RST",   "QSL",
                                   "73",   "de",    contacts.front().ownCall};
    bool allReceived = true;
    std::string via;
    for (const qsl::Contact& c : contacts) {
        for (const std::string& cell :
             {c.date, c.utc, c.frequency.empty() ? c.band : c.frequency, c.mode, c.rst})
            words.push_back(cell);
        allReceived = allReceived && c.qslReceived;
        if (via.empty())
            via = c.qslVia;
    }
    words.push_back(allReceived ? "TNX" : "PSE");
    if (!via.empty()) {
        words.push_back("via");
        words.push_back(via);
    }
    std::sort(words.begin(), words.end());
    return words;
}

std::vector<std::string> WordsIn(const PdfPage& page, const velmora::labels::RectMm& rect) {
    std::vector<std::string> words;
    for (const PdfWord& word : page.words) {
        const double x = (word.xMin + word.xMax) / 2;
        const double y = (word.yMin + word.yMax) / 2;
        if (x >= rect.left && x < rect.right() && y >= rect.top && y < rect.bottom())
            words.push_back(word.text);
    }
    std::sort(words.begin(), words.end());
    return words;
}

} // namespace labels_test
