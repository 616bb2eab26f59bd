// The span functions every drawing call ends in, and brushes resolved for one surface. Callers
// clip first: spans passed here lie inside the surface.
#pragma once

#include "platform/DeviceContext.h"
#include "platform/Surface.h"

#include <array>
#include <cstdint>

namespace platform {

// What a span is painted with: one value for every pixel, or a value per pixel. Pixels whose
// skip flag is set keep their value (the transparent background of a hatch).
struct Paint {
    uint32_t solid = 0;
    const uint32_t* values = nullptr;
    const uint8_t* skip = nullptr;
};

// Binary raster operation (R2_*) of the paint P with the destination D over pixels
// [x0, x0 + n) of row y. All lines, rectangles and fills go through here.
void ApplyRop2(Surface& surface, int y, int x0, int n, const Paint& paint, int rop2);

// Ternary raster operation: code is the operation index (bits 16-23 of the ROP code); source
// holds n values already in the surface's format, or is null when the operation has no source.
void ApplyRop3(Surface& surface, int y, int x0, int n, const uint32_t* source, const Paint& pattern,
               uint8_t code);

constexpr uint8_t Rop3Index(uint32_t rop) {
    return uint8_t((rop >> 16) & 0xFF);
}
constexpr bool Rop3UsesSource(uint8_t i) {
    return ((i >> 2) & 0x33) != (i & 0x33);
}
constexpr bool Rop3UsesPattern(uint8_t i) {
    return ((i >> 4) & 0x0F) != (i & 0x0F);
}

// Chunk size of the per-pixel paths: their buffers live on the stack.
constexpr int kSpanChunk = 512;

// A brush as it paints on one surface from one device context: the 8 x 8 cells mapped to
// surface values, aligned to the brush origin.
class BrushSource {
  public:
    // A solid paint of one colour (pens, text backgrounds).
    BrushSource(const Surface& surface, COLORREF color);
    BrushSource(const Surface& surface, const GdiBrush& brush, const DcSettings& settings);

    bool Paints() const { return paints_; }
    bool Solid() const { return solid_; }
    uint32_t SolidValue() const { return cells_[0]; }
    // Values (and skip flags) for pixels [x0, x0 + n) of row y; n <= kSpanChunk.
    void Fill(int y, int x0, int n, uint32_t* values, uint8_t* skip) const;
    bool HasSkips() const { return hasSkips_; }

  private:
    bool paints_ = true;
    bool solid_ = true;
    bool hasSkips_ = false;
    POINT origin_;
    std::array<uint32_t, 64> cells_{};
    std::array<uint8_t, 64> skip_{};
};

// Paints [x0, x1) of row y with the brush through the ROP2 mode.
void PaintBrushSpan(Surface& surface, const BrushSource& brush, int y, int x0, int x1, int rop2);

// 8 x 8 hatch patterns: a set bit is a line pixel; bit 7 is the leftmost column.
uint8_t HatchRow(uint32_t hatch, int row);

} // namespace platform
