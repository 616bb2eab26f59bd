// Block copies: BitBlt, StretchBlt and TransparentStretchBlt.
//
// Each destination row is built in chunks: source values converted to the destination's format
// (ValueConverter applies the monochrome rules), the brush pattern when the operation uses it,
// then ApplyRop3. Same-format SRCCOPY copies rows with memcpy. Stretching precomputes which
// source column and row each destination pixel samples, so nearest-neighbour stretching reads
// exactly one source pixel per destination pixel. HALFTONE averages the source box under each
// destination pixel (prefix sums per source row).
//
// Negative widths or heights of StretchBlt mirror; the rectangle then spans [x + width, x).
// Destination pixels whose source lies outside the source bitmap are left unchanged.
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Raster.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace platform {

namespace {

struct Clip {
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0; // destination pixels, exclusive ends
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

ValueConverter::MonoColors MonoColorsFor(const DeviceContext& dst, const DeviceContext& src) {
    return {dst.settings.textColor, dst.settings.backColor, src.settings.backColor};
}

// Fills the pattern values for a chunk; returns the Paint describing them.
Paint PatternChunk(const BrushSource& brush, int y, int x, int n, uint32_t* values, uint8_t* skip) {
    if (brush.Solid()) {
        return Paint{brush.SolidValue()};
    }
    uint8_t* skipData = brush.HasSkips() ? skip : nullptr;
    brush.Fill(y, x, n, values, skipData);
    return Paint{0, values, skipData};
}

// Source column/row per visible destination column/row; -1 marks a sample outside the source.
// Nearest neighbour: destination pixel i samples the source pixel under its centre.
std::vector<int32_t> NearestMap(int64_t destStart, int64_t destLength, int visibleStart,
                                int visibleEnd, int64_t srcStart, int64_t srcLength, bool mirror,
                                int srcLimit) {
    std::vector<int32_t> map(size_t(std::max(visibleEnd - visibleStart, 0)));
    for (int c = visibleStart; c < visibleEnd; ++c) {
        const int64_t i = c - destStart;
        const int64_t m = ((2 * i + 1) * srcLength) / (2 * destLength);
        const int64_t s = mirror ? srcStart + srcLength - 1 - m : srcStart + m;
        map[size_t(c - visibleStart)] = (s >= 0 && s < srcLimit) ? int32_t(s) : -1;
    }
    return map;
}

// Narrows [start, end) to the entries of map (indexed from start) that are valid. Maps are
// monotonic, so the valid entries are contiguous.
void TrimMap(const std::vector<int32_t>& map, int base, int& start, int& end) {
    while (start < end && map[size_t(start - base)] < 0) {
        ++start;
    }
    while (end > start && map[size_t(end - 1 - base)] < 0) {
        --end;
    }
}

// Rows of the destination combined with a source row already converted to destination values.
class RowCombiner {
  public:
    RowCombiner(Surface& dst, const DeviceContext& dc, uint8_t code)
        : dst_(dst), brush_(dst, *dc.Brush(), dc.settings), code_(code) {}

    bool PatternBlocks() const { return Rop3UsesPattern(code_) && !brush_.Paints(); }

    void Combine(int y, int x, int n, const uint32_t* source) {
        if (code_ == 0xCC) {
            dst_.WriteSpan(y, x, n, source);
            return;
        }
        Paint pattern;
        if (Rop3UsesPattern(code_)) {
            pattern = PatternChunk(brush_, y, x, n, values_.data(), skip_.data());
        }
        ApplyRop3(dst_, y, x, n, source, pattern, code_);
    }

  private:
    Surface& dst_;
    BrushSource brush_;
    uint8_t code_;
    std::array<uint32_t, kSpanChunk> values_;
    std::array<uint8_t, kSpanChunk> skip_;
};

// Unscaled copy of the clipped destination rectangle; the source pixel of (x, y) is
// (x + offsetX, y + offsetY).
void CopyRows(Surface& dst, const DeviceContext& dstDc, const Surface& src,
              const DeviceContext& srcDc, const Clip& clip, int offsetX, int offsetY,
              uint8_t code) {
    // A whole bitmap copied onto a device bitmap of its size is copied when either is next
    // touched, and often never: a picture handed over is usually only read, and scaled down.
    const bool whole = clip.x0 == 0 && clip.y0 == 0 && clip.x1 == dst.Width() &&
                       clip.y1 == dst.Height() && offsetX == 0 && offsetY == 0;
    if (code == 0xCC && whole && dst.DeferCopyOf(src, MonoColorsFor(dstDc, srcDc))) {
        return;
    }
    const int width = clip.x1 - clip.x0;
    const bool sameSurface = &dst == &src;
    // Overlapping copies within one bitmap run away from the area they overwrite.
    const bool upwards = sameSurface && offsetY < 0;
    if (code == 0xCC && src.SameRowFormat(dst)) {
        const size_t bytesPerPixel = size_t(dst.BitsPerPixel() / 8);
        for (int i = 0; i < clip.y1 - clip.y0; ++i) {
            const int y = upwards ? clip.y1 - 1 - i : clip.y0 + i;
            uint8_t* to = dst.Row(y).data() + size_t(clip.x0) * bytesPerPixel;
            const uint8_t* from =
                src.Row(y + offsetY).data() + size_t(clip.x0 + offsetX) * bytesPerPixel;
            std::memmove(to, from, size_t(width) * bytesPerPixel);
        }
        return;
    }
    ValueConverter convert(src, dst, MonoColorsFor(dstDc, srcDc));
    RowCombiner combiner(dst, dstDc, code);
    if (combiner.PatternBlocks()) {
        return;
    }
    std::vector<uint32_t> row(static_cast<size_t>(width));
    for (int i = 0; i < clip.y1 - clip.y0; ++i) {
        const int y = upwards ? clip.y1 - 1 - i : clip.y0 + i;
        // The whole source row is read before anything is written, so overlap within a row
        // is harmless.
        src.ReadSpan(y + offsetY, clip.x0 + offsetX, width, row.data());
        convert.Convert(row.data(), row.data(), width);
        for (int done = 0; done < width; done += kSpanChunk) {
            const int n = std::min(kSpanChunk, width - done);
            combiner.Combine(y, clip.x0 + done, n, row.data() + done);
        }
    }
}

struct StretchGeometry {
    int64_t x, y, w, h;     // destination, positive sizes
    int64_t sx, sy, sw, sh; // source, positive sizes
    bool mirrorX, mirrorY;
};

// A negative size spans [position + size, position) and flips the mirroring of its axis.
void MakePositive(int64_t& position, int64_t& size, bool& mirror) {
    if (size < 0) {
        position += size;
        size = -size;
        mirror = !mirror;
    }
}

StretchGeometry Normalise(int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    StretchGeometry g{x, y, w, h, sx, sy, sw, sh, false, false};
    MakePositive(g.x, g.w, g.mirrorX);
    MakePositive(g.sx, g.sw, g.mirrorX);
    MakePositive(g.y, g.h, g.mirrorY);
    MakePositive(g.sy, g.sh, g.mirrorY);
    return g;
}

Clip VisibleDest(const StretchGeometry& g, const Surface& dst) {
    Clip c;
    c.x0 = int(std::max<int64_t>(g.x, 0));
    c.x1 = int(std::min<int64_t>(g.x + g.w, dst.Width()));
    c.y0 = int(std::max<int64_t>(g.y, 0));
    c.y1 = int(std::min<int64_t>(g.y + g.h, dst.Height()));
    return c;
}

// Nearest-neighbour stretch; with transparent set, source pixels of that colour are skipped.
void StretchNearest(Surface& dst, const DeviceContext& dstDc, const Surface& src,
                    const DeviceContext& srcDc, const StretchGeometry& g, uint8_t code,
                    const COLORREF* transparent) {
    Clip clip = VisibleDest(g, dst);
    if (clip.Empty()) {
        return;
    }
    const std::vector<int32_t> columns =
        NearestMap(g.x, g.w, clip.x0, clip.x1, g.sx, g.sw, g.mirrorX, src.Width());
    const std::vector<int32_t> rows =
        NearestMap(g.y, g.h, clip.y0, clip.y1, g.sy, g.sh, g.mirrorY, src.Height());
    const int baseX = clip.x0;
    const int baseY = clip.y0;
    TrimMap(columns, baseX, clip.x0, clip.x1);
    TrimMap(rows, baseY, clip.y0, clip.y1);
    if (clip.Empty()) {
        return;
    }
    ValueConverter convert(src, dst, MonoColorsFor(dstDc, srcDc));
    RowCombiner combiner(dst, dstDc, code);
    if (combiner.PatternBlocks()) {
        return;
    }
    const uint32_t transparentColor = transparent ? ColorBits(*transparent) : 0;
    std::array<uint32_t, kSpanChunk> raw;
    std::array<uint32_t, kSpanChunk> converted;
    std::array<uint8_t, kSpanChunk> skip;
    for (int y = clip.y0; y < clip.y1; ++y) {
        const int sy = rows[size_t(y - baseY)];
        for (int x = clip.x0; x < clip.x1; x += kSpanChunk) {
            const int n = std::min(kSpanChunk, clip.x1 - x);
            src.GatherSpan(sy, columns.data() + (x - baseX), n, raw.data());
            convert.Convert(raw.data(), converted.data(), n);
            if (transparent) {
                for (int i = 0; i < n; ++i) {
                    skip[size_t(i)] = uint8_t(src.ValueToColor(raw[size_t(i)]) == transparentColor);
                }
                ApplyRop2(dst, y, x, n, Paint{0, converted.data(), skip.data()}, R2_COPYPEN);
            } else {
                combiner.Combine(y, x, n, converted.data());
            }
        }
    }
}

// Source box [first, last) along one axis for each visible destination index, clipped to the
// source bitmap; first == last marks an empty box.
struct Boxes {
    std::vector<int32_t> first;
    std::vector<int32_t> last;
};

Boxes BoxMap(int64_t destStart, int64_t destLength, int visibleStart, int visibleEnd,
             int64_t srcStart, int64_t srcLength, bool mirror, int srcLimit) {
    Boxes b;
    const size_t n = size_t(std::max(visibleEnd - visibleStart, 0));
    b.first.resize(n);
    b.last.resize(n);
    for (int c = visibleStart; c < visibleEnd; ++c) {
        const int64_t i = c - destStart;
        int64_t lo = (i * srcLength) / destLength;
        int64_t hi = ((i + 1) * srcLength + destLength - 1) / destLength;
        hi = std::max(hi, lo + 1);
        if (mirror) {
            const int64_t mlo = srcLength - hi;
            hi = srcLength - lo;
            lo = mlo;
        }
        lo = std::clamp<int64_t>(srcStart + lo, 0, srcLimit);
        hi = std::clamp<int64_t>(srcStart + hi, 0, srcLimit);
        b.first[size_t(c - visibleStart)] = int32_t(lo);
        b.last[size_t(c - visibleStart)] = int32_t(std::max(lo, hi));
    }
    return b;
}

void TrimBoxes(const Boxes& b, int base, int& start, int& end) {
    while (start < end && b.first[size_t(start - base)] == b.last[size_t(start - base)]) {
        ++start;
    }
    while (end > start && b.first[size_t(end - 1 - base)] == b.last[size_t(end - 1 - base)]) {
        --end;
    }
}

// HALFTONE: the average colour of the source box under each destination pixel.
void StretchHalftone(Surface& dst, const DeviceContext& dstDc, const Surface& src,
                     const StretchGeometry& g, uint8_t code) {
    Clip clip = VisibleDest(g, dst);
    if (clip.Empty()) {
        return;
    }
    const Boxes columns = BoxMap(g.x, g.w, clip.x0, clip.x1, g.sx, g.sw, g.mirrorX, src.Width());
    const Boxes rows = BoxMap(g.y, g.h, clip.y0, clip.y1, g.sy, g.sh, g.mirrorY, src.Height());
    const int baseX = clip.x0;
    const int baseY = clip.y0;
    TrimBoxes(columns, baseX, clip.x0, clip.x1);
    TrimBoxes(rows, baseY, clip.y0, clip.y1);
    if (clip.Empty()) {
        return;
    }
    RowCombiner combiner(dst, dstDc, code);
    if (combiner.PatternBlocks()) {
        return;
    }
    const int width = clip.x1 - clip.x0;
    const int srcFirst = columns.first[size_t(clip.x0 - baseX)];
    const int srcLast =
        std::max(columns.last[size_t(clip.x1 - 1 - baseX)], columns.last[size_t(clip.x0 - baseX)]);
    const int srcMin = std::min(srcFirst, columns.first[size_t(clip.x1 - 1 - baseX)]);
    const int srcWidth = srcLast - srcMin;
    std::vector<uint32_t> raw(static_cast<size_t>(srcWidth));
    std::vector<uint64_t> prefix(size_t(srcWidth + 1) * 3);
    std::vector<uint64_t> sums(size_t(width) * 3);
    std::vector<uint32_t> out(static_cast<size_t>(width));
    // Averages are usually few distinct colours on indexed targets: cache the nearest entry.
    std::vector<uint32_t> cacheKey(4096, 0xFFFFFFFFu);
    std::vector<uint32_t> cacheValue(4096, 0);
    for (int y = clip.y0; y < clip.y1; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const int r0 = rows.first[size_t(y - baseY)];
        const int r1 = rows.last[size_t(y - baseY)];
        for (int sy = r0; sy < r1; ++sy) {
            src.ReadSpan(sy, srcMin, srcWidth, raw.data());
            for (int i = 0; i < srcWidth; ++i) {
                const COLORREF c = src.ValueToColor(raw[size_t(i)]);
                const size_t p = size_t(i) * 3;
                prefix[p + 3] = prefix[p] + GetRValue(c);
                prefix[p + 4] = prefix[p + 1] + GetGValue(c);
                prefix[p + 5] = prefix[p + 2] + GetBValue(c);
            }
            for (int i = 0; i < width; ++i) {
                const size_t a = size_t(columns.first[size_t(clip.x0 + i - baseX)] - srcMin) * 3;
                const size_t b = size_t(columns.last[size_t(clip.x0 + i - baseX)] - srcMin) * 3;
                for (size_t ch = 0; ch < 3; ++ch) {
                    sums[size_t(i) * 3 + ch] += prefix[b + ch] - prefix[a + ch];
                }
            }
        }
        for (int i = 0; i < width; ++i) {
            const uint64_t count =
                uint64_t(r1 - r0) * uint64_t(columns.last[size_t(clip.x0 + i - baseX)] -
                                             columns.first[size_t(clip.x0 + i - baseX)]);
            auto avg = [&](size_t ch) {
                return uint8_t((sums[size_t(i) * 3 + ch] + count / 2) / count);
            };
            const COLORREF c = RGB(avg(0), avg(1), avg(2));
            if (dst.Indexed()) {
                const size_t slot = size_t((c * 2654435761u) >> 20) & 4095;
                if (cacheKey[slot] != c) {
                    cacheKey[slot] = c;
                    cacheValue[slot] = dst.ColorToValue(c);
                }
                out[size_t(i)] = cacheValue[slot];
            } else {
                out[size_t(i)] = dst.ColorToValue(c);
            }
        }
        for (int done = 0; done < width; done += kSpanChunk) {
            combiner.Combine(y, clip.x0 + done, std::min(kSpanChunk, width - done),
                             out.data() + done);
        }
    }
}

bool CheckSource(const DeviceContext* src, const Surface*& surface) {
    surface = src ? src->Target() : nullptr;
    if (!surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

} // namespace

bool BitBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext* src,
            int srcX, int srcY, uint32_t rop) {
    const uint8_t code = Rop3Index(rop);
    if (!Rop3UsesSource(code)) {
        return PatBlt(dst, x, y, width, height, rop); // no source: pattern and destination only
    }
    const Surface* source = nullptr;
    if (!CheckSource(src, source)) {
        return false;
    }
    Surface* target = dst.Target();
    if (!target || width <= 0 || height <= 0) {
        return true;
    }
    // Clip to the destination and to the source at once.
    const int64_t offsetX = int64_t(srcX) - x;
    const int64_t offsetY = int64_t(srcY) - y;
    Clip clip;
    clip.x0 = int(std::max<int64_t>({x, 0, -offsetX}));
    clip.x1 =
        int(std::min<int64_t>({int64_t(x) + width, target->Width(), source->Width() - offsetX}));
    clip.y0 = int(std::max<int64_t>({y, 0, -offsetY}));
    clip.y1 =
        int(std::min<int64_t>({int64_t(y) + height, target->Height(), source->Height() - offsetY}));
    if (clip.Empty()) {
        return true;
    }
    try {
        CopyRows(*target, dst, *source, *src, clip, int(offsetX), int(offsetY), code);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool StretchBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext* src,
                int srcX, int srcY, int srcWidth, int srcHeight, uint32_t rop) {
    const uint8_t code = Rop3Index(rop);
    if (!Rop3UsesSource(code)) {
        return PatBlt(dst, x, y, width, height, rop); // no source: pattern and destination only
    }
    const Surface* source = nullptr;
    if (!CheckSource(src, source)) {
        return false;
    }
    Surface* target = dst.Target();
    if (!target || width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) {
        return true;
    }
    const StretchGeometry g = Normalise(x, y, width, height, srcX, srcY, srcWidth, srcHeight);
    const bool halftone = dst.settings.stretchMode == HALFTONE && !source->IsMonochromeDevice() &&
                          !target->IsMonochromeDevice();
    try {
        // Without scaling every mode samples exactly one source pixel: a plain block copy.
        if (!g.mirrorX && !g.mirrorY && g.w == g.sw && g.h == g.sh) {
            return BitBlt(dst, int(g.x), int(g.y), int(g.w), int(g.h), src, int(g.sx), int(g.sy),
                          rop);
        }
        if (halftone) {
            StretchHalftone(*target, dst, *source, g, code);
        } else {
            StretchNearest(*target, dst, *source, *src, g, code, nullptr);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool TransparentStretchBlt(DeviceContext& dst, int x, int y, int width, int height,
                           const DeviceContext& src, int srcX, int srcY, int srcWidth,
                           int srcHeight, COLORREF transparent) {
    const Surface* source = src.Target();
    if (!source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    Surface* target = dst.Target();
    if (!target || width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) {
        return true;
    }
    const StretchGeometry g = Normalise(x, y, width, height, srcX, srcY, srcWidth, srcHeight);
    try {
        StretchNearest(*target, dst, *source, src, g, Rop3Index(SRCCOPY), &transparent);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

} // namespace platform
