#include "cli/LogContacts.h"

#include "adif/Encoding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgram = "velmora-card";

// The largest logs of the busiest stations are tens of megabytes; a file far beyond that is no
// log (and a Latin-1 log is converted whole).
constexpr uint64_t kMaxLogBytes = uint64_t(256) << 20;

// A file descriptor closed with its owner.
class FileHandle {
  public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }

  private:
    int fd_;
};

// The log is read a piece at a time, so its length never shows in the program's memory; plain
// reads, unlike a mapping, fail cleanly when another program cuts the file short meanwhile.
constexpr size_t kPiece = size_t(1) << 20;

// What the first reading learns of a log: whether it is UTF-8 (adif::IsValidUtf8 over all of
// it, checked a piece at a time), its beginning (for adif::FormatOf) and what a windowed reading
// needs (adif::AdiLogScan).
struct LogSurvey {
    bool utf8 = true;
    std::string head;
    adif::AdiLogScan scan;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first bytes of the log with a run of blanks at its start (after a byte order mark) cut to
// one: FormatOf looks past those blanks at a few bytes only, so it tells the same from these.
void AddToHead(std::string& head, std::string_view piece) {
    constexpr size_t kHeadBytes = 16;
    for (const char c : piece) {
        if (head.size() >= kHeadBytes)
            return;
        const size_t start = head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        if (IsBlank(c) && head.size() > start &&
            head.find_first_not_of(" \t\r\n", start) == std::string::npos)
            continue;
        head += c;
    }
}

// Reads the whole log through once, expecting size bytes; false with errno set at a read error,
// with errno 0 when the log holds other than size bytes (it changed since it was looked at).
// afterPiece is called with the bytes read so far after each piece.
bool Survey(int fd, uint64_t size, LogSurvey& survey,
            const std::function<void(uint64_t)>& afterPiece) {
    // A piece is checked up to the start of its last character, which is carried over to the
    // front of the next, so no character is split between two checks; where four continuation
    // bytes come in a row the text is invalid however it is cut.
    std::string buffer(kPiece + 4, '\0');
    size_t carried = 0;
    uint64_t total = 0;
    while (true) {
        const ssize_t got = ::read(fd, buffer.data() + carried, kPiece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        const std::string_view fresh(buffer.data() + carried, size_t(got));
        total += size_t(got);
        if (total > size)
            break;
        survey.scan.Add(fresh);
        AddToHead(survey.head, fresh);
        const std::string_view all(buffer.data(), carried + size_t(got));
        size_t cut = all.size();
        for (int back = 0; back < 4 && cut > 0; ++back) {
            --cut;
            if ((uint8_t(all[cut]) & 0xC0) != 0x80)
                break;
        }
        if (survey.utf8 && !adif::IsValidUtf8(all.substr(0, cut)))
            survey.utf8 = false;
        carried = all.size() - cut;
        std::memmove(buffer.data(), all.data() + cut, carried);
        if (afterPiece)
            afterPiece(total);
    }
    if (survey.utf8 && !adif::IsValidUtf8(std::string_view(buffer.data(), carried)))
        survey.utf8 = false;
    errno = 0;
    return total == size;
}

// All of what fd gives, kMaxLogBytes at most; false with errno set (EFBIG past that).
bool ReadWhole(int fd, std::string& bytes) {
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer, size_t(got));
        if (bytes.size() > kMaxLogBytes) {
            errno = EFBIG;
            return false;
        }
    }
}

// A short check of a record's bytes (FNV-1a), to notice a log changed between two readings.
uint32_t Fingerprint(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ uint8_t(c)) * 16777619u;
    return hash;
}

std::runtime_error LogChanged() {
    return std::runtime_error("the log changed since it was read; this card was not made");
}

// Reads exactly bytes.size() bytes at offset; false at an error, or with errno 0 at the end of
// the file.
bool ReadAt(int fd, std::string& bytes, uint64_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            errno = 0;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

} // namespace

struct LogContacts::Source {
    enum class Kind { File, Text, Kept } kind = Kind::File;
    FileHandle file;                // File: records are read again from the log
    std::string text;               // Text: a Latin-1 log's converted text
    std::vector<adif::Record> kept; // Kept: the chosen records of an XML log
    std::vector<uint32_t> checks;   // File: each chosen record's Fingerprint
};

LogContacts::LogContacts() : source_(std::make_unique<Source>()) {}
LogContacts::LogContacts(LogContacts&&) noexcept = default;
LogContacts& LogContacts::operator=(LogContacts&&) noexcept = default;
LogContacts::~LogContacts() = default;

