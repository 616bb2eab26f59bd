// Lines, rectangles, fills and single pixels. Every shape is clipped to the selected bitmap and
// turned into horizontal spans for ApplyRop2.
//
// Pixel rules beyond the classic ones:
// - Lines follow the Bresenham path of the major axis, minor coordinate rounded half up; the end
//   point is not drawn.
// - A pen wider than 1 pixel stamps a width x width square centred on each path point (offsets
//   -(width-1)/2 to width/2). The union is painted once per pixel, so XOR-like modes stay exact.
//   Widths above kMaxPenWidth are drawn at kMaxPenWidth.
// - Dash styles apply to 1-pixel pens (wider styled pens draw solid, as on the platform):
//   dash 18 on 6 off, dot 3/3, dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3, restarting at each
//   call. In OPAQUE background mode the gaps take the background colour.
// - A rectangle's outline of width w is centred on the 1-pixel outline (PS_INSIDEFRAME keeps it
//   inside the rectangle); the interior is what lies inside the outline.
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Raster.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <span>
#include <vector>

namespace platform {

namespace {

constexpr int kMaxPenWidth = 16384;

// Gathers consecutive pixels of one row and one value into spans.
class RunWriter {
  public:
    RunWriter(Surface& surface, int rop2) : surface_(surface), rop2_(rop2) {}
    RunWriter(const RunWriter&) = delete;
    RunWriter& operator=(const RunWriter&) = delete;

    void Plot(int64_t x, int64_t y, uint32_t value) {
        if (x < 0 || y < 0 || x >= surface_.Width() || y >= surface_.Height()) {
            return;
        }
        const int ix = int(x);
        const int iy = int(y);
        if (active_ && iy == y_ && value == value_) {
            if (ix == x1_) {
                ++x1_;
                return;
            }
            if (ix == x0_ - 1) {
                --x0_;
                return;
            }
        }
        Flush();
        active_ = true;
        y_ = iy;
        x0_ = ix;
        x1_ = ix + 1;
        value_ = value;
    }

    void Flush() {
        if (active_) {
            ApplyRop2(surface_, y_, x0_, x1_ - x0_, Paint{value_}, rop2_);
            active_ = false;
        }
    }

  private:
    Surface& surface_;
    int rop2_;
    bool active_ = false;
    int y_ = 0;
    int x0_ = 0;
    int x1_ = 0;
    uint32_t value_ = 0;
};

// On/off lengths of the dash styles, starting with "on".
std::span<const int> DashPattern(uint32_t style) {
    static constexpr std::array<int, 2> kDash{18, 6};
    static constexpr std::array<int, 2> kDot{3, 3};
    static constexpr std::array<int, 4> kDashDot{9, 6, 3, 6};
    static constexpr std::array<int, 6> kDashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH:
        return kDash;
    case PS_DOT:
        return kDot;
    case PS_DASHDOT:
        return kDashDot;
    case PS_DASHDOTDOT:
        return kDashDotDot;
    default:
        return {};
    }
}

// Decides per path position whether a styled pen is on.
class DashState {
  public:
    explicit DashState(std::span<const int> pattern) : pattern_(pattern) {
        for (int n : pattern_) {
            period_ += n;
        }
    }
    bool Styled() const { return period_ > 0; }
    bool On(int64_t position) const {
        int64_t phase = position % period_;
        for (size_t i = 0; i < pattern_.size(); ++i) {
            if (phase < pattern_[i]) {
                return i % 2 == 0;
            }
            phase -= pattern_[i];
        }
        return true;
    }

  private:
    std::span<const int> pattern_;
    int64_t period_ = 0;
};

// The pen as it paints: its value, and for styled 1-pixel pens the gap treatment.
struct PenPaint {
    bool visible = true;
    int width = 1;
    uint32_t style = PS_SOLID;
    uint32_t value = 0;
    bool opaqueGaps = false;
    uint32_t gapValue = 0;
    DashState dashes{{}};
};

PenPaint ResolvePen(const DeviceContext& dc, const Surface& s) {
    PenPaint p;
    const GdiPen& pen = *dc.Pen();
    p.style = pen.Logical().lopnStyle;
    p.visible = p.style != PS_NULL;
    p.width = std::min(pen.Width(), kMaxPenWidth);
    p.value = s.ColorToValue(pen.Logical().lopnColor);
    if (p.width == 1) {
        p.dashes = DashState(DashPattern(p.style));
        p.opaqueGaps = dc.settings.backMode == OPAQUE;
        p.gapValue = s.ColorToValue(dc.settings.backColor);
    }
    return p;
}

__extension__ typedef __int128 Wide;

// A line's path: point k (0 <= k < length) of the major axis and its rounded minor coordinate.
struct LinePath {
    int64_t x0, y0;
    int64_t dx, dy;
    bool xMajor;
    int64_t length;

