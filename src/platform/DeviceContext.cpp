#include "platform/DeviceContext.h"

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Screen.h"

#include <utility>

namespace platform {

DeviceContext::DeviceContext(Kind kind)
    : kind_(kind), pen_(std::static_pointer_cast<GdiPen>(StockObjectShared(BLACK_PEN))),
      brush_(std::static_pointer_cast<GdiBrush>(StockObjectShared(WHITE_BRUSH))),
      font_(std::static_pointer_cast<GdiFont>(StockObjectShared(SYSTEM_FONT))),
      palette_(DefaultPaletteShared()) {
    if (kind_ == Kind::Memory) {
        bitmap_ = StockBitmap();
    }
}

DeviceContext::~DeviceContext() {
    if (bitmap_ && bitmap_->SelectedInto() == this) {
        bitmap_->SetSelectedInto(nullptr);
    }
}

std::shared_ptr<GdiBitmap> DeviceContext::SelectBitmap(std::shared_ptr<GdiBitmap> bitmap) {
    if (kind_ != Kind::Memory || !bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bitmap == bitmap_) {
        return bitmap_;
    }
    if (!bitmap->IsStock() && bitmap->SelectedInto() != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!bitmap->IsStock()) {
        bitmap->SetSelectedInto(this);
    }
    if (bitmap_->SelectedInto() == this) {
        bitmap_->SetSelectedInto(nullptr);
    }
    std::swap(bitmap_, bitmap);
    return bitmap;
}

std::shared_ptr<GdiPen> DeviceContext::SelectPen(std::shared_ptr<GdiPen> pen) {
    std::swap(pen_, pen);
    return pen;
}

std::shared_ptr<GdiBrush> DeviceContext::SelectBrush(std::shared_ptr<GdiBrush> brush) {
    std::swap(brush_, brush);
    return brush;
}

std::shared_ptr<GdiFont> DeviceContext::SelectFont(std::shared_ptr<GdiFont> font) {
    std::swap(font_, font);
    return font;
}

std::shared_ptr<GdiPalette> DeviceContext::SelectPalette(std::shared_ptr<GdiPalette> palette) {
    std::swap(palette_, palette);
    return palette;
}

// ---- The functions of Gdi.h ---------------------------------------------------------------

DeviceContext& GetScreenDC() {
    // Never destroyed, like the stock objects selected into it (see GdiObjects.cpp).
    static auto* screen = new DeviceContext(DeviceContext::Kind::Screen);
    return *screen;
}

HDC CreateCompatibleDC(const DeviceContext* /*reference*/) {
    // Every memory context has the screen's format, so the reference changes nothing.
    return std::make_unique<DeviceContext>(DeviceContext::Kind::Memory);
}

int GetDeviceCaps(const DeviceContext& /*dc*/, int index) {
    // As on the platform, a memory context reports the capabilities of the display it is
    // compatible with, not those of the bitmap selected into it.
    const ScreenDescription& screen = Screen();
    const bool paletteDevice = screen.bitsPerPixel * screen.planes <= 8;
    switch (index) {
    case BITSPIXEL:
        return screen.bitsPerPixel;
    case PLANES:
        return screen.planes;
    case NUMCOLORS:
        return paletteDevice ? (screen.bitsPerPixel * screen.planes >= 8 ? 20 : 16) : -1;
    case RASTERCAPS:
        return paletteDevice ? RC_PALETTE : 0;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return screen.pixelsPerInch;
    case SIZEPALETTE:
        return paletteDevice ? 1 << (screen.bitsPerPixel * screen.planes) : 0;
    default:
        return 0;
    }
}

std::shared_ptr<GdiObject> SelectObject(DeviceContext& dc, GdiObject& object) {
    switch (object.Type()) {
    case ObjectType::Bitmap:
        if (auto bitmap = ShareObject(static_cast<GdiBitmap&>(object))) {
            return dc.SelectBitmap(std::move(bitmap));
        }
        break;
    case ObjectType::Pen:
        if (auto pen = ShareObject(static_cast<GdiPen&>(object))) {
            return dc.SelectPen(std::move(pen));
        }
        break;
    case ObjectType::Brush:
        if (auto brush = ShareObject(static_cast<GdiBrush&>(object))) {
            return dc.SelectBrush(std::move(brush));
        }
        break;
    case ObjectType::Font:
        if (auto font = ShareObject(static_cast<GdiFont&>(object))) {
            return dc.SelectFont(std::move(font));
        }
        break;
    case ObjectType::Palette:
        break; // SelectPalette only
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

std::shared_ptr<GdiObject> GetCurrentObject(const DeviceContext& dc, ObjectType type) {
    switch (type) {
    case ObjectType::Bitmap:
        return dc.Bitmap();
    case ObjectType::Pen:
        return dc.Pen();
    case ObjectType::Brush:
        return dc.Brush();
    case ObjectType::Font:
        return dc.Font();
    case ObjectType::Palette:
        return dc.Palette();
    }
    return nullptr;
}

std::shared_ptr<GdiPalette> SelectPalette(DeviceContext& dc, GdiPalette& palette,
                                          bool /*forceBackground*/) {
    auto shared = ShareObject(palette);
    if (!shared) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return dc.SelectPalette(std::move(shared));
}

unsigned RealizePalette(DeviceContext& dc) {
    // Colours are never remapped through a hardware palette here; a palette device reports the
    // entries it would have mapped, a true-colour device none, as the platform does.
    const ScreenDescription& screen = Screen();
    if (screen.bitsPerPixel * screen.planes > 8 || !dc.Palette()) {
        return 0;
    }
    return unsigned(dc.Palette()->Entries().size());
}

COLORREF SetTextColor(DeviceContext& dc, COLORREF color) {
    return std::exchange(dc.settings.textColor, ColorBits(color));
}
COLORREF GetTextColor(const DeviceContext& dc) {
    return dc.settings.textColor;
}
COLORREF SetBkColor(DeviceContext& dc, COLORREF color) {
    return std::exchange(dc.settings.backColor, ColorBits(color));
}
COLORREF GetBkColor(const DeviceContext& dc) {
    return dc.settings.backColor;
}

int SetBkMode(DeviceContext& dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(dc.settings.backMode, mode);
}
int GetBkMode(const DeviceContext& dc) {
    return dc.settings.backMode;
}

int SetROP2(DeviceContext& dc, int rop2) {
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(dc.settings.rop2, rop2);
}
int GetROP2(const DeviceContext& dc) {
    return dc.settings.rop2;
}

int SetStretchBltMode(DeviceContext& dc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(dc.settings.stretchMode, mode);
}
int GetStretchBltMode(const DeviceContext& dc) {
    return dc.settings.stretchMode;
}

bool SetBrushOrgEx(DeviceContext& dc, int x, int y, POINT* previous) {
    if (previous) {
        *previous = dc.settings.brushOrigin;
    }
    dc.settings.brushOrigin = POINT{x, y};
    return true;
}

bool GetBrushOrgEx(const DeviceContext& dc, POINT* origin) {
    if (!origin) {
        return false;
    }
    *origin = dc.settings.brushOrigin;
    return true;
}

bool MoveToEx(DeviceContext& dc, int x, int y, POINT* previous) {
    if (previous) {
        *previous = dc.settings.position;
    }
    dc.settings.position = POINT{x, y};
    return true;
}

bool GetCurrentPositionEx(const DeviceContext& dc, POINT* position) {
    if (!position) {
        return false;
    }
    *position = dc.settings.position;
    return true;
}

bool GetWindowOrgEx(const DeviceContext& /*dc*/, POINT* origin) {
    // No mapping modes here: the window origin is always the device origin.
    if (!origin) {
        return false;
    }
    *origin = POINT{0, 0};
    return true;
}

bool GdiFlush() {
    // Deferred copies still reading a DIB section's memory take their own pixels before that
    // memory is written directly.
    Surface::FlushSectionSnapshots();
    return true;
}

} // namespace platform
