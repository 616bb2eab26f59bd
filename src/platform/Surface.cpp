#include "platform/Surface.h"

#include "platform/Kernel.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace platform {

struct Surface::DeferredCopy {
    std::shared_ptr<const Surface> source; // a snapshot, never itself deferred
    MonoColors colors;
};

namespace {

// calloc rather than new[]: large blocks come zeroed from the kernel, so a surface that is
// overwritten at once (or never written) does not pay for clearing its memory.
std::shared_ptr<uint8_t[]> AllocatePixels(size_t bytes, bool zeroed) {
    void* memory = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(memory),
                                      [](uint8_t* p) { std::free(p); });
}

// Snapshots of DIB sections, which GdiFlush keeps apart from memory written through pointers.
struct SectionSnapshots {
    std::mutex lock;
    std::vector<std::weak_ptr<Surface>> snapshots;
};

// Never destroyed: surfaces of bitmaps in static storage leave it at exit.
SectionSnapshots& TheSectionSnapshots() {
    static auto* registry = new SectionSnapshots();
    return *registry;
}

} // namespace

Surface::Surface(Surface&&) noexcept = default;
Surface& Surface::operator=(Surface&&) noexcept = default;
Surface::~Surface() = default;

uint64_t DibStride(int64_t width, int bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0 || width > (int64_t(1) << 40)) {
        return 0;
    }
    return ((uint64_t(width) * uint64_t(bitsPerPixel) + 31) & ~uint64_t(31)) / 8;
}

bool SurfaceSizeAllowed(int64_t width, int64_t height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > int64_t(kMaxPixels) || height > int64_t(kMaxPixels)) {
        return false;
    }
    if (uint64_t(width) * uint64_t(height) > kMaxPixels) {
        return false;
    }
    return DibStride(width, bitsPerPixel) * uint64_t(height) <= kMaxPixelBytes;
}

std::optional<Surface> Surface::Create(Layout layout) {
    const int bpp = layout.bitsPerPixel;
    const bool knownDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (!knownDepth) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    if (!SurfaceSizeAllowed(layout.width, layout.height, bpp)) {
        SetLastError(layout.width > 0 && layout.height > 0 ? ERROR_NOT_ENOUGH_MEMORY
                                                           : ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    Surface s;
    s.kind_ = layout.kind;
    s.width_ = layout.width;
    s.height_ = layout.height;
    s.bpp_ = bpp;
    s.stride_ = size_t(DibStride(layout.width, bpp));
    s.topDown_ = layout.topDown;
    if (bpp <= 8) {
        const size_t slots = size_t(1) << bpp;
        s.table_.assign(slots, RGBQUAD{});
        const size_t used = std::min(slots, layout.colors.size());
        std::copy_n(layout.colors.begin(), used, s.table_.begin());
        s.usedColors_ = int(used);
        s.valueMask_ = uint32_t(slots - 1);
    } else {
        if (bpp == 24) {
            layout.masks = kMasks888; // 24-bit rows have no masks of their own
        }
        const uint32_t limit = bpp == 32 ? 0xFFFFFFFFu : (1u << bpp) - 1;
        const ChannelMasks& m = layout.masks;
        if ((m.red | m.green | m.blue) == 0 || ((m.red | m.green | m.blue) & ~limit) != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return std::nullopt;
        }
        s.masks_ = m;
        s.channels_ = {MakeChannel(m.red), MakeChannel(m.green), MakeChannel(m.blue)};
        s.valueMask_ = m.red | m.green | m.blue;
    }
    try {
        s.bits_ = AllocatePixels(s.SizeBytes(), true);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return std::nullopt;
    }
    return s;
}

unsigned Surface::SetTable(unsigned start, std::span<const RGBQUAD> colors) {
    if (!Indexed() || start >= table_.size()) {
        return 0;
    }
    // A deferred copy's values were chosen against the old table.
    Materialize();
    const size_t n = std::min(colors.size(), table_.size() - start);
    std::copy_n(colors.begin(), n, table_.begin() + start);
    usedColors_ = std::max(usedColors_, int(start + n));
    return unsigned(n);
}

Surface::Channel Surface::MakeChannel(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask != 0) {
        c.shift = std::countr_zero(mask);
        // Only the contiguous run from the lowest set bit counts; masks with holes are unusual
        // and this keeps the arithmetic defined.
        c.bits = std::countr_one(mask >> c.shift);
    }
    return c;
}

uint32_t Surface::Expand(const Channel& c, uint32_t value) {
    if (c.bits == 0) {
        return 0;
    }
    uint32_t v = (value >> c.shift) & ((c.bits >= 32) ? 0xFFFFFFFFu : ((1u << c.bits) - 1));
    if (c.bits >= 8) {
        return (v >> (c.bits - 8)) & 0xFF;
    }
    // Replicate the bits downwards so that full scale maps to 255 and round trips are exact.
    uint32_t r = v << (8 - c.bits);
    for (int filled = c.bits; filled < 8; filled *= 2) {
        r |= r >> filled;
    }
    return r & 0xFF;
}

uint32_t Surface::Pack(const Channel& c, uint8_t level) {
    if (c.bits == 0) {
        return 0;
    }
    const uint32_t v =
        c.bits >= 8 ? uint32_t(level) << (c.bits - 8) : uint32_t(level) >> (8 - c.bits);
    return (v << c.shift) & c.mask;
}

COLORREF Surface::ValueToColor(uint32_t value) const {
    if (Indexed()) {
        if (value >= uint32_t(usedColors_)) {
            return 0;
        }
        return QuadToColor(table_[value]);
    }
    if (masks_ == kMasks888) {
        return RGB(uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value));
    }
    return RGB(uint8_t(Expand(channels_[0], value)), uint8_t(Expand(channels_[1], value)),
               uint8_t(Expand(channels_[2], value)));
}

