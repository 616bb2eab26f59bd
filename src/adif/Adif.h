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

// What reading a tagged log through a window (ReadAdiWindowed) needs to know of the whole log,
// gathered from its bytes handed over in order, in pieces of any size.
class AdiLogScan {
  public:
    static constexpr uint64_t kNone = ~uint64_t(0);

    void Add(std::string_view piece);
    uint64_t Size() const { return size_; }
    // The offset of the last <EOR> (in any case), or kNone.
    uint64_t LastEor() const { return lastEor_; }
    // The offset of the first <EOH>, or kNone; looked for only when the log does not begin
    // with '<' (only then is it needed).
    uint64_t FirstEoh() const { return firstEoh_; }

  private:
    uint64_t size_ = 0;
    uint64_t lastEor_ = kNone;
    uint64_t firstEoh_ = kNone;
    bool headerText_ = false;
    std::string tail_; // the last bytes added, for a marker split between two pieces
};

// Bytes of a log at offset, up to room of them put at into; how many, 0 at an error or the end.
using ReadLogBytes = std::function<size_t(uint64_t offset, char* into, size_t room)>;
// A record with its bytes in the log; empty for a damaged record.
using RecordBytesSink = std::function<void(Record&&, std::string_view bytes)>;

// ReadAdi over a log of scan.Size() bytes that need not be held at once: the same records, read
// through a window of about window bytes (more while one record is longer), refilled by read.
// False when read gives fewer bytes than the scan saw (the log shrank); the records handed out
// before that are all there is.
bool ReadAdiWindowed(const AdiLogScan& scan, size_t window, const ReadLogBytes& read,
                     const RecordBytesSink& sink);

enum class LogFormat { Adi, Adx };

// XML when the name ends in ".adx" (any case) or the text begins with an XML declaration or
// an <ADX> element; the tagged form otherwise.
LogFormat FormatOf(std::string_view fileName, std::string_view text);

std::vector<Record> ParseLog(std::string_view fileName, std::string_view text);

} // namespace adif
