#include "gif/GIFDecoder.h"

#include "gif/GIFException.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace gif {
namespace {

constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;
// Codes of up to 12 bits occupy at most the last two bytes of a sub-block when a fetch is due,
// so two bytes are carried into the next refill. Two bytes of zero padding let a code be read
// as four bytes at any position where it can start.
constexpr int kCarry = 2;
constexpr int kBufferSize = kCarry + 255 + 1 + 2;

constexpr int32_t kNoMoreData = -1;
constexpr int32_t kEndCode = -2;

// Strings up to this long are moved as one fixed-size block when the frame has room for it; the
// bytes moved beyond the string are overwritten by the strings that follow.
constexpr size_t kBlockCopy = 16;

// State of one decoding call: the string tables, the expansion stack and the bit reader.
//
// Every string of a well-formed table is a string already written to the frame (the previous
// code's string plus one pixel), so the decoder keeps, besides the prefix and suffix tables,
// where each entry's string lies in the output and how long it is, and copies it from there
// instead of following the chain pixel by pixel. Only entries built from such strings get a
// place; anything else (a code after a clear that is no root, a code beyond the next free
// entry, and what is built from them) is expanded through the chain and the stack as the
// tables define it, with the same results, including the loop checks.
class LZWDecoder {
  public:
    LZWDecoder(ByteReader& in, int minCodeSize, const WarningSink& warn)
        : in_(in), warn_(warn), minCodeSize_(minCodeSize), clearCode_(1 << minCodeSize),
          endCode_(clearCode_ + 1) {
        codeWidth_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clearCode_;
        nextFree_ = clearCode_ + 2;
    }

    // Fills out with the pixels of the data, count at most, rows in data order; returns how many
    // were written. The pixels after them keep the zero they had.
    size_t Decode(uint8_t* out, size_t count) {
        out_ = out;
        count_ = count;
        // Places in the output are kept in 32 bits; larger frames take the stack path only.
        copyable_ = count <= std::numeric_limits<uint32_t>::max();
        try {
            DecodeAll();
        } catch (...) {
            ClearBlockSpill();
            throw;
        }
        ClearBlockSpill();
        return done_;
    }

    // One more value, discarded: in well-formed data this reads the end code.
    void FinalFetch() {
        if (unwritten_ > 0)
            --unwritten_;
        else if (sp_ > 0)
            --sp_;
        else
            Step();
    }

    // Past the image data's terminator, or at the end of the stream.
    bool AtEnd() const { return endOfData_ || ended_; }

    // Skips the remaining data sub-blocks up to and including the zero-length one.
    void SkipSubBlocks() {
        uint8_t length = 0;
        while (in_.ReadByte(length) && length != 0)
            in_.Seek(length);
    }

  private:
    void DecodeAll() {
        while (done_ < count_) {
            if (sp_ > 0) {
                PopIntoOutput();
                continue;
            }
            if (ended_)
                return;
            const int32_t code = ReadCode(codeWidth_);
            if (code < 0)
                return;
            if (code == clearCode_) {
                const int32_t first = ReadAfterClear();
                if (first < 0)
                    return;
                Remember(done_, 1, first < clearCode_);
                out_[done_++] = uint8_t(first);
            } else if (code == endCode_) {
                EndOfImage();
                return;
            } else if (!CopyString(code)) {
                ExpandOnStack(code);
                lastPlaced_ = false;
            }
        }
    }

    // The string of code written from the output's own earlier pixels, with the table entry it
    // adds. False, with nothing changed, when the string has no known place.
    bool CopyString(int32_t code) {
        uint32_t from = 0;
        size_t length = 0;
        if (code < clearCode_) {
            length = 1;
        } else if (code < nextFree_ && length_[size_t(code)] != 0) {
            from = start_[size_t(code)];
            length = length_[size_t(code)];
        } else if (code == nextFree_ && lastPlaced_) {
            // The previous string and its own first pixel.
            from = lastStart_;
            length = size_t(lastLength_) + 1;
        } else {
            return false;
        }
        const size_t at = done_;
        const size_t room = count_ - at;
        // A string in the table ends at or before the pixel being written; the previous string
        // (for the next free code) ends right before it and gets its first pixel again.
        const bool repeat = code == nextFree_;
        if (code < clearCode_) {
            out_[at] = uint8_t(code);
        } else if (length <= kBlockCopy && room >= kBlockCopy) {
            // Through a local block: source and target may lie closer than the block size.
            uint8_t block[kBlockCopy];
            std::memcpy(block, out_ + from, kBlockCopy);
            std::memcpy(out_ + at, block, kBlockCopy);
            spillEnd_ = std::max(spillEnd_, at + kBlockCopy);
        } else {
            std::memcpy(out_ + at, out_ + from, std::min(repeat ? length - 1 : length, room));
        }
        if (repeat && length <= room)
            out_[at + length - 1] = out_[from];
        // Taken from the source, not read back from the pixel just stored.
        const uint8_t first = code < clearCode_ ? uint8_t(code) : out_[from];
        if (nextFree_ < kTableSize)
            AddEntry(first, lastPlaced_ ? lastLength_ + 1 : 0);
        prevCode_ = code;
        firstChar_ = first;
        Remember(at, length, true);
        if (length > room) {
            unwritten_ = length - room;
            done_ = count_;
        } else {
            done_ = at + length;
        }
        return true;
    }

