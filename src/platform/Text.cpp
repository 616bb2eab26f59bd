// Text output and measurement over the font engine. The glyph engine lays out the run once; the
// same layout gives the advance that measuring returns, so drawn and measured widths agree.
//
// ETO_OPAQUE with a rectangle fills that rectangle, as on the platform; without one (or in
// OPAQUE background mode) the text cell is filled. ETO_CLIPPED with a rectangle clips the glyphs
// and decorations to it. A spacing array that covers every glyph replaces the font's advances.
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Raster.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

struct Bounds {
    int64_t left, top, right, bottom; // exclusive right and bottom
    bool Empty() const { return left >= right || top >= bottom; }
};

Bounds Intersect(const Bounds& a, const Bounds& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

void FillBounds(Surface& s, const Bounds& b, uint32_t value) {
    for (int64_t y = b.top; y < b.bottom && b.left < b.right; ++y) {
        ApplyRop2(s, int(y), int(b.left), int(b.right - b.left), Paint{value}, R2_COPYPEN);
    }
}

uint8_t Blend(uint8_t over, uint8_t under, unsigned alpha) {
    return uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}

// Draws one glyph's coverage with its top-left at (left, top), inside clip.
void DrawGlyph(Surface& s, const text::GlyphImage& g, int64_t left, int64_t top, const Bounds& clip,
               COLORREF color, std::vector<uint32_t>& row) {
    const Bounds box = Intersect({left, top, left + g.width, top + g.rows}, clip);
    if (box.Empty()) {
        return;
    }
    const int n = int(box.right - box.left);
    row.resize(size_t(n));
    const uint32_t solid = s.ColorToValue(color);
    for (int64_t y = box.top; y < box.bottom; ++y) {
        const uint8_t* coverage =
            g.coverage.data() + size_t(y - top) * size_t(g.pitch) + size_t(box.left - left);
        if (s.Indexed()) {
            // No blending against a colour table: a pixel is ink when mostly covered.
            int runStart = -1;
            for (int i = 0; i <= n; ++i) {
                const bool ink = i < n && coverage[i] >= 128;
                if (ink && runStart < 0) {
                    runStart = i;
                } else if (!ink && runStart >= 0) {
                    ApplyRop2(s, int(y), int(box.left) + runStart, i - runStart, Paint{solid},
                              R2_COPYPEN);
                    runStart = -1;
                }
            }
            continue;
        }
        s.ReadSpan(int(y), int(box.left), n, row.data());
        for (int i = 0; i < n; ++i) {
            const unsigned a = coverage[i];
            if (a == 255) {
                row[size_t(i)] = solid;
            } else if (a != 0) {
                const COLORREF d = s.ValueToColor(row[size_t(i)]);
                row[size_t(i)] = s.ColorToValue(RGB(Blend(GetRValue(color), GetRValue(d), a),
                                                    Blend(GetGValue(color), GetGValue(d), a),
                                                    Blend(GetBValue(color), GetBValue(d), a)));
            }
        }
        s.WriteSpan(int(y), int(box.left), n, row.data());
    }
}

} // namespace

bool ExtTextOut(DeviceContext& dc, int x, int y, unsigned options, const RECT* clip,
                std::string_view text, std::span<const int> dx) {
    const GdiFont& font = *dc.Font();
    text::RealizedFont& face = font.Realized();
    const text::FontMetrics& metrics = face.Metrics();
    Surface* s = dc.Target();
    if (!s) {
        return true;
    }
    const text::TextRun run = face.Layout(text);

    // Glyph positions: the font's own advances, or the caller's spacing when it covers every
    // glyph.
    std::vector<int64_t> positions(run.glyphs.size());
    int64_t advance = run.advance;
    if (!dx.empty() && dx.size() >= run.glyphs.size()) {
        int64_t pen = 0;
        for (size_t i = 0; i < run.glyphs.size(); ++i) {
            positions[i] = pen;
            pen += dx[i];
        }
        advance = pen;
    } else {
        for (size_t i = 0; i < run.glyphs.size(); ++i) {
            positions[i] = run.glyphs[i].x;
        }
    }

    Bounds bounds{0, 0, s->Width(), s->Height()};
    if (clip && (options & ETO_CLIPPED)) {
        bounds = Intersect(bounds, {clip->left, clip->top, clip->right, clip->bottom});
    }
    const Bounds cell{x, y, x + advance, int64_t(y) + metrics.height};
    const uint32_t back = s->ColorToValue(dc.settings.backColor);
    if ((options & ETO_OPAQUE) && clip) {
        FillBounds(*s,
                   Intersect({clip->left, clip->top, clip->right, clip->bottom},
                             {0, 0, s->Width(), s->Height()}),
                   back);
    } else if ((options & ETO_OPAQUE) || dc.settings.backMode == OPAQUE) {
        FillBounds(*s, Intersect(cell, bounds), back);
    }

    const COLORREF color = dc.settings.textColor;
    const int64_t baseline = int64_t(y) + metrics.ascent; // first row below the baseline
    std::vector<uint32_t> row;
    for (size_t i = 0; i < run.glyphs.size(); ++i) {
        const text::GlyphImage* image = run.glyphs[i].image;
        if (!image || image->width <= 0 || image->rows <= 0) {
            continue;
        }
        DrawGlyph(*s, *image, x + positions[i] + image->left, baseline - image->top, bounds, color,
                  row);
    }

    const uint32_t ink = s->ColorToValue(color);
    const LOGFONT& lf = font.Logical();
    if (lf.lfUnderline) {
        const int64_t top = baseline + metrics.underlinePosition;
        FillBounds(*s, Intersect({x, top, x + advance, top + metrics.underlineThickness}, bounds),
                   ink);
    }
    if (lf.lfStrikeOut) {
        const int64_t top = baseline - metrics.strikeoutPosition;
        FillBounds(*s, Intersect({x, top, x + advance, top + metrics.strikeoutThickness}, bounds),
                   ink);
    }
    return true;
}

bool GetTextExtentPoint32(const DeviceContext& dc, std::string_view text, SIZE& out) {
    text::RealizedFont& face = dc.Font()->Realized();
    out.cx = face.MeasureWidth(text);
    out.cy = face.Metrics().height;
    return true;
}

bool GetTextMetrics(const DeviceContext& dc, TEXTMETRIC& out) {
    const GdiFont& font = *dc.Font();
    const text::FontMetrics& m = font.Realized().Metrics();
    const LOGFONT& lf = font.Logical();
    out = TEXTMETRIC{};
    out.tmHeight = m.height;
    out.tmAscent = m.ascent;
    out.tmDescent = m.descent;
    out.tmInternalLeading = m.internalLeading;
    out.tmExternalLeading = m.externalLeading;
    out.tmAveCharWidth = m.aveCharWidth;
    out.tmMaxCharWidth = m.maxCharWidth;
    out.tmWeight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
    out.tmItalic = lf.lfItalic ? 1 : 0;
    out.tmUnderlined = lf.lfUnderline ? 1 : 0;
    out.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    out.tmPitchAndFamily = lf.lfPitchAndFamily;
    // The default character set is realised as the ANSI one, so the far-east paths of the
    // layers above stay off.
    out.tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
    return true;
}

std::string GetTextFace(const DeviceContext& dc) {
    const GdiFont& font = *dc.Font();
    if (!font.Logical().lfFaceName.empty()) {
        return font.Logical().lfFaceName;
    }
    return font.Realized().Metrics().familyName;
}

} // namespace platform