    LinePath(int64_t ax, int64_t ay, int64_t bx, int64_t by)
        : x0(ax), y0(ay), dx(bx - ax), dy(by - ay), xMajor(std::llabs(dx) >= std::llabs(dy)),
          length(std::max(std::llabs(dx), std::llabs(dy))) {}

    void At(int64_t k, int64_t& x, int64_t& y) const {
        const int64_t minorSpan = xMajor ? std::llabs(dy) : std::llabs(dx);
        const int64_t minor = int64_t((Wide(2) * k * minorSpan + length) / (Wide(2) * length));
        if (xMajor) {
            x = x0 + (dx > 0 ? k : -k);
            y = y0 + (dy >= 0 ? minor : -minor);
        } else {
            y = y0 + (dy > 0 ? k : -k);
            x = x0 + (dx >= 0 ? minor : -minor);
        }
    }

    // The k range whose major coordinate lies in [lo, hi]; empty when first > last.
    void Range(int64_t lo, int64_t hi, int64_t& first, int64_t& last) const {
        const int64_t m0 = xMajor ? x0 : y0;
        const bool forward = (xMajor ? dx : dy) > 0;
        first = forward ? lo - m0 : m0 - hi;
        last = forward ? hi - m0 : m0 - lo;
        first = std::max<int64_t>(first, 0);
        last = std::min<int64_t>(last, length - 1);
    }
};

void DrawThinLine(Surface& s, const PenPaint& pen, int rop2, const LinePath& path) {
    int64_t first = 0;
    int64_t last = 0;
    path.Range(0, (path.xMajor ? s.Width() : s.Height()) - 1, first, last);
    RunWriter writer(s, rop2);
    for (int64_t k = first; k <= last; ++k) {
        int64_t x = 0;
        int64_t y = 0;
        path.At(k, x, y);
        if (!pen.dashes.Styled() || pen.dashes.On(k)) {
            writer.Plot(x, y, pen.value);
        } else if (pen.opaqueGaps) {
            writer.Plot(x, y, pen.gapValue);
        }
    }
    writer.Flush();
}

void DrawThickLine(Surface& s, const PenPaint& pen, int rop2, const LinePath& path) {
    const int before = (pen.width - 1) / 2;
    const int after = pen.width / 2;
    int64_t first = 0;
    int64_t last = 0;
    const int64_t extent = path.xMajor ? s.Width() : s.Height();
    path.Range(-after, extent - 1 + before, first, last);
    if (first > last) {
        return;
    }
    const int height = s.Height();
    std::vector<int64_t> minX(size_t(height), INT64_MAX);
    std::vector<int64_t> maxX(size_t(height), INT64_MIN);
    for (int64_t k = first; k <= last; ++k) {
        int64_t x = 0;
        int64_t y = 0;
        path.At(k, x, y);
        const int64_t top = std::max<int64_t>(y - before, 0);
        const int64_t bottom = std::min<int64_t>(y + after, height - 1);
        for (int64_t row = top; row <= bottom; ++row) {
            minX[size_t(row)] = std::min(minX[size_t(row)], x - before);
            maxX[size_t(row)] = std::max(maxX[size_t(row)], x + after);
        }
    }
    for (int row = 0; row < height; ++row) {
        const int64_t x0 = std::max<int64_t>(minX[size_t(row)], 0);
        const int64_t x1 = std::min<int64_t>(maxX[size_t(row)] + 1, s.Width());
        if (x0 < x1) {
            ApplyRop2(s, row, int(x0), int(x1 - x0), Paint{pen.value}, rop2);
        }
    }
}

// Paints the rows [y0, y1) between columns [x0, x1) with one value or brush, clipped.
void PenBand(Surface& s, int64_t x0, int64_t x1, int64_t y0, int64_t y1, uint32_t value, int rop2) {
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, s.Width());
    y0 = std::max<int64_t>(y0, 0);
    y1 = std::min<int64_t>(y1, s.Height());
    for (int64_t y = y0; y < y1 && x0 < x1; ++y) {
        ApplyRop2(s, int(y), int(x0), int(x1 - x0), Paint{value}, rop2);
    }
}

