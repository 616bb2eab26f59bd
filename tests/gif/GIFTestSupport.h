// Building GIF streams byte by byte for the reader's tests: LZW codes packed least significant
// bit first, data sub-blocks, and a builder for whole files.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace giftest {

using Bytes = std::vector<uint8_t>;
using RGB = std::array<uint8_t, 3>;

// Packs codes of varying width, least significant bit first (GIF89a appendix F).
class CodeWriter {
  public:
    void Put(uint32_t code, int width) {
        for (int i = 0; i < width; ++i) {
            if (bit_ == 0)
                bytes_.push_back(0);
            if ((code >> i) & 1u)
                bytes_.back() |= uint8_t(1u << bit_);
            bit_ = (bit_ + 1) % 8;
        }
    }
    const Bytes& Data() const { return bytes_; }

  private:
    Bytes bytes_;
    int bit_ = 0;
};

// Tracks the code width a decoder expects: the first code after a clear adds no string, every
// later one adds one until the table holds 4096, and the width grows when the next free code
// reaches the limit.
class WidthTracker {
  public:
    explicit WidthTracker(int minCodeSize) : min_(minCodeSize) { Clear(); }
    void Clear() {
        width_ = min_ + 1;
        limit_ = 2 << min_;
        next_ = (1 << min_) + 2;
        first_ = true;
    }
    int Width() const { return width_; }
    void Emitted() {
        if (first_) {
            first_ = false;
            return;
        }
        if (next_ < 4096) {
            ++next_;
            if (next_ >= limit_ && limit_ < 4096) {
                limit_ *= 2;
                ++width_;
            }
        }
    }

  private:
    int min_;
    int width_ = 0;
    int limit_ = 0;
    int next_ = 0;
    bool first_ = true;
};

// Splits data into sub-blocks of at most maxLength bytes, then the zero-length terminator.
inline Bytes SubBlocks(std::span<const uint8_t> data, size_t maxLength = 255,
                       bool terminate = true) {
    Bytes out;
    for (size_t at = 0; at < data.size(); at += maxLength) {
        const size_t n = std::min(maxLength, data.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    if (terminate)
        out.push_back(0);
    return out;
}

// Image data (code size byte and sub-blocks) for an explicit code sequence with explicit
// widths.
inline Bytes CodesImageData(int minCodeSize, std::initializer_list<std::pair<uint32_t, int>> codes,
                            size_t maxLength = 255) {
    CodeWriter writer;
    for (const auto& [code, width] : codes)
        writer.Put(code, width);
    Bytes out{uint8_t(minCodeSize)};
    const Bytes blocks = SubBlocks(writer.Data(), maxLength);
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

// Every pixel as its own code (no compression), a clear code first, the end code last unless
// withEnd is false. With resetEvery > 0 a clear code is sent after that many pixels.
inline Bytes LiteralCodes(std::span<const uint8_t> pixels, int minCodeSize, bool withEnd = true,
                          size_t resetEvery = 0) {
    CodeWriter writer;
    WidthTracker tracker(minCodeSize);
    const uint32_t clear = 1u << minCodeSize;
    writer.Put(clear, tracker.Width());
    size_t sinceClear = 0;
    for (uint8_t p : pixels) {
        if (resetEvery > 0 && sinceClear == resetEvery) {
            writer.Put(clear, tracker.Width());
            tracker.Clear();
            sinceClear = 0;
        }
        writer.Put(p, tracker.Width());
        tracker.Emitted();
        ++sinceClear;
    }
    if (withEnd)
        writer.Put(clear + 1, tracker.Width());
    return writer.Data();
}

inline Bytes LiteralImageData(std::span<const uint8_t> pixels, int minCodeSize,
                              size_t maxLength = 255) {
    Bytes out{uint8_t(minCodeSize)};
    const Bytes blocks = SubBlocks(LiteralCodes(pixels, minCodeSize), maxLength);
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

// Distinct colours for a table of n entries.
inline std::vector<RGB> TestColors(int n) {
    std::vector<RGB> colors;
    for (int i = 0; i < n; ++i)
        colors.push_back({uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 13 + 5)});
    return colors;
}

class GifBuilder {
  public:
    GifBuilder& Raw(std::initializer_list<uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    GifBuilder& Append(std::span<const uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    GifBuilder& Text(std::string_view text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    GifBuilder& U16(uint16_t v) { return Raw({uint8_t(v & 0xFF), uint8_t(v >> 8)}); }

    // Signature, logical screen descriptor and, with tableBits 0..7, a global table of
    // 2 << tableBits colours.
    GifBuilder& Header(uint16_t width, uint16_t height, int tableBits = -1,
                       std::string_view signature = "GIF89a", const std::vector<RGB>& colors = {}) {
        Text(signature);
        U16(width);
        U16(height);
        Raw({uint8_t(tableBits >= 0 ? 0x80 | 0x70 | tableBits : 0), 0, 0});
        if (tableBits >= 0)
            Table(2 << tableBits, colors);
        return *this;
    }
    GifBuilder& Table(int count, const std::vector<RGB>& colors = {}) {
        const std::vector<RGB> fill = colors.empty() ? TestColors(count) : colors;
        for (int i = 0; i < count; ++i) {
            const RGB c = i < int(fill.size()) ? fill[size_t(i)] : RGB{0, 0, 0};
            Raw({c[0], c[1], c[2]});
        }
        return *this;
    }
    GifBuilder& GraphicControl(uint8_t packed, uint16_t delay, uint8_t transparent) {
        Raw({0x21, 0xF9, 4, packed});
        U16(delay);
        return Raw({transparent, 0});
    }
    GifBuilder& Comment(std::initializer_list<std::string_view> blocks) {
        Raw({0x21, 0xFE});
        for (std::string_view b : blocks) {
            bytes_.push_back(uint8_t(b.size()));
            Text(b);
        }
        return Raw({0});
    }
    // Image descriptor (packed fields as given), optional local table, then image data.
    GifBuilder& Image(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t packed,
                      std::span<const uint8_t> imageData,
                      const std::vector<RGB>& localColors = {}) {
        Raw({0x2C});
        U16(left);
        U16(top);
        U16(width);
        U16(height);
        Raw({packed});
        if (packed & 0x80)
            Table(2 << (packed & 7), localColors);
        return Append(imageData);
    }
    // A frame whose pixels are sent as literal codes.
    GifBuilder& LiteralImage(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                             std::span<const uint8_t> pixels, int minCodeSize = 8,
                             uint8_t packed = 0, const std::vector<RGB>& localColors = {}) {
        const Bytes data = LiteralImageData(pixels, minCodeSize);
        return Image(left, top, width, height, packed, data, localColors);
    }
    GifBuilder& Trailer() { return Raw({0x3B}); }
    const Bytes& Data() const { return bytes_; }

  private:
    Bytes bytes_;
};

} // namespace giftest
