// A device context: the selected objects and drawing settings through which the calls of Gdi.h
// reach a surface. Internal to the raster device layer.
#pragma once

#include "platform/GdiObjects.h"

#include <memory>

namespace platform {

struct DcSettings {
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backColor = RGB(255, 255, 255);
    int backMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    POINT brushOrigin;
    POINT position;
};

class DeviceContext {
  public:
    enum class Kind { Screen, Memory };

    explicit DeviceContext(Kind kind);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    Kind GetKind() const { return kind_; }
    // The surface drawing goes to; null for the screen, which draws nothing.
    Surface* Target() { return bitmap_ ? &bitmap_->Pixels() : nullptr; }
    const Surface* Target() const { return bitmap_ ? &bitmap_->Pixels() : nullptr; }

    const std::shared_ptr<GdiBitmap>& Bitmap() const { return bitmap_; }
    const std::shared_ptr<GdiPen>& Pen() const { return pen_; }
    const std::shared_ptr<GdiBrush>& Brush() const { return brush_; }
    const std::shared_ptr<GdiFont>& Font() const { return font_; }
    const std::shared_ptr<GdiPalette>& Palette() const { return palette_; }

    // Each returns the previous object; SelectBitmap fails (null) for a bitmap that another
    // device context holds, and on the screen.
    std::shared_ptr<GdiBitmap> SelectBitmap(std::shared_ptr<GdiBitmap> bitmap);
    std::shared_ptr<GdiPen> SelectPen(std::shared_ptr<GdiPen> pen);
    std::shared_ptr<GdiBrush> SelectBrush(std::shared_ptr<GdiBrush> brush);
    std::shared_ptr<GdiFont> SelectFont(std::shared_ptr<GdiFont> font);
    std::shared_ptr<GdiPalette> SelectPalette(std::shared_ptr<GdiPalette> palette);

    DcSettings settings;

  private:
    Kind kind_;
    std::shared_ptr<GdiBitmap> bitmap_;
    std::shared_ptr<GdiPen> pen_;
    std::shared_ptr<GdiBrush> brush_;
    std::shared_ptr<GdiFont> font_;
    std::shared_ptr<GdiPalette> palette_;
};

} // namespace platform