// One straight edge of a styled outline: count pixels from (x, y) in direction (sx, sy), the
// first at dash position phase. Only the visible part is walked.
void StyledEdge(RunWriter& writer, const Surface& s, const PenPaint& pen, int64_t x, int64_t y,
                int sx, int sy, int64_t count, int64_t phase) {
    int64_t first = 0;
    int64_t last = count - 1;
    if (sy == 0) {
        if (y < 0 || y >= s.Height()) {
            return;
        }
        first = std::max(first, sx > 0 ? -x : x - (s.Width() - 1));
        last = std::min(last, sx > 0 ? s.Width() - 1 - x : x);
    } else {
        if (x < 0 || x >= s.Width()) {
            return;
        }
        first = std::max(first, sy > 0 ? -y : y - (s.Height() - 1));
        last = std::min(last, sy > 0 ? s.Height() - 1 - y : y);
    }
    for (int64_t k = first; k <= last; ++k) {
        const int64_t px = x + sx * k;
        const int64_t py = y + sy * k;
        if (pen.dashes.On(phase + k)) {
            writer.Plot(px, py, pen.value);
        } else if (pen.opaqueGaps) {
            writer.Plot(px, py, pen.gapValue);
        }
    }
    writer.Flush();
}

// The 1-pixel styled outline, walked clockwise from the top-left corner.
void StyledOutline(Surface& s, const PenPaint& pen, int rop2, int64_t l, int64_t t, int64_t r,
                   int64_t b) {
    RunWriter writer(s, rop2);
    const int64_t w = r - l;
    const int64_t h = b - t;
    if (h == 1) {
        StyledEdge(writer, s, pen, l, t, 1, 0, w, 0);
        return;
    }
    if (w == 1) {
        StyledEdge(writer, s, pen, l, t, 0, 1, h, 0);
        return;
    }
    int64_t phase = 0;
    StyledEdge(writer, s, pen, l, t, 1, 0, w, phase);
    phase += w;
    StyledEdge(writer, s, pen, r - 1, t + 1, 0, 1, h - 1, phase);
    phase += h - 1;
    StyledEdge(writer, s, pen, r - 2, b - 1, -1, 0, w - 1, phase);
    phase += w - 1;
    StyledEdge(writer, s, pen, l, b - 2, 0, -1, h - 2, phase);
}

} // namespace

bool LineTo(DeviceContext& dc, int x, int y) {
    const POINT from = dc.settings.position;
    dc.settings.position = POINT{x, y};
    Surface* s = dc.Target();
    if (!s || (from.x == x && from.y == y)) {
        return true;
    }
    const PenPaint pen = ResolvePen(dc, *s);
    if (!pen.visible) {
        return true;
    }
    const LinePath path(from.x, from.y, x, y);
    if (pen.width == 1) {
        DrawThinLine(*s, pen, dc.settings.rop2, path);
    } else {
        DrawThickLine(*s, pen, dc.settings.rop2, path);
    }
    return true;
}