    // The entry after the previous string: that string plus first. It has a place in the output
    // (placedLength pixels from the previous string's start) when the previous string had one.
    void AddEntry(uint8_t first, uint32_t placedLength) {
        const size_t entry = size_t(nextFree_);
        prefix_[entry] = uint16_t(prevCode_);
        suffix_[entry] = first;
        length_[entry] = uint16_t(placedLength);
        start_[entry] = lastStart_;
        ++nextFree_;
        if (nextFree_ >= codeLimit_ && codeLimit_ < kTableSize) {
            codeLimit_ *= 2;
            ++codeWidth_;
        }
    }

    // Where the string just written lies, when it is the string of its code for good.
    void Remember(size_t at, size_t length, bool placed) {
        lastPlaced_ = placed && copyable_;
        lastStart_ = uint32_t(at);
        lastLength_ = uint32_t(length);
    }

    void PopIntoOutput() {
        while (sp_ > 0 && done_ < count_)
            out_[done_++] = stack_[size_t(--sp_)];
    }

    // Block copies may have written up to a block beyond the last pixel; those pixels were not
    // reached and return to zero.
    void ClearBlockSpill() {
        if (spillEnd_ > done_)
            std::memset(out_ + done_, 0, std::min(spillEnd_, count_) - done_);
        spillEnd_ = 0;
    }

    // The next code of n bits, least significant bit first across sub-blocks; kNoMoreData when
    // the data has ended.
    int32_t ReadCode(int n) {
        if (firstCall_) [[unlikely]] {
            firstCall_ = false;
            return clearCode_;
        }
        // The buffer must hold bits strictly beyond the code before it is taken. A short
        // sub-block may not complete it: fetch on until it is complete or the data has ended.
        if (curBit_ + n >= lastBit_) [[unlikely]] {
            do {
                if (endOfData_) {
                    if (curBit_ >= lastBit_)
                        warn_(sBitBufferUnderrun);
                    return kNoMoreData;
                }
                if (!FetchSubBlock())
                    return kNoMoreData;
            } while (curBit_ + n > lastBit_);
        }
        const size_t at = size_t(curBit_ / 8);
        const int32_t code = int32_t((LoadFour(at) >> (curBit_ % 8)) & ((1u << n) - 1));
        curBit_ += n;
        return code;
    }

