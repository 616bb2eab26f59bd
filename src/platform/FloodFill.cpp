// ExtFloodFill: four-connected, span by span, with an explicit stack.
//
// The region is found on the picture as it was before the fill (the brush may well have the
// colour being followed), then painted with the brush in copy mode: the ROP2 mode does not
// apply to flood fills. The colour argument is compared after mapping it to the surface's pixel
// value (the nearest table entry on indexed surfaces); a value with the high byte 0xFF, such as
// a system colour handed over unconverted, counts as its low 24 bits.
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Raster.h"

#include <new>
#include <vector>

namespace platform {

namespace {

// One bit per pixel: set while the pixel may still join the region.
class OpenMap {
  public:
    OpenMap(const Surface& s, uint32_t target, bool followBorder)
        : s_(s), target_(target), border_(followBorder), words_((size_t(s.Width()) + 63) / 64),
          bits_(words_ * size_t(s.Height()), 0), ready_(size_t(s.Height()), 0) {}

    bool Open(int x, int y) {
        Prepare(y);
        return (bits_[size_t(y) * words_ + size_t(x) / 64] >> (x % 64)) & 1;
    }
    void Close(int x, int y) {
        bits_[size_t(y) * words_ + size_t(x) / 64] &= ~(uint64_t(1) << (x % 64));
    }

  private:
    void Prepare(int y) {
        if (ready_[size_t(y)]) {
            return;
        }
        ready_[size_t(y)] = 1;
        std::vector<uint32_t>& row = buffer_;
        row.resize(size_t(s_.Width()));
        s_.ReadSpan(y, 0, s_.Width(), row.data());
        uint64_t* words = &bits_[size_t(y) * words_];
        for (int x = 0; x < s_.Width(); ++x) {
            const bool open = border_ ? row[size_t(x)] != target_ : row[size_t(x)] == target_;
            if (open) {
                words[size_t(x) / 64] |= uint64_t(1) << (x % 64);
            }
        }
    }

    const Surface& s_;
    uint32_t target_;
    bool border_;
    size_t words_;
    std::vector<uint64_t> bits_;
    std::vector<uint8_t> ready_;
    std::vector<uint32_t> buffer_;
};

struct Span {
    int y;
    int x0;
    int x1; // exclusive
};

struct Seed {
    int x;
    int y;
};

// Pushes one seed for every run of open pixels in [x0, x1) of row y.
void SeedRow(OpenMap& open, std::vector<Seed>& stack, int y, int x0, int x1) {
    bool inRun = false;
    for (int x = x0; x < x1; ++x) {
        const bool o = open.Open(x, y);
        if (o && !inRun) {
            stack.push_back(Seed{x, y});
        }
        inRun = o;
    }
}

std::vector<Span> FindRegion(const Surface& s, OpenMap& open, int x, int y) {
    std::vector<Span> spans;
    std::vector<Seed> stack{Seed{x, y}};
    while (!stack.empty()) {
        const Seed seed = stack.back();
        stack.pop_back();
        if (!open.Open(seed.x, seed.y)) {
            continue; // reached earlier through another seed
        }
        int left = seed.x;
        while (left > 0 && open.Open(left - 1, seed.y)) {
            --left;
        }
        int right = seed.x + 1;
        while (right < s.Width() && open.Open(right, seed.y)) {
            ++right;
        }
        for (int i = left; i < right; ++i) {
            open.Close(i, seed.y);
        }
        spans.push_back(Span{seed.y, left, right});
        if (seed.y > 0) {
            SeedRow(open, stack, seed.y - 1, left, right);
        }
        if (seed.y + 1 < s.Height()) {
            SeedRow(open, stack, seed.y + 1, left, right);
        }
    }
    return spans;
}

} // namespace

bool ExtFloodFill(DeviceContext& dc, int x, int y, COLORREF color, unsigned type) {
    Surface* s = dc.Target();
    if (type != FLOODFILLBORDER && type != FLOODFILLSURFACE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!s || !s->Contains(x, y)) {
        return false;
    }
    const uint32_t target = s->ColorToValue(ColorBits(color));
    try {
        OpenMap open(*s, target, type == FLOODFILLBORDER);
        if (!open.Open(x, y)) {
            return false; // the start is on the border, or not of the surface colour
        }
        const BrushSource brush(*s, *dc.Brush(), dc.settings);
        if (!brush.Paints()) {
            return true;
        }
        for (const Span& span : FindRegion(*s, open, x, y)) {
            PaintBrushSpan(*s, brush, span.y, span.x0, span.x1, R2_COPYPEN);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

} // namespace platform
