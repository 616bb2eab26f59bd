// Run-length decoding of the BMP format's BI_RLE8 and BI_RLE4 pixel data.
//
// The data is a sequence of two-byte commands. A non-zero first byte is an encoded run: that
// many pixels of the second byte's colour (for RLE4 the two nibbles of the second byte
// alternate, high nibble first). A zero first byte is an escape whose second byte says: 0 end
// of line, 1 end of bitmap, 2 delta (two more bytes: columns right, rows up), 3 or more an
// absolute run of that many literal pixels, padded to a 16-bit boundary.
//
// The decoder trusts nothing in the data: every write is clipped to the image, runs past the
// end of a row are cut there (rows do not wrap), and data that stops early simply leaves the
// remaining pixels at index 0.
#include "platform/Rle.h"

#include "platform/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

namespace {

enum class RleKind { Rle8, Rle4 };

// The decoder's position in the command stream.
enum class RleState {
    Command,  // expecting a count byte
    Escape,   // after a zero count: expecting the escape code
    Delta,    // after escape 2: expecting the column and row offsets
    Absolute, // after escape n >= 3: expecting n literal pixels
    Done,     // end of bitmap, end of data, or the cursor left the image
};

class RleDecoder {
  public:
    RleDecoder(RleKind kind, std::span<const uint8_t> data, std::span<uint8_t> indices,
               int64_t width, int64_t height, bool topDown)
        : kind_(kind), data_(data), indices_(indices), width_(width), height_(height),
          topDown_(topDown) {}

    void Run() {
        while (state_ != RleState::Done) {
            switch (state_) {
            case RleState::Command:
                state_ = Command();
                break;
            case RleState::Escape:
                state_ = Escape();
                break;
            case RleState::Delta:
                state_ = Delta();
                break;
            case RleState::Absolute:
                state_ = Absolute();
                break;
            case RleState::Done:
                break;
            }
        }
    }

  private:
    bool Next(uint8_t& byte) {
        if (pos_ >= data_.size()) {
            return false;
        }
        byte = data_[pos_++];
        return true;
    }

    RleState Command() {
        uint8_t count = 0;
        if (!Next(count)) {
            return RleState::Done;
        }
        if (count == 0) {
            return RleState::Escape;
        }
        uint8_t value = 0;
        if (!Next(value)) {
            return RleState::Done;
        }
        WriteRun(count, value);
        return RleState::Command;
    }

    RleState Escape() {
        uint8_t code = 0;
        if (!Next(code)) {
            return RleState::Done;
        }
        switch (code) {
        case 0: // end of line
            x_ = 0;
            ++y_;
            return y_ < height_ ? RleState::Command : RleState::Done;
        case 1: // end of bitmap
            return RleState::Done;
        case 2:
            return RleState::Delta;
        default:
            literalCount_ = code;
            return RleState::Absolute;
        }
    }

    RleState Delta() {
        uint8_t dx = 0;
        uint8_t dy = 0;
        if (!Next(dx) || !Next(dy)) {
            return RleState::Done;
        }
        // The column may leave the row: later pixels of that row are then clipped away.
        x_ += dx;
        y_ += dy;
        return y_ < height_ ? RleState::Command : RleState::Done;
    }

    // The part [first, first + count) of the current row that lies inside the image, as an
    // offset into indices and a length; length 0 when nothing is visible.
    size_t Visible(int64_t count, size_t& offset) const {
        if (y_ >= height_ || x_ >= width_) {
            return 0;
        }
        const int64_t row = topDown_ ? y_ : height_ - 1 - y_;
        offset = size_t(row * width_ + x_);
        return size_t(std::min(count, width_ - x_));
    }

    void WriteRun(uint8_t count, uint8_t value) {
        size_t offset = 0;
        const size_t n = Visible(count, offset);
        if (kind_ == RleKind::Rle8) {
            std::memset(indices_.data() + offset, value, n);
        } else {
            const uint8_t pair[2] = {uint8_t(value >> 4), uint8_t(value & 0x0F)};
            // The pattern starts with the high nibble at the run's first pixel.
            for (size_t i = 0; i < n; ++i) {
                indices_[offset + i] = pair[i & 1];
            }
        }
        x_ += count;
    }

    RleState Absolute() {
        const uint8_t count = literalCount_;
        const size_t bytes = kind_ == RleKind::Rle8 ? count : (size_t(count) + 1) / 2;
        const size_t available = std::min(bytes, data_.size() - pos_);
        const std::span<const uint8_t> literal = data_.subspan(pos_, available);
        // Pixels the data still holds; a run cut short by the end of the data ends decoding.
        const size_t pixels =
            kind_ == RleKind::Rle8 ? available : std::min<size_t>(count, available * 2);
        size_t offset = 0;
        const size_t n = Visible(int64_t(pixels), offset);
        if (kind_ == RleKind::Rle8) {
            std::memcpy(indices_.data() + offset, literal.data(), n);
        } else {
            for (size_t i = 0; i < n; ++i) {
                const uint8_t byte = literal[i / 2];
                indices_[offset + i] = (i & 1) ? uint8_t(byte & 0x0F) : uint8_t(byte >> 4);
            }
        }
        x_ += count;
        if (available < bytes) {
            return RleState::Done;
        }
        // Absolute runs are padded to a 16-bit boundary; a missing pad byte ends the data.
        pos_ = std::min(data_.size(), pos_ + bytes + (bytes & 1));
        return RleState::Command;
    }

    RleKind kind_;
    std::span<const uint8_t> data_;
    std::span<uint8_t> indices_;
    int64_t width_;
    int64_t height_;
    bool topDown_;
    size_t pos_ = 0;
    // Cursor in decoding order: y counts rows from the first stored row.
    int64_t x_ = 0;
    int64_t y_ = 0;
    uint8_t literalCount_ = 0;
    RleState state_ = RleState::Command;
};

} // namespace

bool DecodeRleToIndices(const BITMAPINFO& info, std::span<const uint8_t> bits,
                        std::vector<uint8_t>& indices) {
    indices.clear();
    const BITMAPINFOHEADER& h = info.bmiHeader;
    RleKind kind;
    if (h.biCompression == BI_RLE8 && h.biBitCount == 8) {
        kind = RleKind::Rle8;
    } else if (h.biCompression == BI_RLE4 && h.biBitCount == 4) {
        kind = RleKind::Rle4;
    } else {
        return false;
    }
    const int64_t width = h.biWidth;
    const int64_t height = std::llabs(int64_t(h.biHeight));
    // One index byte per pixel: the same limit as an 8-bit surface of that size.
    if (!SurfaceSizeAllowed(width, height, 8)) {
        return false;
    }
    try {
        indices.assign(size_t(width * height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    RleDecoder(kind, bits, indices, width, height, h.biHeight < 0).Run();
    return true;
}

} // namespace platform