uint32_t Surface::ColorToValue(COLORREF color) const {
    color = ColorBits(color);
    if (Indexed()) {
        return NearestIndex(std::span(table_).first(size_t(usedColors_)), color);
    }
    if (masks_ == kMasks888) {
        return (uint32_t(GetRValue(color)) << 16) | (uint32_t(GetGValue(color)) << 8) |
               GetBValue(color);
    }
    return Pack(channels_[0], GetRValue(color)) | Pack(channels_[1], GetGValue(color)) |
           Pack(channels_[2], GetBValue(color));
}

bool Surface::SameValueFormat(const Surface& other) const {
    if (Indexed() != other.Indexed()) {
        return false;
    }
    if (!Indexed()) {
        return masks_ == other.masks_;
    }
    if (bpp_ != other.bpp_ || usedColors_ != other.usedColors_) {
        return false;
    }
    return std::equal(table_.begin(), table_.begin() + usedColors_, other.table_.begin());
}

namespace {

// Values of one row at the columns column(i) for i in [0, n): the one place that decodes pixels
// of every depth, for spans and for gathered columns alike.
template <class Column>
void DecodeValues(const uint8_t* row, int bpp, uint32_t valueMask, int n, Column column,
                  uint32_t* out) {
    switch (bpp) {
    case 32:
        for (int i = 0; i < n; ++i) {
            uint32_t v;
            std::memcpy(&v, row + size_t(column(i)) * 4, 4);
            out[i] = v & valueMask;
        }
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = row + size_t(column(i)) * 3;
            out[i] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
        }
        break;
    case 16:
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = row + size_t(column(i)) * 2;
            out[i] = (uint32_t(p[0]) | (uint32_t(p[1]) << 8)) & valueMask;
        }
        break;
    case 8:
        for (int i = 0; i < n; ++i) {
            out[i] = row[column(i)];
        }
        break;
    case 4:
        for (int i = 0; i < n; ++i) {
            const int x = column(i);
            out[i] = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            const int x = column(i);
            out[i] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
        break;
    }
}

} // namespace

void Surface::ReadSpan(int y, int x0, int n, uint32_t* out) const {
    assert(x0 >= 0 && n >= 0 && x0 + n <= width_);
    if (deferred_) {
        deferred_->source->ReadSpan(y, x0, n, out);
        DeferredConverter().Convert(out, out, n);
        return;
    }
    DecodeValues(
        Row(y).data(), bpp_, valueMask_, n, [x0](int i) { return x0 + i; }, out);
}

void Surface::WriteSpan(int y, int x0, int n, const uint32_t* in) {
    assert(x0 >= 0 && n >= 0 && x0 + n <= width_);
    WriteRowValues(Row(y).data(), bpp_, valueMask_, x0, n, in);
}

void Surface::WriteRowValues(uint8_t* row, int bpp, uint32_t valueMask, int x0, int n,
                             const uint32_t* in) {
    switch (bpp) {
    case 32:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 4;
            uint32_t old;
            std::memcpy(&old, p, 4);
            const uint32_t v = (in[i] & valueMask) | (old & ~valueMask);
            std::memcpy(p, &v, 4);
        }
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 3;
            p[0] = uint8_t(in[i]);
            p[1] = uint8_t(in[i] >> 8);
            p[2] = uint8_t(in[i] >> 16);
        }
        break;
    case 16:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 2;
            const uint32_t old = uint32_t(p[0]) | (uint32_t(p[1]) << 8);
            const uint32_t v = (in[i] & valueMask) | (old & ~valueMask);
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
        }
        break;
    case 8:
        for (int i = 0; i < n; ++i) {
            row[x0 + i] = uint8_t(in[i]);
        }
        break;
    case 4:
        for (int i = 0; i < n; ++i) {
            const int x = x0 + i;
            const int shift = (x & 1) ? 0 : 4;
            uint8_t& b = row[x >> 1];
            b = uint8_t((b & ~(0x0F << shift)) | ((in[i] & 0x0F) << shift));
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            const int x = x0 + i;
            const int shift = 7 - (x & 7);
            uint8_t& b = row[x >> 3];
            b = uint8_t((b & ~(1 << shift)) | ((in[i] & 1) << shift));
        }
        break;
    }
}

