// The one bounded reader every byte of a GIF stream comes through. It holds the bytes of the
// stream from the point where loading began, knows where that point lay in the whole stream
// (for progress), and never reads outside its span: a read at or past the end returns fewer
// bytes, and a relative move may go past the end (as a file position may) without harm.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace gif {

class ByteReader {
  public:
    // base is the position of data[0] in the whole stream and streamSize that stream's size;
    // both only serve progress reports.
    explicit ByteReader(std::span<const uint8_t> data, int64_t base = 0, int64_t streamSize = -1)
        : data_(data), base_(base),
          streamSize_(streamSize < 0 ? base + int64_t(data.size()) : streamSize) {}

    int64_t Position() const { return position_; }
    int64_t Size() const { return int64_t(data_.size()); }
    int64_t Remaining() const { return position_ < Size() ? Size() - position_ : 0; }

    // Relative move; the position never goes below the start of the data.
    void Seek(int64_t delta) {
        if (delta < 0 && -delta > position_)
            position_ = 0;
        else if (delta > 0 && delta > INT64_MAX - position_)
            position_ = INT64_MAX;
        else
            position_ += delta;
    }

    // Copies up to out.size() bytes; returns how many were available.
    size_t Read(std::span<uint8_t> out) {
        const size_t n = size_t(std::min<int64_t>(Remaining(), int64_t(out.size())));
        if (n > 0)
            std::memcpy(out.data(), data_.data() + position_, n);
        position_ += int64_t(n);
        return n;
    }

    bool ReadByte(uint8_t& value) {
        if (position_ >= Size())
            return false;
        value = data_[size_t(position_)];
        ++position_;
        return true;
    }

    // Position and size in the whole stream, for progress percentages.
    int64_t StreamPosition() const { return base_ + position_; }
    int64_t StreamSize() const { return streamSize_; }

  private:
    std::span<const uint8_t> data_;
    int64_t base_;
    int64_t streamSize_;
    int64_t position_ = 0;
};

} // namespace gif
