// libFuzzer target of the ADIF readers: the input is read as a tagged log, as an XML log and as
// velmora-card reads a file (encoding check and format choice); what is read is grouped onto
// cards, and the sent log written for it must read back with the same identifying fields; every
// sound tagged record must read the same again from its own bytes, as a card run reads it, and a
// reading through a small window must give the records of the whole text.
// Readers report damage in their records and never throw; anything that escapes is a finding.
#include "adif/Adif.h"
#include "adif/Encoding.h"
#include "qsl/Queue.h"
#include "qsl/SentLog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void CheckSentLogReadsBack(const std::vector<adif::Record>& records) {
    std::vector<const adif::Record*> sound;
    for (const adif::Record& record : records) {
        if (!record.Damaged())
            sound.push_back(&record);
    }
    size_t contacts = 0;
    for (const qsl::CardContacts& card : qsl::GroupContacts(sound, 4)) {
        if (card.contacts.empty() || card.contacts.size() > 4)
            std::abort();
        contacts += card.contacts.size();
    }
    if (contacts != sound.size())
        std::abort(); // every contact lands on exactly one card
    const std::vector<adif::Record> back =
        adif::ParseAdi(qsl::SentLogText(sound, "20261210", "20261210 120000"));
    if (back.size() != sound.size())
        std::abort();
    for (size_t i = 0; i < back.size(); ++i) {
        if (back[i].Damaged())
            std::abort();
        for (const std::string_view name : qsl::kIdentifyingFields) {
            const adif::Field* field = sound[i]->Find(name);
            if (field != nullptr && back[i].Value(name) != field->value)
                std::abort();
        }
    }
}

// A card run reads each record again from its own bytes; that reading must give the same fields.
void CheckRecordsReadAgain(std::string_view text) {
    adif::ReadAdi(text, [text](adif::Record&& record) {
        if (record.Damaged())
            return;
        if (record.offset >= record.end || record.end > text.size())
            std::abort();
        const adif::Record again =
            adif::ReadAdiRecord(text.substr(record.offset, record.end - record.offset));
        if (again.Damaged() || again.fields.size() != record.fields.size())
            std::abort();
        for (size_t i = 0; i < again.fields.size(); ++i) {
            const adif::Field& a = again.fields[i];
            const adif::Field& b = record.fields[i];
            if (a.name != b.name || a.type != b.type || a.value != b.value)
                std::abort();
        }
    });
}

// A long log is read through a window refilled from the file; a small window, refilled a few
// bytes at a time, must give the records of the whole text, each with its own bytes.
void CheckWindowedReading(std::string_view text) {
    const std::vector<adif::Record> whole = adif::ParseAdi(text);
    adif::AdiLogScan scan;
    for (size_t at = 0; at < text.size(); at += 5)
        scan.Add(text.substr(at, 5));
    const adif::ReadLogBytes read = [text](uint64_t offset, char* into, size_t room) -> size_t {
        if (offset >= text.size())
            return 0;
        return text.copy(into, std::min<size_t>(room, 3), size_t(offset));
    };
    size_t i = 0;
    const bool done =
        adif::ReadAdiWindowed(scan, 8, read, [&](adif::Record&& record, std::string_view bytes) {
            if (i >= whole.size())
                std::abort();
            const adif::Record& same = whole[i++];
            if (record.number != same.number || record.offset != same.offset ||
                record.end != same.end || record.damage != same.damage ||
                record.damageOffset != same.damageOffset ||
                record.fields.size() != same.fields.size())
                std::abort();
            for (size_t f = 0; f < record.fields.size(); ++f) {
                const adif::Field& a = record.fields[f];
                const adif::Field& b = same.fields[f];
                if (a.name != b.name || a.type != b.type || a.value != b.value)
                    std::abort();
            }
            if (bytes != (record.Damaged()
                              ? std::string_view{}
                              : text.substr(record.offset, record.end - record.offset)))
                std::abort();
        });
    if (!done || i != whole.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRecordsReadAgain(text);
    CheckWindowedReading(text);
    adif::ParseAdx(text);
    const adif::DecodedText decoded = adif::DecodeLogText(text);
    if (!adif::IsValidUtf8(decoded.text))
        std::abort(); // the conversion always gives UTF-8
    CheckRecordsReadAgain(decoded.text);
    CheckSentLogReadsBack(adif::ParseLog("log.adi", decoded.text));
    return 0;
}
