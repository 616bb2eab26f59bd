#include "graphics/Stream.h"

#include "graphics/Exceptions.h"
#include "platform/Kernel.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace graphics {

int64_t TStream::Size() {
    const int64_t position = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(std::span<uint8_t> buffer) {
    if (buffer.empty())
        return;
    if (Read(buffer) != int64_t(buffer.size()))
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(std::span<const uint8_t> buffer) {
    if (buffer.empty())
        return;
    if (Write(buffer) != int64_t(buffer.size()))
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<uint8_t> chunk(size_t(std::min<int64_t>(count, 1 << 20)));
    int64_t left = count;
    while (left > 0) {
        const auto n = size_t(std::min<int64_t>(left, int64_t(chunk.size())));
        source.ReadBuffer(std::span(chunk.data(), n));
        WriteBuffer(std::span<const uint8_t>(chunk.data(), n));
        left -= int64_t(n);
    }
    return count;
}

uint8_t TStream::ReadUInt8() {
    uint8_t b = 0;
    ReadBuffer(std::span(&b, 1));
    return b;
}

uint16_t TStream::ReadUInt16LE() {
    uint8_t b[2];
    ReadBuffer(b);
    return platform::ReadLe16(b, 0);
}

uint32_t TStream::ReadUInt32LE() {
    uint8_t b[4];
    ReadBuffer(b);
    return platform::ReadLe32(b, 0);
}

// ---- TFileStream -------------------------------------------------------------------------------

namespace {

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    return full.lexically_normal().string();
}

// The system's text for errno, through the platform's numbering where it has one.
std::string ErrorText(int error) {
    uint32_t code = 0;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        code = platform::ERROR_FILE_NOT_FOUND;
        break;
    case EACCES:
    case EPERM:
    case EISDIR:
        code = platform::ERROR_ACCESS_DENIED;
        break;
    default:
        break;
    }
    std::string text = code != 0 ? platform::SystemErrorText(code) : std::string();
    if (text.empty())
        text = std::strerror(error);
    return text;
}

} // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode) : path_(path) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmOpenRead:
        flags |= O_RDONLY;
        break;
    case fmCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case fmOpenReadWrite:
        flags |= O_RDWR;
        break;
    }
    fd_ = ::open(path.c_str(), flags, 0666);
    // A directory opens read-only on Linux; it is not a file to read.
    if (fd_ >= 0 && mode == fmOpenRead) {
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            errno = EISDIR;
        }
    }
    if (fd_ < 0) {
        const int error = errno;
        std::string message(1, '"');
        message += FullPath(path);
        message += "\". ";
        message += ErrorText(error);
        if (mode == fmCreate)
            throw EFCreateError("Cannot create file " + message);
        throw EFOpenError("Cannot open file " + message);
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t TFileStream::Read(std::span<uint8_t> buffer) {
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(fd_, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

int64_t TFileStream::Write(std::span<const uint8_t> buffer) {
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::write(fd_, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, off_t(offset), whence);
    return result < 0 ? -1 : int64_t(result);
}

void TFileStream::SetSize(int64_t size) {
    if (::ftruncate(fd_, off_t(size)) != 0)
        throw EWriteError("Stream write error");
}

// ---- TMemoryStream -----------------------------------------------------------------------------

int64_t TMemoryStream::Read(std::span<uint8_t> buffer) {
    const int64_t size = int64_t(bytes_.size());
    if (position_ >= size || buffer.empty())
        return 0;
    const int64_t n = std::min<int64_t>(int64_t(buffer.size()), size - position_);
    std::memcpy(buffer.data(), bytes_.data() + position_, size_t(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(std::span<const uint8_t> buffer) {
    if (buffer.empty())
        return 0;
    const int64_t end = position_ + int64_t(buffer.size());
    if (end > int64_t(bytes_.size()))
        bytes_.resize(size_t(end));
    std::memcpy(bytes_.data() + position_, buffer.data(), buffer.size());
    position_ = end;
    return int64_t(buffer.size());
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == soCurrent)
        base = position_;
    else if (origin == soEnd)
        base = int64_t(bytes_.size());
    const int64_t target = base + offset;
    if (target < 0)
        return -1;
    position_ = target;
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    bytes_.resize(size_t(std::max<int64_t>(size, 0)));
    position_ = std::min(position_, int64_t(bytes_.size()));
}

void TMemoryStream::Clear() {
    bytes_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    std::vector<uint8_t> bytes(size_t(std::max<int64_t>(size, 0)));
    source.ReadBuffer(bytes);
    bytes_ = std::move(bytes);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& target) const {
    target.WriteBuffer(bytes_);
}

void TMemoryStream::LoadFromFile(const std::string& path) {
    TFileStream file(path, fmOpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& path) const {
    TFileStream file(path, fmCreate);
    SaveToStream(file);
}

} // namespace graphics
