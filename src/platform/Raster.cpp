#include "platform/Raster.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Calls f(d, i) for every pixel of the span and stores its result; the loop is specialised per
// depth so no per-pixel dispatch remains.
template <class F> void TransformSpan(Surface& s, int y, int x0, int n, F&& f) {
    uint8_t* row = s.Row(y).data();
    const uint32_t mask = s.ValueMask();
    switch (s.BitsPerPixel()) {
    case 32:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 4;
            uint32_t d;
            std::memcpy(&d, p, 4);
            const uint32_t v = (f(d & mask, i) & mask) | (d & ~mask);
            std::memcpy(p, &v, 4);
        }
        return;
    case 24:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 3;
            const uint32_t d = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
            const uint32_t v = f(d, i);
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
            p[2] = uint8_t(v >> 16);
        }
        return;
    case 16:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + size_t(x0 + i) * 2;
            const uint32_t d = uint32_t(p[0]) | (uint32_t(p[1]) << 8);
            const uint32_t v = (f(d & mask, i) & mask) | (d & ~mask);
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
        }
        return;
    case 8:
        for (int i = 0; i < n; ++i) {
            row[x0 + i] = uint8_t(f(row[x0 + i], i));
        }
        return;
    default: {
        // Sub-byte depths: unpack a chunk, transform, pack.
        std::array<uint32_t, kSpanChunk> buffer;
        for (int done = 0; done < n; done += kSpanChunk) {
            const int m = std::min(kSpanChunk, n - done);
            s.ReadSpan(y, x0 + done, m, buffer.data());
            for (int i = 0; i < m; ++i) {
                buffer[size_t(i)] = f(buffer[size_t(i)], done + i) & mask;
            }
            s.WriteSpan(y, x0 + done, m, buffer.data());
        }
        return;
    }
    }
}

// A ROP2 code is a truth table over (P, D): bit (2P + D) of code - 1 is the result. For a
// fixed P this reduces to result = B ^ (D & C), where A is the result for D = 1 and B for D = 0,
// and C = A ^ B.
struct Rop2Terms {
    uint32_t b;
    uint32_t c;
};

inline Rop2Terms Terms(int rop2, uint32_t p) {
    const unsigned t = unsigned(rop2 - 1) & 0x0F;
    const uint32_t a = ((t & 8) ? p : 0) | ((t & 2) ? ~p : 0);
    const uint32_t b = ((t & 4) ? p : 0) | ((t & 1) ? ~p : 0);
    return {b, a ^ b};
}

void FillValue(Surface& s, int y, int x0, int n, uint32_t value) {
    if (s.BitsPerPixel() == 32 && s.ValueMask() == 0xFFFFFF) {
        // The common case: the screen format. The unused byte becomes 0, as it is everywhere.
        uint8_t* row = s.Row(y).data() + size_t(x0) * 4;
        for (int i = 0; i < n; ++i) {
            std::memcpy(row + size_t(i) * 4, &value, 4);
        }
        return;
    }
    if (s.BitsPerPixel() == 8) {
        std::memset(s.Row(y).data() + x0, int(value & 0xFF), size_t(n));
        return;
    }
    TransformSpan(s, y, x0, n, [value](uint32_t, int) { return value; });
}

inline uint32_t Rop3Generic(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if ((code >> bit) & 1) {
            r |= ((bit & 4) ? p : ~p) & ((bit & 2) ? s : ~s) & ((bit & 1) ? d : ~d);
        }
    }
    return r;
}

} // namespace

void ApplyRop2(Surface& surface, int y, int x0, int n, const Paint& paint, int rop2) {
    if (n <= 0 || rop2 == R2_NOP) {
        return;
    }
    if (!paint.values && !paint.skip) {
        if (rop2 == R2_COPYPEN) {
            FillValue(surface, y, x0, n, paint.solid);
            return;
        }
        const Rop2Terms t = Terms(rop2, paint.solid);
        TransformSpan(surface, y, x0, n, [t](uint32_t d, int) { return t.b ^ (d & t.c); });
        return;
    }
    TransformSpan(surface, y, x0, n, [&paint, rop2](uint32_t d, int i) {
        if (paint.skip && paint.skip[i]) {
            return d;
        }
        const Rop2Terms t = Terms(rop2, paint.values ? paint.values[i] : paint.solid);
        return t.b ^ (d & t.c);
    });
}

