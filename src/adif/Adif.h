// Reading contact logs in the Amateur Data Interchange Format (ADIF 3.1): the tagged text form
// (.adi) and the XML form (.adx).
//
// In the tagged form a field is <NAME:LENGTH[:TYPE]>DATA, where LENGTH counts the bytes of DATA
// (so DATA may hold '<' or multi-byte UTF-8 text), names are compared without case, text between
// fields is ignored, an optional header ends with <EOH> and every record ends with <EOR>. In the
// XML form the records are the RECORD elements under RECORDS, each field an element of its own.
//
// A log is untrusted input: every length is checked against the bytes that remain, and a record
// that cannot be read whole is returned marked as damaged, with its position, rather than
// guessed at. Reading goes on with the next record wherever the format allows it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace adif {

struct Field {
    std::string name;  // upper case
    std::string type;  // the optional data type indicator, upper case; empty when none
    std::string value; // the data bytes as they stand in the file (entities decoded in XML)
};

struct Record {
    size_t number = 0;   // 1 for the first record of the file
    uint64_t offset = 0; // byte offset of the record's first tag
    uint64_t end = 0;    // byte offset just past the record (its <EOR>, or </RECORD>)
    std::vector<Field> fields;

    // Empty for a record read whole; otherwise what is wrong, found at damageOffset.
    std::string damage;
    uint64_t damageOffset = 0;

    bool Damaged() const { return !damage.empty(); }
    // The first field of that name (compared without case), or null.
    const Field* Find(std::string_view name) const;
    // Its value, empty when the field is absent.
    std::string_view Value(std::string_view name) const;
};

// Records in file order, damaged ones included, header fields left out.
std::vector<Record> ParseAdi(std::string_view text);
std::vector<Record> ParseAdx(std::string_view text);

// The same records handed to sink one at a time as they are read, so that a reader of a long log
// keeps only what it needs of each.
using RecordSink = std::function<void(Record&&)>;
void ReadAdi(std::string_view text, const RecordSink& sink);
void ReadAdx(std::string_view text, const RecordSink& sink);

// A record of the tagged form read again from its own bytes (text[offset, end) of a record that
// ReadAdi read whole): the same fields, with offsets counted from the start of bytes. Damaged
// when bytes hold no record.
Record ReadAdiRecord(std::string_view bytes);

enum class LogFormat { Adi, Adx };

// XML when the name ends in ".adx" (any case) or the text begins with an XML declaration or
// an <ADX> element; the tagged form otherwise.
LogFormat FormatOf(std::string_view fileName, std::string_view text);

std::vector<Record> ParseLog(std::string_view fileName, std::string_view text);

} // namespace adif
