#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const fs::path& path) {
    return path.parent_path().empty() ? fs::path(".") : path.parent_path();
}

// The file being written: closed, and its temporary name (if any) removed, unless the name was
// renamed into place. A nameless file has an empty name and vanishes with its descriptor.
class PendingFile {
  public:
    PendingFile(int fd, fs::path temporaryName)
        : fd_(fd), temporaryName_(std::move(temporaryName)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!temporaryName_.empty())
            ::unlink(temporaryName_.c_str());
    }

    int fd() const { return fd_; }
    const fs::path& TemporaryName() const { return temporaryName_; }
    // Closes now, so that a failing close (the last chance to learn of a lost write) is seen.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    // The temporary name now belongs to the target.
    void Renamed() { temporaryName_.clear(); }

  private:
    int fd_;
    fs::path temporaryName_;
};

// A new file with a hidden name beside target, made exclusively; the errno when none can be.
int CreateNamedBeside(const fs::path& target, std::optional<PendingFile>& file) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(1, '.');
        name += target.filename().string();
        name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const fs::path path = FolderOf(target) / name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file.emplace(fd, path);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// A file without a name where the file system has them, else one with a hidden name.
int CreateNamelessBeside(const fs::path& target, std::optional<PendingFile>& file) {
    const int fd = ::open(FolderOf(target).c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0) {
        file.emplace(fd, fs::path());
        return 0;
    }
    // File systems without nameless files say so in several ways; the named way follows.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
    return CreateNamedBeside(target, file);
}

// Gives the written file the name target, failing when target exists (a link never replaces).
// A nameless file is linked through /proc, which needs no privilege, unlike AT_EMPTY_PATH.
int LinkNoReplace(const PendingFile& file, const fs::path& target) {
    if (file.TemporaryName().empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(file.fd());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return errno;
        return 0;
    }
    // The file has its name once linked; the temporary one goes with the guard.
    return ::link(file.TemporaryName().c_str(), target.c_str()) != 0 ? errno : 0;
}

FileFailure CreateFailure(int error) {
    return {FileStep::Create, error};
}

FileFailure WriteFailure(int error) {
    return {FileStep::Write, error};
}

} // namespace

int WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        bytes = bytes.subspan(size_t(written));
    }
    return 0;
}

bool SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

std::optional<FileFailure> ReplaceFileAtomically(const fs::path& path,
                                                 std::span<const uint8_t> bytes,
                                                 OldPermissions permissions) {
    fs::path target = path;
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return CreateFailure(EISDIR);
    // A read-only file refuses to be replaced, as it refuses to be emptied.
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return CreateFailure(errno);

    std::optional<PendingFile> file;
    if (const int error = CreateNamedBeside(target, file); error != 0)
        return CreateFailure(error);
    if (exists && ::fchmod(file->fd(), existing.st_mode & 07777) != 0 &&
        permissions == OldPermissions::Required)
        return CreateFailure(errno);
    if (const int error = WriteAll(file->fd(), bytes); error != 0)
        return WriteFailure(error);
    if (::fsync(file->fd()) != 0 || !file->Close())
        return WriteFailure(errno);
    if (::rename(file->TemporaryName().c_str(), target.c_str()) != 0)
        return CreateFailure(errno);
    file->Renamed();

    // Make the rename itself durable; the new contents are in place either way.
    SyncFolder(FolderOf(target));
    return std::nullopt;
}

std::optional<FileFailure> CreateFileAtomically(const fs::path& target,
                                                std::span<const uint8_t> bytes) {
    std::optional<PendingFile> file;
    if (const int error = CreateNamelessBeside(target, file); error != 0)
        return CreateFailure(error);
    if (const int error = WriteAll(file->fd(), bytes); error != 0)
        return WriteFailure(error);
    if (::fsync(file->fd()) != 0)
        return WriteFailure(errno);
    if (const int error = LinkNoReplace(*file, target); error != 0)
        return CreateFailure(error);
    return std::nullopt;
}

} // namespace platform