void Surface::GatherSpan(int y, const int32_t* columns, int n, uint32_t* out) const {
    if (deferred_) {
        deferred_->source->GatherSpan(y, columns, n, out);
        DeferredConverter().Convert(out, out, n);
        return;
    }
    DecodeValues(
        Row(y).data(), bpp_, valueMask_, n, [columns](int i) { return columns[i]; }, out);
}

uint32_t Surface::ReadValue(int x, int y) const {
    uint32_t v = 0;
    ReadSpan(y, x, 1, &v);
    return v;
}

void Surface::WriteValue(int x, int y, uint32_t value) {
    WriteSpan(y, x, 1, &value);
}

bool Surface::SameRowFormat(const Surface& other) const {
    return bpp_ == other.bpp_ && bpp_ >= 8 && IsMonochromeDevice() == other.IsMonochromeDevice() &&
           SameValueFormat(other);
}

// ---- Deferred copies ---------------------------------------------------------------------

bool Surface::DeferCopyOf(const Surface& source, const MonoColors& colors) {
    if (kind_ == SurfaceKind::Dib || &source == this || source.width_ != width_ ||
        source.height_ != height_) {
        return false;
    }
    std::shared_ptr<const DeferredCopy> copy;
    if (source.deferred_) {
        // A copy of a copy refers to the first one's snapshot, which only works where the two
        // surfaces' values mean the same.
        if (!ValueConverter(source, *this, colors).Identity()) {
            return false;
        }
        copy = source.deferred_;
    } else {
        // The source only lends its memory: its own next write parts it from the snapshot.
        copy = std::make_shared<DeferredCopy>(
            DeferredCopy{const_cast<Surface&>(source).Snapshot(), colors});
    }
    // What this surface held is overwritten as a whole: a snapshot of it keeps the old pixels.
    if (!snapshot_.expired()) {
        ReleaseSnapshot();
    }
    deferred_ = std::move(copy);
    converter_.reset();
    converterFor_ = nullptr;
    return true;
}

ValueConverter& Surface::DeferredConverter() const {
    // Rebuilt after a move, as the converter refers to the surface it writes for.
    if (!converter_ || converterFor_ != this) {
        converter_ = std::make_unique<ValueConverter>(*deferred_->source, *this, deferred_->colors);
        converterFor_ = this;
    }
    return *converter_;
}

void Surface::CopyDeferredPixels() const {
    const std::shared_ptr<const DeferredCopy> copy = std::move(deferred_);
    deferred_.reset();
    converter_.reset();
    converterFor_ = nullptr;
    const Surface& source = *copy->source;
    uint8_t* memory = bits_.get();
    // The same steps as an immediate block copy, so the result is the same to the byte.
    if (source.SameRowFormat(*this)) {
        const size_t rowBytes = size_t(width_) * size_t(bpp_ / 8);
        for (int y = 0; y < height_; ++y) {
            std::memcpy(memory + MemoryRow(y) * stride_, source.Row(y).data(), rowBytes);
        }
        return;
    }
    ValueConverter convert(source, *this, copy->colors);
    std::vector<uint32_t> values(static_cast<size_t>(width_));
    for (int y = 0; y < height_; ++y) {
        source.ReadSpan(y, 0, width_, values.data());
        convert.Convert(values.data(), values.data(), width_);
        WriteRowValues(memory + MemoryRow(y) * stride_, bpp_, valueMask_, 0, width_, values.data());
    }
}

namespace {

// Gives a snapshot memory of its own when it still shares its source's.
void KeepApart(std::shared_ptr<uint8_t[]>& bits, size_t bytes) {
    if (bits.use_count() > 1) {
        std::shared_ptr<uint8_t[]> own = AllocatePixels(bytes, false);
        std::memcpy(own.get(), bits.get(), bytes);
        bits = std::move(own);
    }
}

} // namespace

