// Byte streams: the source of every reader and the sink of every writer. Reads and writes move
// whole spans; ReadBuffer and WriteBuffer turn a short transfer into an exception.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace graphics {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
  public:
    virtual ~TStream() = default;

    // Transfer up to buffer.size() bytes; return the count moved (0 at the end).
    virtual int64_t Read(std::span<uint8_t> buffer) = 0;
    virtual int64_t Write(std::span<const uint8_t> buffer) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }

    // EReadError "Stream read error" unless the whole buffer was read.
    void ReadBuffer(std::span<uint8_t> buffer);
    // EWriteError "Stream write error" unless the whole buffer was written.
    void WriteBuffer(std::span<const uint8_t> buffer);
    // Copies count bytes from source at its position (count 0: from the start to the end of
    // source); returns the count copied. A short source raises EReadError.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Little-endian helpers for readers; they raise EReadError at the end of the data.
    uint8_t ReadUInt8();
    uint16_t ReadUInt16LE();
    uint32_t ReadUInt32LE();
};

enum TFileMode { fmOpenRead, fmCreate, fmOpenReadWrite };

// A file. fmOpenRead opens read-only (the platform's "deny write to others" sharing is only
// advisory here); fmCreate creates or truncates. Failures: EFOpenError "Cannot open file "%s".
// %s" and EFCreateError "Cannot create file "%s". %s", with the full path and the system's text.
class TFileStream : public TStream {
  public:
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    const std::string& FileName() const { return path_; }

  private:
    std::string path_;
    int fd_ = -1;
};

// A growable buffer in memory.
class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return int64_t(bytes_.size()); }
    void SetSize(int64_t size) override;

    void Clear();
    std::span<const uint8_t> Memory() const { return bytes_; }
    std::span<uint8_t> Memory() { return bytes_; }
    // Replace the content by all of source (from its start); the position becomes 0.
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& target) const;
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

  private:
    std::vector<uint8_t> bytes_;
    int64_t position_ = 0;
};

} // namespace graphics