void ApplyRop3(Surface& surface, int y, int x0, int n, const uint32_t* source, const Paint& pattern,
               uint8_t code) {
    if (n <= 0 || code == 0xAA) { // 0xAA is D: nothing changes
        return;
    }
    const uint32_t* pv = pattern.values;
    const uint8_t* skip = pattern.skip;
    const uint32_t ps = pattern.solid;
    auto p = [pv, ps](int i) { return pv ? pv[i] : ps; };
    auto skipped = [skip](int i) { return skip && skip[i]; };
    switch (code) {
    case 0xCC: // SRCCOPY
        surface.WriteSpan(y, x0, n, source);
        return;
    case 0x33: // NOTSRCCOPY
        TransformSpan(surface, y, x0, n, [source](uint32_t, int i) { return ~source[i]; });
        return;
    case 0x88: // SRCAND
        TransformSpan(surface, y, x0, n, [source](uint32_t d, int i) { return d & source[i]; });
        return;
    case 0xEE: // SRCPAINT
        TransformSpan(surface, y, x0, n, [source](uint32_t d, int i) { return d | source[i]; });
        return;
    case 0x66: // SRCINVERT
        TransformSpan(surface, y, x0, n, [source](uint32_t d, int i) { return d ^ source[i]; });
        return;
    case 0x00: // BLACKNESS
        FillValue(surface, y, x0, n, 0);
        return;
    case 0xFF: // WHITENESS
        FillValue(surface, y, x0, n, surface.ValueMask());
        return;
    case 0x55: // DSTINVERT
        TransformSpan(surface, y, x0, n, [](uint32_t d, int) { return ~d; });
        return;
    case 0xF0: // PATCOPY
        if (!pv && !skip) {
            FillValue(surface, y, x0, n, ps);
            return;
        }
        TransformSpan(surface, y, x0, n, [&](uint32_t d, int i) { return skipped(i) ? d : p(i); });
        return;
    case 0x5A: // PATINVERT
        TransformSpan(surface, y, x0, n,
                      [&](uint32_t d, int i) { return skipped(i) ? d : d ^ p(i); });
        return;
    default:
        break;
    }
    TransformSpan(surface, y, x0, n, [&](uint32_t d, int i) {
        if (skipped(i)) {
            return d;
        }
        return Rop3Generic(code, p(i), source ? source[i] : 0, d);
    });
}

uint8_t HatchRow(uint32_t hatch, int row) {
    row &= 7;
    const uint8_t falling = uint8_t(0x80 >> row); // from top left to bottom right
    const uint8_t rising = uint8_t(0x01 << row);  // from bottom left to top right
    switch (hatch) {
    case HS_HORIZONTAL:
        return row == 0 ? 0xFF : 0x00;
    case HS_VERTICAL:
        return 0x80;
    case HS_FDIAGONAL:
        return falling;
    case HS_BDIAGONAL:
        return rising;
    case HS_CROSS:
        return row == 0 ? 0xFF : 0x80;
    case HS_DIAGCROSS:
        return uint8_t(falling | rising);
    default:
        return 0;
    }
}

BrushSource::BrushSource(const Surface& surface, COLORREF color) {
    cells_.fill(surface.ColorToValue(color));
}

BrushSource::BrushSource(const Surface& surface, const GdiBrush& brush, const DcSettings& settings)
    : origin_(settings.brushOrigin) {
    const LOGBRUSH& lb = brush.Logical();
    switch (lb.lbStyle) {
    case BS_NULL:
        paints_ = false;
        return;
    case BS_HATCHED: {
        solid_ = false;
        const uint32_t line = surface.ColorToValue(lb.lbColor);
        const uint32_t back = surface.ColorToValue(settings.backColor);
        const bool transparent = settings.backMode == TRANSPARENT;
        for (int y = 0; y < 8; ++y) {
            const uint8_t bits = HatchRow(lb.lbHatch, y);
            for (int x = 0; x < 8; ++x) {
                const bool on = (bits >> (7 - x)) & 1;
                cells_[size_t(y * 8 + x)] = on ? line : back;
                skip_[size_t(y * 8 + x)] = uint8_t(!on && transparent);
            }
        }
        hasSkips_ = transparent;
        return;
    }
    case BS_PATTERN:
        if (const BrushPattern* pattern = brush.Pattern()) {
            solid_ = false;
            const uint32_t zero = surface.ColorToValue(settings.textColor);
            const uint32_t one = surface.ColorToValue(settings.backColor);
            for (size_t i = 0; i < 64; ++i) {
                cells_[i] = pattern->monochrome ? (pattern->bits[i] ? one : zero)
                                                : surface.ColorToValue(pattern->colors[i]);
            }
            return;
        }
        paints_ = false;
        return;
    default:
        cells_.fill(surface.ColorToValue(lb.lbColor));
        return;
    }
}

void BrushSource::Fill(int y, int x0, int n, uint32_t* values, uint8_t* skip) const {
    const size_t row = size_t(((y - origin_.y) % 8 + 8) % 8) * 8;
    int column = ((x0 - origin_.x) % 8 + 8) % 8;
    for (int i = 0; i < n; ++i) {
        values[i] = cells_[row + size_t(column)];
        if (skip) {
            skip[i] = skip_[row + size_t(column)];
        }
        column = (column + 1) & 7;
    }
}

void PaintBrushSpan(Surface& surface, const BrushSource& brush, int y, int x0, int x1, int rop2) {
    if (!brush.Paints() || x1 <= x0) {
        return;
    }
    if (brush.Solid()) {
        ApplyRop2(surface, y, x0, x1 - x0, Paint{brush.SolidValue()}, rop2);
        return;
    }
    std::array<uint32_t, kSpanChunk> values;
    std::array<uint8_t, kSpanChunk> skip;
    for (int x = x0; x < x1; x += kSpanChunk) {
        const int n = std::min(kSpanChunk, x1 - x);
        brush.Fill(y, x, n, values.data(), brush.HasSkips() ? skip.data() : nullptr);
        ApplyRop2(surface, y, x, n,
                  Paint{0, values.data(), brush.HasSkips() ? skip.data() : nullptr}, rop2);
    }
}

} // namespace platform
