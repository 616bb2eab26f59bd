#include "qsl/SentLog.h"

#include "adif/AdiWriter.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

namespace qsl {

namespace fs = std::filesystem;

namespace {

std::tm UtcParts(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    return parts;
}

std::error_code LastError() {
    return std::error_code(errno, std::generic_category());
}

// Writes every byte, retrying short writes and interruptions.
std::error_code WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        text.remove_prefix(size_t(written));
    }
    return {};
}

// Moves from onto to; with Keep, fails with file_exists when to exists. renameat2 refuses in
// one step; on a file system without it, a hard link does the same.
std::error_code MoveIntoPlace(const fs::path& from, const fs::path& to, ExistingFile existing) {
    if (existing == ExistingFile::Replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code{} : LastError();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return LastError();
    if (::link(from.c_str(), to.c_str()) != 0)
        return LastError();
    ::unlink(from.c_str());
    return {};
}

// A new file beside path, created exclusively with the usual permissions (the process's umask
// applies, as to any file it makes), open for writing; -1 with errno set when none can be made.
int CreateTemporary(const fs::path& path, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void SyncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string UtcDate(std::time_t when) {
    const std::tm parts = UtcParts(when);
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday);
    return text;
}

std::string UtcTimestamp(std::time_t when) {
    const std::tm parts = UtcParts(when);
    char text[40];
    std::snprintf(text, sizeof text, " %02d%02d%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return UtcDate(when) + text;
}

SentLogPieces::SentLogPieces(std::string_view sentDate, std::string_view createdTimestamp)
    : sentDate_(sentDate), writer_("Contacts whose QSL cards Velmora made, marked sent", "Velmora",
                                   VELMORA_VERSION, createdTimestamp) {}

void SentLogPieces::Add(const adif::Record& contact) {
    for (const std::string_view name : kIdentifyingFields) {
        if (const adif::Field* field = contact.Find(name))
            writer_.Field(name, field->value);
    }
    writer_.Field("QSL_SENT", "Y");
    writer_.Field("QSLSDATE", sentDate_);
    writer_.Field("QSL_SENT_VIA", "B");
    writer_.EndRecord();
}

std::string SentLogText(std::span<const adif::Record* const> contacts, std::string_view sentDate,
                        std::string_view createdTimestamp) {
    SentLogPieces pieces(sentDate, createdTimestamp);
    for (const adif::Record* record : contacts)
        pieces.Add(*record);
    return pieces.Take();
}

namespace {

// Both forms: pieces of text that stay valid until the next call.
std::error_code WritePiecesAtomically(const fs::path& path,
                                      const std::function<bool(std::string_view& piece)>& next,
                                      ExistingFile existing);

} // namespace

std::error_code WriteFileAtomically(const fs::path& path, std::string_view text,
                                    ExistingFile existing) {
    bool given = false;
    return WritePiecesAtomically(
        path,
        [&](std::string_view& piece) {
            piece = text;
            return !std::exchange(given, true);
        },
        existing);
}

std::error_code WriteFileAtomically(const fs::path& path,
                                    const std::function<bool(std::string& piece)>& next,
                                    ExistingFile existing) {
    std::string piece;
    return WritePiecesAtomically(
        path,
        [&](std::string_view& view) {
            if (!next(piece))
                return false;
            view = piece;
            return true;
        },
        existing);
}

namespace {

std::error_code WritePiecesAtomically(const fs::path& path,
                                      const std::function<bool(std::string_view& piece)>& next,
                                      ExistingFile existing) {
    const fs::path folder = path.parent_path();
    std::string temporary;
    const int fd = CreateTemporary(path, temporary);
    if (fd < 0)
        return LastError();
    std::error_code error;
    try {
        std::string_view piece;
        while (!error && next(piece))
            error = WriteAll(fd, piece);
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (!error && ::fsync(fd) != 0)
        error = LastError();
    if (::close(fd) != 0 && !error)
        error = LastError();
    if (!error)
        error = MoveIntoPlace(temporary, path, existing);
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolder(folder);
    return {};
}

} // namespace

} // namespace qsl
