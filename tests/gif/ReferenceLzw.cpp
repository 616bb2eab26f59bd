#include "ReferenceLzw.h"

#include "gif/GIFException.h"

#include <array>
#include <memory>

namespace giftest::reference {

using gif::ByteReader;
using gif::GIFException;
using gif::Interlace;
using gif::sBitBufferUnderrun;
using gif::sCircularTableEntry;
using gif::sImageNotValid;
using gif::sInvalidCodeSize;
using gif::sPrematureEnd;
using gif::WarningSink;

namespace {

constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;
// Codes of up to 12 bits occupy at most the last two bytes of a sub-block when a fetch is due,
// so two bytes are carried into the next refill. Two bytes of zero padding let a code be read
// as three bytes at any position.
constexpr int kCarry = 2;
constexpr int kBufferSize = kCarry + 255 + 1 + 2;

constexpr int32_t kNoMoreData = -1;
constexpr int32_t kEndCode = -2;

// State of one decoding call: the string tables, the expansion stack and the bit reader.
class LZWDecoder {
  public:
    LZWDecoder(ByteReader& in, int minCodeSize, const WarningSink& warn)
        : in_(in), warn_(warn), minCodeSize_(minCodeSize), clearCode_(1 << minCodeSize),
          endCode_(clearCode_ + 1) {
        codeWidth_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clearCode_;
        nextFree_ = clearCode_ + 2;
    }

    // Fills out with pixels; returns how many were written (fewer when the data ran out).
    size_t Fetch(uint8_t* out, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (sp_ > 0) {
                out[done++] = uint8_t(stack_[--sp_]);
                continue;
            }
            const int32_t value = Step();
            if (value < 0)
                break;
            out[done++] = uint8_t(value);
        }
        return done;
    }

    // One more value, discarded: in well-formed data this reads the end code.
    void FinalFetch() {
        if (sp_ > 0)
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
    // The next code of n bits, least significant bit first across sub-blocks; kNoMoreData when
    // the data has ended.
    int32_t ReadCode(int n) {
        if (firstCall_) {
            firstCall_ = false;
            return clearCode_;
        }
        // The buffer must hold bits strictly beyond the code before it is taken. A short
        // sub-block may not complete it: fetch on until it is complete or the data has ended.
        if (curBit_ + n >= lastBit_) {
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
        const uint32_t bits = uint32_t(buffer_[at]) | (uint32_t(buffer_[at + 1]) << 8) |
                              (uint32_t(buffer_[at + 2]) << 16);
        const int32_t code = int32_t((bits >> (curBit_ % 8)) & ((1u << n) - 1));
        curBit_ += n;
        return code;
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
        stack_[size_t(sp_++)] = value;
    }

    void ResetTables() {
        prefix_.fill(0);
        for (int i = 0; i < kTableSize; ++i)
            suffix_[size_t(i)] = i < clearCode_ ? i : 0;
        codeWidth_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clearCode_;
        nextFree_ = clearCode_ + 2;
        sp_ = 0;
    }

    // The next output value; the rest of the string waits on the stack.
    int32_t Step() {
        if (ended_)
            return kEndCode;
        int32_t code = ReadCode(codeWidth_);
        if (code < 0)
            return code;
        if (code == clearCode_) {
            ResetTables();
            do {
                code = ReadCode(codeWidth_);
            } while (code == clearCode_);
            if (code >= 0)
                firstChar_ = prevCode_ = code;
            return code;
        }
        if (code == endCode_) {
            if (!endOfData_)
                SkipSubBlocks();
            ended_ = true;
            return kEndCode;
        }
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
        if (nextFree_ < kTableSize) {
            prefix_[size_t(nextFree_)] = prevCode_;
            suffix_[size_t(nextFree_)] = firstChar_;
            ++nextFree_;
            if (nextFree_ >= codeLimit_ && codeLimit_ < kTableSize) {
                codeLimit_ *= 2;
                ++codeWidth_;
            }
        }
        prevCode_ = incoming;
        return stack_[size_t(--sp_)];
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

    std::array<int32_t, kTableSize> prefix_{};
    std::array<int32_t, kTableSize> suffix_{};
    std::array<int32_t, kStackSize> stack_{};
    int32_t sp_ = 0;

    std::array<uint8_t, kBufferSize> buffer_{};
    int32_t curBit_ = 0;
    int32_t lastBit_ = 0;
    int32_t lastByte_ = kCarry;
    bool endOfData_ = false;
    bool firstCall_ = true;
    // The end code was met: the image data is over.
    bool ended_ = false;
};

// Fills the rows in the order of the four GIF89a interlace passes; exactly height rows.
void FillInterlaced(LZWDecoder& decoder, uint8_t* pixels, uint32_t width, uint32_t height) {
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    int pass = 0;
    uint32_t row = 0;
    for (uint32_t filled = 0; filled < height; ++filled) {
        if (decoder.Fetch(pixels + size_t(row) * width, width) < width)
            return;
        row += kStep[pass];
        while (row >= height && pass < 3) {
            ++pass;
            row = kStart[pass];
        }
        if (row >= height)
            return;
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
    if (interlace == Interlace::Yes && width > 0)
        FillInterlaced(*decoder, pixels.data(), width, height);
    else
        decoder->Fetch(pixels.data(), total);
    decoder->FinalFetch();
    // Codes beyond the last pixel must not be taken for blocks of the stream.
    if (!decoder->AtEnd())
        decoder->SkipSubBlocks();
}

} // namespace giftest::reference
