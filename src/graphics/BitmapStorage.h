// Shared by the bitmap's rooms (Bitmap, BitmapCopy, BitmapCanvas, BitmapHandOver, BmpWriter):
// the image lock, memory contexts, scoped selections and colour tables. Not for other modules.
#pragma once

#include "graphics/Exceptions.h"
#include "platform/DeviceContext.h" // complete object types for selection and HDC owners
#include "platform/Gdi.h"

#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace graphics::storage {

// The platform names every room uses, brought in with `using namespace storage`.
using platform::DIBSECTION;
using platform::GdiBitmap;
using platform::GdiPalette;
using platform::HBITMAP;
using platform::HDC;
using platform::HPALETTE;
using platform::RGBQUAD;

// Taking and releasing references to shared images happens under this lock.
std::mutex& ImageLock();

platform::HDC NewMemoryDC();

int ScreenBits();

// The colour table of a DIB section, or as the platform reports it for a device-dependent
// bitmap, at the given bit count.
std::vector<platform::RGBQUAD> ReadColorTable(platform::GdiBitmap& bitmap, bool isDibSection,
                                              int bitCount);

std::vector<platform::RGBQUAD> PaletteTable(platform::GdiPalette& palette, size_t limit);

platform::HPALETTE PaletteFromTable(std::span<const platform::RGBQUAD> table);

// Selects a bitmap into a memory context for the length of a scope, and the old one back.
class BitmapSelection {
  public:
    BitmapSelection(platform::DeviceContext& dc, GdiBitmap& bitmap) : dc_(dc) {
        previous_ = platform::SelectObject(dc_, bitmap);
        // A bitmap held by another context cannot be selected.
        if (!previous_)
            RaiseOutOfResources();
    }
    ~BitmapSelection() { platform::SelectObject(dc_, *previous_); }
    BitmapSelection(const BitmapSelection&) = delete;
    BitmapSelection& operator=(const BitmapSelection&) = delete;

  private:
    platform::DeviceContext& dc_;
    std::shared_ptr<platform::GdiObject> previous_;
};

class PaletteSelection {
  public:
    PaletteSelection(platform::DeviceContext& dc, GdiPalette* palette, bool background)
        : dc_(dc), background_(background) {
        if (palette == nullptr)
            return;
        previous_ = platform::SelectPalette(dc_, *palette, background);
        platform::RealizePalette(dc_);
    }
    ~PaletteSelection() {
        if (previous_)
            platform::SelectPalette(dc_, *previous_, background_);
    }
    PaletteSelection(const PaletteSelection&) = delete;
    PaletteSelection& operator=(const PaletteSelection&) = delete;

  private:
    platform::DeviceContext& dc_;
    bool background_;
    std::shared_ptr<GdiPalette> previous_;
};

} // namespace graphics::storage