std::optional<LogContacts> LogContacts::Read(const std::string& path, qsl::SentSelection selection,
                                             std::string_view item, SelectionTotals& totals,
                                             CommandIo& io,
                                             const std::function<void(uint64_t)>& afterPiece) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        ReportError(io, path, "is a folder, not a log");
        return std::nullopt;
    }
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        ReportError(io, path, "cannot open the log: " + std::string(std::strerror(errno)));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        ReportError(io, path, "cannot read the log: " + std::string(std::strerror(errno)));
        return std::nullopt;
    }
    // A pipe (--adif /dev/stdin) cannot be read twice: it is read whole, as it always was.
    const bool regular = S_ISREG(status.st_mode);
    const uint64_t size = regular ? uint64_t(status.st_size) : 0;
    std::string piped;
    bool tooLarge = size > kMaxLogBytes;
    if (!regular && !ReadWhole(file.Get(), piped)) {
        if (errno != EFBIG) {
            ReportError(io, path, "cannot read the log: " + std::string(std::strerror(errno)));
            return std::nullopt;
        }
        tooLarge = true;
    }
    if (tooLarge) {
        const uint64_t bytes = regular ? size : piped.size();
        ReportError(io, path,
                    "is " + std::to_string(bytes >> 20) + " MiB; logs over 256 MiB are refused");
        return std::nullopt;
    }
    LogContacts contacts;
    Source& source = *contacts.source_;
    const auto changed = [&] {
        ReportError(io, path, "the log changed while it was read; nothing was made from it");
        return std::nullopt;
    };
    const auto unreadable = [&] {
        ReportError(io, path, "cannot read the log: " + std::string(std::strerror(errno)));
        return std::nullopt;
    };
    LogSurvey survey;
    if (regular && !Survey(file.Get(), size, survey, afterPiece))
        return errno == 0 ? changed() : unreadable();

    // A UTF-8 tagged log is read again through a window; any other is held whole for the run.
    const bool windowed =
        regular && survey.utf8 && adif::FormatOf(path, survey.head) == adif::LogFormat::Adi;
    std::string_view text;
    if (!windowed) {
        if (regular) {
            piped.resize(size_t(size));
            if (!ReadAt(file.Get(), piped, 0))
                return errno == 0 ? changed() : unreadable();
        }
        if (adif::IsValidUtf8(piped)) {
            source.text = std::move(piped);
        } else {
            io.err << kProgram << ": note: " << path
                   << " is not UTF-8; read as Latin-1 (byte offsets below count the converted "
                      "text)\n";
            source.text = adif::Latin1ToUtf8(piped);
            std::string().swap(piped);
        }
        text = source.text;
        source.kind = Source::Kind::Text;
    }
    const bool xml = !windowed && adif::FormatOf(path, text) == adif::LogFormat::Adx;
    if (xml)
        source.kind = Source::Kind::Kept;

    std::unordered_map<std::string, uint32_t> stations;
    const adif::RecordBytesSink choose = [&](adif::Record&& record, std::string_view bytes) {
        ++contacts.recordCount_;
        if (ChooseContact(record, path, selection, item, totals, io)) {
            const auto [slot, added] =
                stations.try_emplace(qsl::StationKey(record), uint32_t(stations.size()));
            contacts.keys_.push_back(qsl::GroupKey{slot->second, qsl::ContactTimeKey(record)});
            if (xml) {
                contacts.places_.push_back(Place{source.kept.size(), 0});
                source.kept.push_back(std::move(record));
            } else {
                contacts.places_.push_back(Place{record.offset, record.end - record.offset});
                if (windowed)
                    source.checks.push_back(Fingerprint(bytes));
            }
        }
    };
    const auto whole = [&choose](adif::Record&& record) { choose(std::move(record), {}); };
    if (xml) {
        adif::ReadAdx(text, whole);
    } else if (!windowed) {
        adif::ReadAdi(text, whole);
    } else {
        source.kind = Source::Kind::File;
        const int fd = file.Get();
        uint64_t given = 0;
        const adif::ReadLogBytes read = [&](uint64_t offset, char* into, size_t room) -> size_t {
            ssize_t got = 0;
            do {
                got = ::pread(fd, into, room, off_t(offset));
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return 0;
            given += uint64_t(got);
            if (afterPiece)
                afterPiece(size + given);
            return size_t(got);
        };
        if (!adif::ReadAdiWindowed(survey.scan, kPiece, read, choose))
            return changed();
        source.file = std::move(file);
    }
    // A log cut short, grown or written over while it was read would have been read as two
    // different logs; what came of that is not to be trusted.
    struct stat after {};
    const int fd = regular ? (windowed ? source.file.Get() : file.Get()) : -1;
    if (fd >= 0 && (::fstat(fd, &after) != 0 || after.st_size != status.st_size ||
                    after.st_mtim.tv_sec != status.st_mtim.tv_sec ||
                    after.st_mtim.tv_nsec != status.st_mtim.tv_nsec))
        return changed();
    return contacts;
}

qsl::CardOrder LogContacts::PlanCards(size_t perCard) {
    qsl::CardOrder order = qsl::OrderCards(keys_, perCard);
    std::vector<qsl::GroupKey>().swap(keys_);
    return order;
}

adif::Record LogContacts::Contact(size_t i) const {
    const Place& place = places_.at(i);
    switch (source_->kind) {
    case Source::Kind::Kept:
        return source_->kept.at(place.offset);
    case Source::Kind::Text:
        return adif::ReadAdiRecord(
            std::string_view(source_->text).substr(place.offset, place.length));
    case Source::Kind::File:
        break;
    }
    std::string bytes(place.length, '\0');
    if (!ReadAt(source_->file.Get(), bytes, place.offset) ||
        Fingerprint(bytes) != source_->checks[i])
        throw LogChanged();
    adif::Record record = adif::ReadAdiRecord(bytes);
    if (record.Damaged())
        throw LogChanged();
    return record;
}

} // namespace cli
