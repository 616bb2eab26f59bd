#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

constexpr std::array<PALETTEENTRY, 16> kVga = {{
    {0, 0, 0, 0},       // black
    {128, 0, 0, 0},     // maroon
    {0, 128, 0, 0},     // green
    {128, 128, 0, 0},   // olive
    {0, 0, 128, 0},     // navy
    {128, 0, 128, 0},   // purple
    {0, 128, 128, 0},   // teal
    {192, 192, 192, 0}, // silver
    {128, 128, 128, 0}, // grey
    {255, 0, 0, 0},     // red
    {0, 255, 0, 0},     // lime
    {255, 255, 0, 0},   // yellow
    {0, 0, 255, 0},     // blue
    {255, 0, 255, 0},   // fuchsia
    {0, 255, 255, 0},   // aqua
    {255, 255, 255, 0}, // white
}};

// Our halftone palette: the first ten static colours, the 6 x 6 x 6 cube (levels 0, 51, ...,
// 255; index 10 + 36r + 6g + b), 20 greys between the cube's own greys, the last ten static
// colours. Matching through it is then close for any colour and exact for the static ones.
std::array<PALETTEENTRY, 256> MakeHalftone() {
    std::array<PALETTEENTRY, 256> entries{};
    const auto statics = StaticColors();
    size_t n = 0;
    for (size_t i = 0; i < 10; ++i) {
        entries[n++] = statics[i];
    }
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                entries[n++] = PALETTEENTRY{uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51), 0};
            }
        }
    }
    for (int k = 1; k <= 20; ++k) {
        const auto level = uint8_t((255 * k + 10) / 21);
        entries[n++] = PALETTEENTRY{level, level, level, 0};
    }
    for (size_t i = 10; i < 20; ++i) {
        entries[n++] = statics[i];
    }
    return entries;
}

GdiPalette& MakeImmortal(std::shared_ptr<GdiPalette>& holder) {
    holder->MarkStock();
    return *holder;
}

} // namespace

std::span<const PALETTEENTRY> VgaColors() {
    return kVga;
}

std::span<const PALETTEENTRY> HalftoneColors() {
    static const std::array<PALETTEENTRY, 256> entries = MakeHalftone();
    return entries;
}

HPALETTE CreatePalette(const LOGPALETTE& palette) {
    // The platform's palettes hold at most 1024 entries, and never none.
    if (palette.palVersion != 0x300 || palette.palPalEntry.empty() ||
        palette.palPalEntry.size() > 1024) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return HPALETTE(std::make_shared<GdiPalette>(palette.palPalEntry));
}

HPALETTE CreateHalftonePalette(const DeviceContext* /*reference*/) {
    const auto entries = HalftoneColors();
    return HPALETTE(
        std::make_shared<GdiPalette>(std::vector<PALETTEENTRY>(entries.begin(), entries.end())));
}

unsigned GetPaletteEntries(const GdiPalette& palette, unsigned start, std::span<PALETTEENTRY> out) {
    const auto& entries = palette.Entries();
    if (out.empty()) {
        return unsigned(entries.size()); // the platform's way to ask for the count
    }
    if (start >= entries.size()) {
        return 0;
    }
    const size_t n = std::min(out.size(), entries.size() - start);
    std::copy_n(entries.begin() + start, n, out.begin());
    return unsigned(n);
}

unsigned SetPaletteEntries(GdiPalette& palette, unsigned start,
                           std::span<const PALETTEENTRY> entries) {
    if (palette.IsStock()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0; // shared palettes never change under their users
    }
    auto& stored = palette.Entries();
    if (start >= stored.size()) {
        return 0;
    }
    const size_t n = std::min(entries.size(), stored.size() - start);
    std::copy_n(entries.begin(), n, stored.begin() + start);
    return unsigned(n);
}

unsigned GetNearestPaletteIndex(const GdiPalette& palette, COLORREF color) {
    const auto& entries = palette.Entries();
    if (entries.empty()) {
        return CLR_INVALID;
    }
    color = ColorBits(color);
    unsigned best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int dr = entries[i].peRed - GetRValue(color);
        const int dg = entries[i].peGreen - GetGValue(color);
        const int db = entries[i].peBlue - GetBValue(color);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = unsigned(i);
        }
    }
    return best;
}

GdiPalette& SystemPalette16() {
    // Never destroyed: images in static storage still reference it at exit.
    static auto* palette = new std::shared_ptr<GdiPalette>(
        std::make_shared<GdiPalette>(std::vector<PALETTEENTRY>(kVga.begin(), kVga.end())));
    static GdiPalette& immortal = MakeImmortal(*palette);
    return immortal;
}

} // namespace platform
