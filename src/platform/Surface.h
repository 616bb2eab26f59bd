// Pixel storage of bitmaps: rows of 1, 4, 8, 16, 24 or 32 bits per pixel, stored bottom-up or
// top-down, with a colour table (1 to 8 bits) or three channel masks (16 to 32 bits).
//
// Drawing code sees a pixel as a "value": the colour-table index on indexed surfaces, and the
// packed channel bits (masks applied, reserved bits excluded) on true-colour surfaces. Raster
// operations combine values bit by bit, which is what makes them work on table indices and on
// the colour bits respectively.
#pragma once

#include "platform/GdiTypes.h"
#include "platform/PixelLimits.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// The DWORD-aligned row size of the DIB layout; 0 for invalid arguments.
uint64_t DibStride(int64_t width, int bitsPerPixel);
// Whether a width x height surface of that depth stays within the pixel limits.
bool SurfaceSizeAllowed(int64_t width, int64_t height, int bitsPerPixel);

enum class SurfaceKind {
    DeviceColor, // the screen format: 32 bits, blue, green, red, unused
    Monochrome,  // the 1-bit device format: 0 black, 1 white
    Dib,         // a DIB section with its own layout
};

struct ChannelMasks {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

constexpr ChannelMasks kMasks888{0xFF0000, 0x00FF00, 0x0000FF};
constexpr ChannelMasks kMasks555{0x7C00, 0x03E0, 0x001F};
constexpr ChannelMasks kMasks565{0xF800, 0x07E0, 0x001F};

// The colours of the monochrome rules of block copies.
struct MonoColors {
    COLORREF destText = 0;   // what 0 bits of a monochrome source become
    COLORREF destBack = 0;   // what 1 bits of a monochrome source become
    COLORREF sourceBack = 0; // colour pixels of this colour become 1 on a monochrome target
};

class ValueConverter;

// Copies between surfaces of the same size can be deferred: the target then reads its pixels
// from a snapshot of the source until either is written. A snapshot shares the source's memory
// while the source is unchanged; the source's first write gives the snapshot a copy of its own.
// Memory of a DIB section can be written through its pointer, which no surface sees, so such
// writes must follow a GdiFlush (the platform's rule for direct access), which does the same for
// every snapshot of a DIB section. A surface, its copies and snapshots are used by one thread at
// a time.
class Surface {
  public:
    struct Layout {
        SurfaceKind kind = SurfaceKind::DeviceColor;
        int width = 0;
        int height = 0; // always positive
        int bitsPerPixel = 32;
        bool topDown = true;
        ChannelMasks masks = kMasks888; // true colour only
        std::vector<RGBQUAD> colors;    // indexed only: the used part of the table
    };

    // Allocates zeroed storage; nullopt when the layout is invalid, too large, or memory runs
    // out (the last error says which).
    static std::optional<Surface> Create(Layout layout);

    Surface(Surface&&) noexcept;
    Surface& operator=(Surface&&) noexcept;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface();

