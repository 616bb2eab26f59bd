#include "platform/GdiObjects.h"

#include "platform/Ascii.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Screen.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

constexpr std::array<PALETTEENTRY, 20> kStaticColors = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

LOGFONT SystemFontDescription() {
    LOGFONT lf;
    lf.lfHeight = -MulDiv(8, Screen().pixelsPerInch, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfFaceName = "MS Sans Serif";
    return lf;
}

template <class T> std::shared_ptr<T> MakeStock(std::shared_ptr<T> object) {
    object->MarkStock();
    return object;
}

std::shared_ptr<GdiBrush> SolidStockBrush(COLORREF color) {
    return MakeStock(std::make_shared<GdiBrush>(LOGBRUSH{BS_SOLID, color, 0}, std::nullopt));
}

std::shared_ptr<GdiPen> StockPen(uint32_t style, COLORREF color) {
    return MakeStock(std::make_shared<GdiPen>(LOGPEN{style, POINT{1, 0}, color}));
}

struct StockObjects {
    std::shared_ptr<GdiBitmap> bitmap;
    std::shared_ptr<GdiPalette> palette;
    std::shared_ptr<GdiFont> font;
    std::array<std::shared_ptr<GdiObject>, 18> table;

    StockObjects() {
        auto surface =
            Surface::Create(Surface::Layout{SurfaceKind::Monochrome,
                                            1,
                                            1,
                                            1,
                                            true,
                                            {},
                                            {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}}});
        bitmap =
            MakeStock(std::make_shared<GdiBitmap>(std::move(*surface), GdiBitmap::Storage::Device));
        palette = MakeStock(std::make_shared<GdiPalette>(
            std::vector<PALETTEENTRY>(kStaticColors.begin(), kStaticColors.end())));
        font = MakeStock(std::make_shared<GdiFont>(SystemFontDescription()));
        table[WHITE_BRUSH] = SolidStockBrush(RGB(255, 255, 255));
        table[1] = SolidStockBrush(RGB(192, 192, 192)); // light grey brush
        table[2] = SolidStockBrush(RGB(128, 128, 128)); // grey brush
        table[3] = SolidStockBrush(RGB(64, 64, 64));    // dark grey brush
        table[BLACK_BRUSH] = SolidStockBrush(RGB(0, 0, 0));
        table[NULL_BRUSH] =
            MakeStock(std::make_shared<GdiBrush>(LOGBRUSH{BS_NULL, 0, 0}, std::nullopt));
        table[WHITE_PEN] = StockPen(PS_SOLID, RGB(255, 255, 255));
        table[BLACK_PEN] = StockPen(PS_SOLID, RGB(0, 0, 0));
        table[NULL_PEN] = StockPen(PS_NULL, RGB(0, 0, 0));
        // The platform's other stock fonts (fixed, OEM, device) all resolve to the system font
        // here: the program asks for none of them by its metrics.
        for (int i = 10; i <= 17; ++i) {
            table[size_t(i)] = font;
        }
        table[DEFAULT_PALETTE] = palette;
    }
};

// Made on first use and never destroyed: graphics objects in static storage release their
// selections into the stock objects when they are destroyed at exit, whenever that is.
StockObjects& Stock() {
    static auto* stock = new StockObjects();
    return *stock;
}

// Face names hold at most 31 bytes; a cut never splits a UTF-8 sequence.
std::string LimitFaceName(const std::string& name) {
    return name.substr(0, Utf8CutLength(name, LF_FACESIZE - 1));
}

} // namespace

std::span<const PALETTEENTRY> StaticColors() {
    return kStaticColors;
}

std::shared_ptr<GdiBitmap> StockBitmap() {
    return Stock().bitmap;
}

std::shared_ptr<GdiPalette> DefaultPaletteShared() {
    return Stock().palette;
}

std::shared_ptr<GdiObject> StockObjectShared(int which) {
    auto& table = Stock().table;
    if (which < 0 || size_t(which) >= table.size() || !table[size_t(which)]) {
        return nullptr;
    }
    return table[size_t(which)];
}

GdiObject& GetStockObject(int which) {
    if (auto object = StockObjectShared(which)) {
        return *object;
    }
    // An unknown index has no object of its own; the null brush is the harmless answer.
    SetLastError(ERROR_INVALID_PARAMETER);
    return *Stock().table[NULL_BRUSH];
}

text::RealizedFont& GdiFont::Realized() const {
    std::call_once(realizeOnce_, [this] { realized_ = text::RealizedFont::Get(font_); });
    return *realized_;
}

HPEN CreatePenIndirect(const LOGPEN& pen) {
    if (pen.lopnStyle > PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    LOGPEN stored = pen;
    stored.lopnColor = ColorBits(pen.lopnColor);
    stored.lopnWidth.x = std::max(stored.lopnWidth.x, 0);
    stored.lopnWidth.y = 0;
    return HPEN(std::make_shared<GdiPen>(stored));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& brush) {
    LOGBRUSH stored = brush;
    stored.lbColor = ColorBits(brush.lbColor);
    switch (brush.lbStyle) {
    case BS_SOLID:
    case BS_NULL:
        stored.lbHatch = 0;
        break;
    case BS_HATCHED:
        if (brush.lbHatch > HS_DIAGCROSS) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return {};
        }
        break;
    default:
        // Pattern brushes come from CreatePatternBrush: a LOGBRUSH cannot name a bitmap here.
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return HBRUSH(std::make_shared<GdiBrush>(stored, std::nullopt));
}

HBRUSH CreatePatternBrush(const GdiBitmap& bitmap) {
    const Surface& s = bitmap.Pixels();
    BrushPattern pattern;
    pattern.monochrome = s.IsMonochromeDevice();
    // A bitmap smaller than the pattern repeats.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const uint32_t v = s.ReadValue(x % s.Width(), y % s.Height());
            pattern.bits[size_t(y * 8 + x)] = uint8_t(v & 1);
            pattern.colors[size_t(y * 8 + x)] = s.ValueToColor(v);
        }
    }
    return HBRUSH(std::make_shared<GdiBrush>(LOGBRUSH{BS_PATTERN, 0, 0}, pattern));
}

bool UnrealizeObject(GdiBrush& /*brush*/) {
    // Brushes are aligned to the device context's origin at every use; nothing is cached.
    return true;
}

HFONT CreateFontIndirect(const LOGFONT& font) {
    LOGFONT stored = font;
    stored.lfFaceName = LimitFaceName(font.lfFaceName);
    return HFONT(std::make_shared<GdiFont>(stored));
}

int GetObject(const GdiPalette& palette, uint16_t& entries) {
    entries = uint16_t(palette.Entries().size());
    return int(sizeof(uint16_t));
}

int GetObject(const GdiPen& pen, LOGPEN& out) {
    out = pen.Logical();
    return 16; // the platform's LOGPEN size
}

int GetObject(const GdiBrush& brush, LOGBRUSH& out) {
    out = brush.Logical();
    return 12; // the platform's LOGBRUSH size
}

int GetObject(const GdiFont& font, LOGFONT& out) {
    out = font.Logical();
    return 60; // the platform's LOGFONTA size
}

ObjectType GetObjectType(const GdiObject& object) {
    return object.Type();
}

} // namespace platform