    // Four buffer bytes from at, least significant first (at + 3 stays inside the buffer).
    uint32_t LoadFour(size_t at) const {
        uint32_t bits = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&bits, buffer_.data() + at, 4);
        } else {
            bits = uint32_t(buffer_[at]) | (uint32_t(buffer_[at + 1]) << 8) |
                   (uint32_t(buffer_[at + 2]) << 16) | (uint32_t(buffer_[at + 3]) << 24);
        }
        return bits;
    }

    // Carries the last two bytes to the front and appends the next sub-block after them.
    bool FetchSubBlock() {
        buffer_[0] = buffer_[size_t(lastByte_ - 2)];
        buffer_[1] = buffer_[size_t(lastByte_ - 1)];
        uint8_t length = 0;
        if (!in_.ReadByte(length))
            return false;
        if (length == 0) {
            endOfData_ = true;
        } else {
            if (int64_t(length) > in_.Remaining()) {
                warn_(sPrematureEnd);
                length = uint8_t(in_.Remaining());
            }
            if (length != 0)
                in_.Read(std::span(buffer_).subspan(kCarry, length));
        }
        lastByte_ = kCarry + length;
        curBit_ = curBit_ - lastBit_ + 8 * kCarry;
        lastBit_ = lastByte_ * 8;
        return true;
    }

    void Push(int32_t value) {
        // Chains longer than the stack only come from tables whose entries name each other.
        if (sp_ >= kStackSize)
            throw GIFException(sCircularTableEntry);
        stack_[size_t(sp_++)] = uint8_t(value);
    }

    void ResetTables() {
        prefix_.fill(0);
        for (int i = 0; i < kTableSize; ++i)
            suffix_[size_t(i)] = i < clearCode_ ? uint8_t(i) : 0;
        codeWidth_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clearCode_;
        nextFree_ = clearCode_ + 2;
        sp_ = 0;
        lastPlaced_ = false;
    }

    // After a clear code: the tables start again and the next code other than a clear is output
    // as it stands. Returns that code, or a negative value when the data ended.
    int32_t ReadAfterClear() {
        ResetTables();
        int32_t code = 0;
        do {
            code = ReadCode(codeWidth_);
        } while (code == clearCode_);
        if (code >= 0)
            firstChar_ = prevCode_ = code;
        return code;
    }

    void EndOfImage() {
        if (!endOfData_)
            SkipSubBlocks();
        ended_ = true;
    }

    // The string of code through the chain onto the stack (last pixel at the bottom), with the
    // table entry it adds; that entry has no place in the output.
    void ExpandOnStack(int32_t code) {
        const int32_t incoming = code;
        // The string not yet in the table: the previous string and its own first character.
        if (code >= nextFree_) {
            Push(firstChar_);
            code = prevCode_;
        }
        while (code >= clearCode_) {
            Push(suffix_[size_t(code)]);
            if (prefix_[size_t(code)] == code)
                throw GIFException(sCircularTableEntry);
            code = prefix_[size_t(code)];
        }
        firstChar_ = suffix_[size_t(code)];
        Push(firstChar_);
        if (nextFree_ < kTableSize)
            AddEntry(uint8_t(firstChar_), 0);
        prevCode_ = incoming;
    }

    // One more code's worth of decoding with nothing written: the tables, the reader and the
    // checks move on as they would for a pixel.
    void Step() {
        if (ended_)
            return;
        const int32_t code = ReadCode(codeWidth_);
        if (code < 0)
            return;
        if (code == clearCode_)
            ReadAfterClear();
        else if (code == endCode_)
            EndOfImage();
        else
            ExpandOnStack(code);
    }

    ByteReader& in_;
    const WarningSink& warn_;

    const int minCodeSize_;
    const int32_t clearCode_;
    const int32_t endCode_;
    int32_t codeWidth_;
    int32_t codeLimit_;
    int32_t nextFree_;
    int32_t firstChar_ = 0;
    int32_t prevCode_ = 0;

    std::array<uint16_t, kTableSize> prefix_{};
    std::array<uint8_t, kTableSize> suffix_{};
    // Where each entry's string lies in the output; length 0 when it has no place.
    std::array<uint32_t, kTableSize> start_{};
    std::array<uint16_t, kTableSize> length_{};
    std::array<uint8_t, kStackSize> stack_{};
    int32_t sp_ = 0;

    // The output, and the string written last.
    uint8_t* out_ = nullptr;
    size_t count_ = 0;
    size_t done_ = 0;
    size_t spillEnd_ = 0;
    bool copyable_ = false;
    bool lastPlaced_ = false;
    uint32_t lastStart_ = 0;
    uint32_t lastLength_ = 0;
    // Pixels of the last string beyond the end of the output.
    size_t unwritten_ = 0;

    std::array<uint8_t, kBufferSize> buffer_{};
    int32_t curBit_ = 0;
    int32_t lastBit_ = 0;
    int32_t lastByte_ = kCarry;
    bool endOfData_ = false;
    bool firstCall_ = true;
    // The end code was met: the image data is over.
    bool ended_ = false;
};

// Moves rows decoded in data order to their places in the order of the four GIF89a interlace
// passes (rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...), in place, one cycle of the
// permutation at a time.
void Deinterlace(uint8_t* pixels, uint32_t width, uint32_t height) {
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    std::vector<uint32_t> place;
    place.reserve(height);
    for (int pass = 0; pass < 4; ++pass)
        for (uint32_t row = kStart[pass]; row < height; row += kStep[pass])
            place.push_back(row);
    std::vector<bool> moved(height, false);
    std::vector<uint8_t> carried(width);
    const auto rowAt = [&](uint32_t row) { return pixels + size_t(row) * width; };
    for (uint32_t first = 0; first < height; ++first) {
        if (moved[first] || place[first] == first)
            continue;
        // carried holds the row that belongs at place[row].
        std::copy_n(rowAt(first), width, carried.data());
        uint32_t row = first;
        do {
            row = place[row];
            std::swap_ranges(carried.begin(), carried.end(), rowAt(row));
            moved[row] = true;
        } while (row != first);
    }
}

} // namespace

void DecodeImageData(ByteReader& in, std::span<uint8_t> pixels, uint32_t width, uint32_t height,
                     Interlace interlace, const WarningSink& warn) {
    uint8_t minCodeSize = 0;
    if (!in.ReadByte(minCodeSize))
        return;
    // From 12 bits on the clear code itself lies outside the 4096-entry tables.
    if (minCodeSize >= 12)
        throw GIFException(sInvalidCodeSize);

    auto decoder = std::make_unique<LZWDecoder>(in, minCodeSize, warn);
    const size_t total = size_t(width) * height;
    if (total > pixels.size())
        throw GIFException(sImageNotValid);
    // Interlaced rows are decoded in data order and then moved, also when decoding fails half
    // way, so the pixels are those a row-by-row fill would have left.
    const auto arrange = [&] {
        if (interlace == Interlace::Yes && width > 0)
            Deinterlace(pixels.data(), width, height);
    };
    try {
        decoder->Decode(pixels.data(), total);
    } catch (...) {
        arrange();
        throw;
    }
    arrange();
    decoder->FinalFetch();
    // Codes beyond the last pixel must not be taken for blocks of the stream.
    if (!decoder->AtEnd())
        decoder->SkipSubBlocks();
}

} // namespace gif
