#include "cli/LogContacts.h"

#include "adif/Encoding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <sys/mman.h>
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

// The log mapped for one reading front to back. Pages behind the reader are handed back, so the
// log's size never shows in the program's memory; they are the file's, read again if touched.
class MappedLog {
  public:
    // False (errno set) when the file cannot be mapped.
    bool Map(int fd, uint64_t size) {
        if (size == 0)
            return true;
        void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (base == MAP_FAILED)
            return false;
        base_ = static_cast<char*>(base);
        size_ = size;
        ::madvise(base_, size_, MADV_SEQUENTIAL);
        return true;
    }
    MappedLog() = default;
    MappedLog(const MappedLog&) = delete;
    MappedLog& operator=(const MappedLog&) = delete;
    ~MappedLog() {
        if (base_ != nullptr)
            ::munmap(base_, size_);
    }

    std::string_view Text() const { return {base_, size_}; }

    // Hands back the whole pages before offset upTo, once a megabyte or more has gathered (or
    // the end is reached), which keeps the calls few.
    void Release(uint64_t upTo) {
        static const uint64_t kPage = uint64_t(::sysconf(_SC_PAGESIZE));
        constexpr uint64_t kBatch = uint64_t(1) << 20;
        const uint64_t end = upTo >= size_ ? size_ : upTo / kPage * kPage;
        if (base_ == nullptr || end <= released_ || (end - released_ < kBatch && end < size_))
            return;
        const uint64_t from = released_ / kPage * kPage;
        ::madvise(base_ + from, end - from, MADV_DONTNEED);
        released_ = end;
    }

  private:
    char* base_ = nullptr;
    uint64_t size_ = 0;
    uint64_t released_ = 0;
};

// The log's text is UTF-8 (adif::IsValidUtf8 over all of it), checked a megabyte at a time. A
// piece ends before a byte that starts a character, so none is split between two checks; where
// four continuation bytes come in a row the text is invalid however it is cut.
bool IsUtf8Log(MappedLog& log) {
    const std::string_view text = log.Text();
    constexpr size_t kPiece = size_t(1) << 20;
    for (size_t at = 0; at < text.size();) {
        size_t cut = std::min(text.size(), at + kPiece);
        for (int back = 0; back < 4 && cut < text.size() && (uint8_t(text[cut]) & 0xC0) == 0x80;
             ++back)
            --cut;
        if (!adif::IsValidUtf8(text.substr(at, cut - at)))
            return false;
        log.Release(cut);
        at = cut;
    }
    return true;
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

// Reads exactly bytes.size() bytes at offset; false at an error or the end of the file.
bool ReadAt(int fd, std::string& bytes, uint64_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
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
                                             CommandIo& io) {
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
    MappedLog map;
    if (regular && !map.Map(file.Get(), size)) {
        ReportError(io, path, "cannot read the log: " + std::string(std::strerror(errno)));
        return std::nullopt;
    }

    LogContacts contacts;
    Source& source = *contacts.source_;
    std::string_view text;
    if (regular && IsUtf8Log(map)) {
        text = map.Text();
        source.kind = Source::Kind::File;
    } else {
        if (!regular && adif::IsValidUtf8(piped)) {
            source.text = std::move(piped);
        } else {
            io.err << kProgram << ": note: " << path
                   << " is not UTF-8; read as Latin-1 (byte offsets below count the converted "
                      "text)\n";
            source.text = adif::Latin1ToUtf8(regular ? map.Text() : std::string_view(piped));
            map.Release(size);
        }
        text = source.text;
        source.kind = Source::Kind::Text;
    }
    const bool xml = adif::FormatOf(path, text) == adif::LogFormat::Adx;
    if (xml)
        source.kind = Source::Kind::Kept;

    std::unordered_map<std::string, uint32_t> stations;
    const adif::RecordSink choose = [&](adif::Record&& record) {
        ++contacts.recordCount_;
        if (ChooseContact(record, path, selection, item, totals, io)) {
            const auto [slot, added] =
                stations.try_emplace(qsl::StationKey(record), uint32_t(stations.size()));
            contacts.keys_.push_back(qsl::GroupKey{slot->second, qsl::ContactTimeKey(record)});
            if (xml) {
                contacts.places_.push_back(Place{source.kept.size(), 0});
                source.kept.push_back(std::move(record));
            } else {
                const uint64_t length = record.end - record.offset;
                contacts.places_.push_back(Place{record.offset, length});
                if (source.kind == Source::Kind::File)
                    source.checks.push_back(Fingerprint(text.substr(record.offset, length)));
            }
        }
        if (source.kind == Source::Kind::File)
            map.Release(record.end);
    };
    if (xml)
        adif::ReadAdx(text, choose);
    else
        adif::ReadAdi(text, choose);
    if (source.kind == Source::Kind::File)
        source.file = std::move(file);
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
