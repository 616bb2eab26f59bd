// Font matching and glyph rasterisation over fontconfig and FreeType. The device layer turns a
// LOGFONT into a RealizedFont and draws its glyph coverage onto surfaces; this engine knows
// nothing of surfaces. "MS Sans Serif" and "Default" resolve to Liberation Sans (else DejaVu
// Sans); other names go through fontconfig matching.
#pragma once

#include "platform/GdiTypes.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

struct FontMetrics {
    int32_t ascent = 0;  // pixels above the baseline, rounded up
    int32_t descent = 0; // pixels below the baseline, rounded up
    int32_t height = 0;  // ascent + descent: the text cell
    int32_t internalLeading = 0;
    int32_t externalLeading = 0;
    int32_t aveCharWidth = 0;
    int32_t maxCharWidth = 0;
    // Decorations count rows from the baseline (the boundary between row ascent-1 and row ascent
    // of the cell): the underline's first row is underlinePosition rows below it (0 = the row
    // just under it), the strike-out's first row strikeoutPosition rows above it; each extends
    // downwards over its thickness.
    int32_t underlinePosition = 0;
    int32_t underlineThickness = 1;
    int32_t strikeoutPosition = 0;
    int32_t strikeoutThickness = 1;
    std::string familyName; // the face actually used
};

// One glyph's coverage, 0 (none) to 255 (full), rows top to bottom. left and top place the
// bitmap relative to the pen origin on the baseline (top is the distance above the baseline).
struct GlyphImage {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t rows = 0;
    int32_t pitch = 0;
    std::span<const uint8_t> coverage;
};

// A positioned glyph of a laid-out run, one per code point: x is the pen offset from the run's
// start. Blank glyphs (spaces) have an image with no coverage.
struct PlacedGlyph {
    int32_t x = 0;
    const GlyphImage* image = nullptr; // owned by the font's cache; valid while the font lives
};

struct TextRun {
    int32_t advance = 0; // total advance width in pixels: what measuring returns
    std::vector<PlacedGlyph> glyphs;
};

// A face at one pixel size with a glyph cache. Fonts of equal LOGFONT share one object.
class RealizedFont {
  public:
    // Never fails: an unknown face gets fontconfig's nearest face, and without any usable font
    // the result measures and draws nothing. Thread-safe, like every method of the font.
    static std::shared_ptr<RealizedFont> Get(const LOGFONT& request);
    virtual ~RealizedFont() = default;

    virtual const FontMetrics& Metrics() const = 0;
    // Advances are whole pixels per glyph, so measuring and drawing agree exactly. Invalid
    // UTF-8 bytes count as U+FFFD.
    virtual TextRun Layout(std::string_view utf8) = 0;
    virtual int32_t MeasureWidth(std::string_view utf8) = 0;
    // Whether glyphs are rendered bold/italic synthetically because the face lacks the style.
    virtual bool Synthetic() const = 0;
};

} // namespace platform::text