    SurfaceKind Kind() const { return kind_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bpp_; }
    size_t Stride() const { return stride_; }
    bool TopDown() const { return topDown_; }
    bool Indexed() const { return bpp_ <= 8; }
    bool IsMonochromeDevice() const { return kind_ == SurfaceKind::Monochrome; }
    const ChannelMasks& Masks() const { return masks_; }
    // All bits that carry colour: the table index bits or the union of the channel masks.
    uint32_t ValueMask() const { return valueMask_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Row y counted from the top, whatever the storage order. Raw access first makes a
    // deferred copy real; the writable forms also give a snapshot of this surface its own pixels.
    std::span<uint8_t> Row(int y) {
        assert(y >= 0 && y < height_);
        PrepareWrite();
        return {bits_.get() + MemoryRow(y) * stride_, stride_};
    }
    std::span<const uint8_t> Row(int y) const {
        assert(y >= 0 && y < height_);
        Materialize();
        return {bits_.get() + MemoryRow(y) * stride_, stride_};
    }
    // The whole pixel memory in storage order (what a DIB section exposes).
    uint8_t* Bits() {
        PrepareWrite();
        return bits_.get();
    }
    const uint8_t* Bits() const {
        Materialize();
        return bits_.get();
    }
    size_t SizeBytes() const { return stride_ * size_t(height_); }

    // Colour table (indexed surfaces). The table always has 2^bpp slots; UsedColors() of them
    // are described, and only those take part in nearest-colour matching.
    std::span<const RGBQUAD> Table() const { return table_; }
    int UsedColors() const { return usedColors_; }
    // Writes entries from start on, growing the used part when needed; returns entries written.
    unsigned SetTable(unsigned start, std::span<const RGBQUAD> colors);

    // Conversions between values and COLORREF. An index beyond the described table is black.
    COLORREF ValueToColor(uint32_t value) const;
    uint32_t ColorToValue(COLORREF color) const;
    // Whether values of the two surfaces mean the same colours, so they can be copied as they are.
    bool SameValueFormat(const Surface& other) const;

    // Value spans; the caller clips (x0 >= 0, x0 + n <= width).
    void ReadSpan(int y, int x0, int n, uint32_t* out) const;
    void WriteSpan(int y, int x0, int n, const uint32_t* in);
    // Values at arbitrary columns of one row (nearest-neighbour sampling).
    void GatherSpan(int y, const int32_t* columns, int n, uint32_t* out) const;
    uint32_t ReadValue(int x, int y) const;
    void WriteValue(int x, int y, uint32_t value);

    // Whether rows of the two surfaces hold the same bytes for the same pixels, so copies can
    // move them as they are.
    bool SameRowFormat(const Surface& other) const;

    // Makes this device-dependent surface an SRCCOPY of source, which has the same size,
    // without copying any pixels yet. False, with nothing changed, where that cannot be done
    // (a DIB section, whose memory is exposed; another size; the source itself).
    bool DeferCopyOf(const Surface& source, const MonoColors& colors);
    bool Deferred() const { return deferred_ != nullptr; }
    // Parts every snapshot of a DIB section from the section's memory (GdiFlush).
    static void FlushSectionSnapshots();

  private:
    struct DeferredCopy;

    Surface() = default;
    size_t MemoryRow(int y) const { return topDown_ ? size_t(y) : size_t(height_ - 1 - y); }

    // Writes the pixels of a deferred copy into this surface's memory.
    void Materialize() const {
        if (deferred_) {
            CopyDeferredPixels();
        }
    }
    void CopyDeferredPixels() const;
    // Before a write: the pixels become real and a snapshot sharing them gets its own.
    void PrepareWrite() {
        Materialize();
        if (!snapshot_.expired()) {
            ReleaseSnapshot();
        }
    }
    void ReleaseSnapshot();
    // A read-only view sharing this surface's memory, kept apart once this surface is written.
    std::shared_ptr<const Surface> Snapshot();
    ValueConverter& DeferredConverter() const;
    static void WriteRowValues(uint8_t* row, int bpp, uint32_t valueMask, int x0, int n,
                               const uint32_t* in);

    struct Channel {
        uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
    };
    static Channel MakeChannel(uint32_t mask);
    static uint32_t Expand(const Channel& c, uint32_t value);
    static uint32_t Pack(const Channel& c, uint8_t level);

    SurfaceKind kind_ = SurfaceKind::DeviceColor;
    int width_ = 0;
    int height_ = 0;
    int bpp_ = 32;
    size_t stride_ = 0;
    bool topDown_ = true;
    ChannelMasks masks_;
    std::array<Channel, 3> channels_{}; // red, green, blue
    uint32_t valueMask_ = 0;
    std::vector<RGBQUAD> table_;
    int usedColors_ = 0;
    std::shared_ptr<uint8_t[]> bits_;
    // Set while this surface is a copy not yet made.
    mutable std::shared_ptr<const DeferredCopy> deferred_;
    mutable std::unique_ptr<ValueConverter> converter_;
    mutable const Surface* converterFor_ = nullptr; // the surface converter_ was built for
    // The snapshot handed to deferred copies of this surface, while any of them lives.
    std::weak_ptr<Surface> snapshot_;
};

// Nearest table entry by squared RGB distance; ties keep the lower index.
unsigned NearestIndex(std::span<const RGBQUAD> table, COLORREF color);

// COLORREF from a colour argument: a value with the high byte set is not a colour here, and only
// its low 24 bits count.
constexpr COLORREF ColorBits(COLORREF c) {
    return c & 0x00FFFFFF;
}

inline COLORREF QuadToColor(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}
inline RGBQUAD ColorToQuad(COLORREF c) {
    return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

// Converts value spans of one surface into values of another, following the monochrome rules
// of block copies. Built once per copy, so no colour lookups happen per pixel where a table
// does.
class ValueConverter {
  public:
    using MonoColors = platform::MonoColors;
    ValueConverter(const Surface& source, const Surface& dest, const MonoColors& colors);
    void Convert(const uint32_t* in, uint32_t* out, int n);
    bool Identity() const { return mode_ == Mode::Identity; }

  private:
    enum class Mode { Identity, Table, ToMono, Channels, Nearest };
    uint32_t NearestCached(uint32_t value);

    Mode mode_ = Mode::Identity;
    const Surface& source_;
    const Surface& dest_;
    std::vector<uint32_t> lut_;
    uint32_t sourceBackValue_ = 0;
    std::vector<uint32_t> cacheKeys_;
    std::vector<uint32_t> cacheValues_;
};

} // namespace platform