std::shared_ptr<const Surface> Surface::Snapshot() {
    if (const std::shared_ptr<Surface> current = snapshot_.lock()) {
        if (current->bits_ == bits_ && current->usedColors_ == usedColors_ &&
            current->table_ == table_) {
            return current;
        }
        // Only one snapshot at a time shares the memory, so a write has one to part from.
        KeepApart(current->bits_, SizeBytes());
    }
    Surface view;
    view.kind_ = kind_;
    view.width_ = width_;
    view.height_ = height_;
    view.bpp_ = bpp_;
    view.stride_ = stride_;
    view.topDown_ = topDown_;
    view.masks_ = masks_;
    view.channels_ = channels_;
    view.valueMask_ = valueMask_;
    view.table_ = table_;
    view.usedColors_ = usedColors_;
    view.bits_ = bits_;
    auto snapshot = std::make_shared<Surface>(std::move(view));
    snapshot_ = snapshot;
    if (kind_ == SurfaceKind::Dib) {
        SectionSnapshots& registry = TheSectionSnapshots();
        const std::lock_guard guard(registry.lock);
        std::erase_if(registry.snapshots, [](const auto& s) { return s.expired(); });
        registry.snapshots.push_back(snapshot);
    }
    return snapshot;
}

void Surface::ReleaseSnapshot() {
    if (const std::shared_ptr<Surface> current = snapshot_.lock()) {
        if (current->bits_ == bits_) {
            KeepApart(current->bits_, SizeBytes());
        }
    }
    snapshot_.reset();
}

void Surface::FlushSectionSnapshots() {
    SectionSnapshots& registry = TheSectionSnapshots();
    const std::lock_guard guard(registry.lock);
    for (const std::weak_ptr<Surface>& entry : registry.snapshots) {
        if (const std::shared_ptr<Surface> snapshot = entry.lock()) {
            KeepApart(snapshot->bits_, snapshot->SizeBytes());
        }
    }
    registry.snapshots.clear();
}

unsigned NearestIndex(std::span<const RGBQUAD> table, COLORREF color) {
    const int r = GetRValue(color);
    const int g = GetGValue(color);
    const int b = GetBValue(color);
    unsigned best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (size_t i = 0; i < table.size(); ++i) {
        const int dr = table[i].rgbRed - r;
        const int dg = table[i].rgbGreen - g;
        const int db = table[i].rgbBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = unsigned(i);
            if (d == 0) {
                break;
            }
        }
    }
    return best;
}

// ---- ValueConverter ----------------------------------------------------------------------

namespace {
constexpr size_t kCacheSize = 4096;

size_t CacheSlot(uint32_t v) {
    return size_t((v * 2654435761u) >> 20) & (kCacheSize - 1);
}
} // namespace

ValueConverter::ValueConverter(const Surface& source, const Surface& dest, const MonoColors& colors)
    : source_(source), dest_(dest) {
    const bool sourceMono = source.IsMonochromeDevice();
    const bool destMono = dest.IsMonochromeDevice();
    if (sourceMono && destMono) {
        mode_ = Mode::Identity;
    } else if (sourceMono) {
        mode_ = Mode::Table;
        lut_ = {dest.ColorToValue(colors.destText), dest.ColorToValue(colors.destBack)};
    } else if (destMono) {
        mode_ = Mode::ToMono;
        sourceBackValue_ = source.ColorToValue(colors.sourceBack);
    } else if (source.SameValueFormat(dest)) {
        mode_ = Mode::Identity;
    } else if (source.Indexed()) {
        mode_ = Mode::Table;
        lut_.resize(source.Table().size());
        for (size_t i = 0; i < lut_.size(); ++i) {
            lut_[i] = dest.ColorToValue(source.ValueToColor(uint32_t(i)));
        }
    } else if (!dest.Indexed()) {
        mode_ = Mode::Channels;
    } else {
        mode_ = Mode::Nearest;
        cacheKeys_.assign(kCacheSize, 0xFFFFFFFFu);
        cacheValues_.assign(kCacheSize, 0);
    }
}

uint32_t ValueConverter::NearestCached(uint32_t value) {
    const size_t slot = CacheSlot(value);
    if (cacheKeys_[slot] != value) {
        cacheKeys_[slot] = value;
        cacheValues_[slot] = dest_.ColorToValue(source_.ValueToColor(value));
    }
    return cacheValues_[slot];
}

void ValueConverter::Convert(const uint32_t* in, uint32_t* out, int n) {
    switch (mode_) {
    case Mode::Identity:
        if (in != out) {
            std::copy_n(in, n, out);
        }
        break;
    case Mode::Table:
        for (int i = 0; i < n; ++i) {
            out[i] = in[i] < lut_.size() ? lut_[in[i]] : lut_[0];
        }
        break;
    case Mode::ToMono:
        for (int i = 0; i < n; ++i) {
            out[i] = in[i] == sourceBackValue_ ? 1u : 0u;
        }
        break;
    case Mode::Channels:
        for (int i = 0; i < n; ++i) {
            out[i] = dest_.ColorToValue(source_.ValueToColor(in[i]));
        }
        break;
    case Mode::Nearest:
        for (int i = 0; i < n; ++i) {
            out[i] = NearestCached(in[i]);
        }
        break;
    }
}

} // namespace platform
