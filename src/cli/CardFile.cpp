#include "cli/CardFile.h"

#include "graphics/Exceptions.h"
#include "jpeg/JPEGFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace cli {

namespace fs = std::filesystem;

namespace {

std::string FullPath(const fs::path& path) {
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path.string() : full.lexically_normal().string();
}

[[noreturn]] void CannotCreate(const fs::path& target, int error) {
    throw graphics::EFCreateError("Cannot create file \"" + FullPath(target) + "\". " +
                                  std::strerror(error));
}

[[noreturn]] void CannotWrite(const fs::path& target, int error) {
    throw graphics::EWriteError("Cannot write file \"" + FullPath(target) + "\". " +
                                std::strerror(error));
}

fs::path FolderOf(const fs::path& path) {
    return path.parent_path().empty() ? fs::path(".") : path.parent_path();
}

// The file being written: closed, and its temporary name (if any) removed; once linked, the file
// lives on under its own name.
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
    // Empty for a file without a name.
    const fs::path& TemporaryName() const { return temporaryName_; }

  private:
    int fd_;
    fs::path temporaryName_;
};

// A file without a name where the file system has them (Linux O_TMPFILE: a crash leaves
// nothing behind), else one with a temporary name.
PendingFile CreateBeside(const fs::path& target) {
    const fs::path folder = FolderOf(target);
    const int fd = ::open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0)
        return PendingFile(fd, {});
    // File systems without nameless files say so in several ways; the named way follows.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        CannotCreate(target, errno);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary(1, '.');
        temporary.append(target.filename().string()).append(".tmp-");
        temporary.append(std::to_string(::getpid())).append(1, '-');
        const fs::path name = folder / temporary.append(std::to_string(counter++));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return PendingFile(fd, name);
        if (errno != EEXIST)
            CannotCreate(target, errno);
    }
    CannotCreate(target, EEXIST);
}

// Gives the written file the name target, failing when target exists (a link never replaces).
// A nameless file is linked through /proc, which needs no privilege, unlike AT_EMPTY_PATH.
void LinkNoReplace(PendingFile& file, const fs::path& target) {
    if (file.TemporaryName().empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(file.fd());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
            CannotCreate(target, errno);
        return;
    }
    if (::link(file.TemporaryName().c_str(), target.c_str()) != 0)
        CannotCreate(target, errno);
    // The file has its name; the temporary one goes with the guard.
}

} // namespace

void PutCardFile(const fs::path& path, std::span<const uint8_t> bytes, ExistingFiles existing) {
    if (existing == ExistingFiles::Overwrite) {
        // Replacing follows links and respects read-only files as Save As does.
        jpeg::ReplaceFileContents(path.string(), bytes);
        return;
    }
    PendingFile file = CreateBeside(path);
    if (const int error = jpeg::WriteAll(file.fd(), bytes); error != 0)
        CannotWrite(path, error);
    if (::fsync(file.fd()) != 0)
        CannotWrite(path, errno);
    LinkNoReplace(file, path);
}

bool SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace cli
