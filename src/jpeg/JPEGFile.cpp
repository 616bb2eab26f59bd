#include "jpeg/JPEGFile.h"

#include "graphics/Exceptions.h"
#include "platform/Kernel.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace jpeg {

namespace {

std::string FullPath(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path.string() : full.lexically_normal().string();
}

// The system's text for errno, in the platform's words where it has them (as file streams do).
std::string ErrorText(int error) {
    uint32_t code = 0;
    if (error == ENOENT || error == ENOTDIR)
        code = platform::ERROR_FILE_NOT_FOUND;
    else if (error == EACCES || error == EPERM || error == EISDIR || error == EROFS)
        code = platform::ERROR_ACCESS_DENIED;
    std::string text = code != 0 ? platform::SystemErrorText(code) : std::string();
    return text.empty() ? std::string(std::strerror(error)) : text;
}

[[noreturn]] void CannotCreate(const std::filesystem::path& target, int error) {
    throw graphics::EFCreateError("Cannot create file \"" + FullPath(target) + "\". " +
                                  ErrorText(error));
}

[[noreturn]] void CannotWrite(const std::filesystem::path& target, int error) {
    throw graphics::EWriteError("Cannot write file \"" + FullPath(target) + "\". " +
                                ErrorText(error));
}

// The temporary file: closed and removed unless it was renamed into place.
class TemporaryFile {
  public:
    TemporaryFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!committed_)
            ::unlink(path_.c_str());
    }

    int fd() const { return fd_; }
    const std::filesystem::path& path() const { return path_; }
    // Closes now, so that a failing close (the last chance to learn of a lost write) is seen.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Commit() { committed_ = true; }

  private:
    std::filesystem::path path_;
    int fd_;
    bool committed_ = false;
};

TemporaryFile CreateBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(1, '.');
        name += target.filename().string();
        name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const std::filesystem::path path = target.parent_path() / name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return TemporaryFile(path, fd);
        if (errno != EEXIST)
            CannotCreate(target, errno);
    }
    CannotCreate(target, EEXIST);
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

void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes) {
    std::filesystem::path target(path);
    // A link is followed, so that the file it names is replaced and the link stays.
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        CannotCreate(path, EISDIR);
    // A read-only file refuses to be replaced, as it refuses to be emptied.
    if (exists && ::access(target.c_str(), W_OK) != 0)
        CannotCreate(path, errno);

    TemporaryFile temporary = CreateBeside(target);
    if (exists)
        ::fchmod(temporary.fd(), existing.st_mode & 07777);
    if (const int error = WriteAll(temporary.fd(), bytes); error != 0)
        CannotWrite(path, error);
    if (::fsync(temporary.fd()) != 0 || !temporary.Close())
        CannotWrite(path, errno);
    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
        CannotCreate(path, errno);
    temporary.Commit();

    // Make the rename itself durable; the new contents are in place either way.
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

} // namespace jpeg