bool Rectangle(DeviceContext& dc, int left, int top, int right, int bottom) {
    Surface* s = dc.Target();
    if (!s) {
        return true;
    }
    int64_t l = std::min(left, right);
    int64_t r = std::max(left, right);
    int64_t t = std::min(top, bottom);
    int64_t b = std::max(top, bottom);
    if (l == r || t == b) {
        return true;
    }
    const PenPaint pen = ResolvePen(dc, *s);
    const BrushSource brush(*s, *dc.Brush(), dc.settings);
    const int rop2 = dc.settings.rop2;

    // Outer edge of the outline (exclusive right and bottom) and its inner edge.
    int64_t ol = l;
    int64_t ot = t;
    int64_t orr = r;
    int64_t ob = b;
    int thickness = pen.visible ? pen.width : 0;
    if (pen.visible && pen.style != PS_INSIDEFRAME) {
        const int before = (pen.width - 1) / 2;
        const int after = pen.width / 2;
        ol -= before;
        ot -= before;
        orr += after;
        ob += after;
    }
    if (!pen.visible) {
        // No outline: the brush keeps to the interior of a 1-pixel outline.
        ol += 1;
        ot += 1;
        orr -= 1;
        ob -= 1;
    }
    const int64_t il = ol + thickness;
    const int64_t it = ot + thickness;
    const int64_t ir = orr - thickness;
    const int64_t ib = ob - thickness;
    const bool hollow = il < ir && it < ib;
    const bool styled = pen.visible && pen.dashes.Styled();

    // Interior first, then the outline; they never overlap, so the order does not matter.
    if (hollow) {
        const int64_t y0 = std::max<int64_t>(it, 0);
        const int64_t y1 = std::min<int64_t>(ib, s->Height());
        const int64_t x0 = std::max<int64_t>(il, 0);
        const int64_t x1 = std::min<int64_t>(ir, s->Width());
        for (int64_t y = y0; y < y1 && x0 < x1; ++y) {
            PaintBrushSpan(*s, brush, int(y), int(x0), int(x1), rop2);
        }
    }
    if (!pen.visible || thickness == 0) {
        return true;
    }
    if (styled) {
        StyledOutline(*s, pen, rop2, l, t, r, b);
        return true;
    }
    if (!hollow) {
        PenBand(*s, ol, orr, ot, ob, pen.value, rop2);
        return true;
    }
    PenBand(*s, ol, orr, ot, it, pen.value, rop2); // top band
    PenBand(*s, ol, orr, ib, ob, pen.value, rop2); // bottom band
    PenBand(*s, ol, il, it, ib, pen.value, rop2);  // left band
    PenBand(*s, ir, orr, it, ib, pen.value, rop2); // right band
    return true;
}

int FillRect(DeviceContext& dc, const RECT& rect, const GdiBrush& brush) {
    Surface* s = dc.Target();
    if (!s) {
        return 1;
    }
    const BrushSource source(*s, brush, dc.settings);
    const int x0 = std::max(rect.left, 0);
    const int x1 = std::min(rect.right, s->Width());
    const int y0 = std::max(rect.top, 0);
    const int y1 = std::min(rect.bottom, s->Height());
    for (int y = y0; y < y1 && x0 < x1; ++y) {
        PaintBrushSpan(*s, source, y, x0, x1, R2_COPYPEN);
    }
    return 1;
}

bool PatBlt(DeviceContext& dc, int x, int y, int width, int height, uint32_t rop) {
    const uint8_t code = Rop3Index(rop);
    if (Rop3UsesSource(code)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Surface* s = dc.Target();
    if (!s) {
        return true;
    }
    int64_t l = x;
    int64_t t = y;
    int64_t r = int64_t(x) + width;
    int64_t b = int64_t(y) + height;
    if (l > r) {
        std::swap(l, r);
    }
    if (t > b) {
        std::swap(t, b);
    }
    const int x0 = int(std::max<int64_t>(l, 0));
    const int x1 = int(std::min<int64_t>(r, s->Width()));
    const int y0 = int(std::max<int64_t>(t, 0));
    const int y1 = int(std::min<int64_t>(b, s->Height()));
    if (x0 >= x1 || y0 >= y1) {
        return true;
    }
    const BrushSource brush(*s, *dc.Brush(), dc.settings);
    if (Rop3UsesPattern(code) && !brush.Paints()) {
        return true; // a null brush paints nothing
    }
    std::array<uint32_t, kSpanChunk> values;
    std::array<uint8_t, kSpanChunk> skip;
    for (int row = y0; row < y1; ++row) {
        if (brush.Solid()) {
            ApplyRop3(*s, row, x0, x1 - x0, nullptr, Paint{brush.SolidValue()}, code);
            continue;
        }
        for (int col = x0; col < x1; col += kSpanChunk) {
            const int n = std::min(kSpanChunk, x1 - col);
            uint8_t* skipData = brush.HasSkips() ? skip.data() : nullptr;
            brush.Fill(row, col, n, values.data(), skipData);
            ApplyRop3(*s, row, col, n, nullptr, Paint{0, values.data(), skipData}, code);
        }
    }
    return true;
}

COLORREF SetPixel(DeviceContext& dc, int x, int y, COLORREF color) {
    Surface* s = dc.Target();
    if (!s || !s->Contains(x, y)) {
        return CLR_INVALID;
    }
    const uint32_t value = s->ColorToValue(color);
    s->WriteValue(x, y, value);
    return s->ValueToColor(value);
}

COLORREF GetPixel(const DeviceContext& dc, int x, int y) {
    const Surface* s = dc.Target();
    if (!s || !s->Contains(x, y)) {
        return CLR_INVALID;
    }
    return s->ValueToColor(s->ReadValue(x, y));
}

} // namespace platform
