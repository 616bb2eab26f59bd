// The device objects behind the handles of Gdi.h. Gdi.h includes this header so that handles
// convert to GdiObject& for SelectObject; the layers above use only what Gdi.h declares.
#pragma once

#include "platform/FontEngine.h"
#include "platform/GdiTypes.h"
#include "platform/Surface.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

class DeviceContext;

class GdiObject : public std::enable_shared_from_this<GdiObject> {
  public:
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    virtual ~GdiObject() = default;
    virtual ObjectType Type() const = 0;
    // Stock objects are shared by every device context and never deleted.
    bool IsStock() const { return stock_; }
    void MarkStock() { stock_ = true; }

  protected:
    GdiObject() = default;

  private:
    bool stock_ = false;
};

class GdiBitmap final : public GdiObject {
  public:
    enum class Storage { Device, Section };

    GdiBitmap(Surface surface, Storage storage, const BITMAPINFOHEADER& sectionHeader = {})
        : surface_(std::move(surface)), storage_(storage), header_(sectionHeader) {}
    ObjectType Type() const override { return ObjectType::Bitmap; }

    Surface& Pixels() { return surface_; }
    const Surface& Pixels() const { return surface_; }
    bool IsSection() const { return storage_ == Storage::Section; }
    // The header the section was made from (size 40, height sign kept).
    const BITMAPINFOHEADER& SectionHeader() const { return header_; }

    // A bitmap is selected into at most one device context (the stock bitmap excepted).
    const DeviceContext* SelectedInto() const { return selectedInto_; }
    void SetSelectedInto(const DeviceContext* dc) { selectedInto_ = dc; }

  private:
    Surface surface_;
    Storage storage_;
    BITMAPINFOHEADER header_;
    const DeviceContext* selectedInto_ = nullptr;
};

class GdiPalette final : public GdiObject {
  public:
    explicit GdiPalette(std::vector<PALETTEENTRY> entries) : entries_(std::move(entries)) {}
    ObjectType Type() const override { return ObjectType::Palette; }
    std::vector<PALETTEENTRY>& Entries() { return entries_; }
    const std::vector<PALETTEENTRY>& Entries() const { return entries_; }

  private:
    std::vector<PALETTEENTRY> entries_;
};

class GdiPen final : public GdiObject {
  public:
    explicit GdiPen(const LOGPEN& pen) : pen_(pen) {}
    ObjectType Type() const override { return ObjectType::Pen; }
    const LOGPEN& Logical() const { return pen_; }
    // Widths below 1 draw 1 pixel wide.
    int Width() const { return pen_.lopnWidth.x < 1 ? 1 : pen_.lopnWidth.x; }

  private:
    LOGPEN pen_;
};

// An 8 x 8 brush pattern. A monochrome pattern takes the device context's text colour for 0 bits
// and its background colour for 1 bits at drawing time; a colour pattern keeps its colours.
struct BrushPattern {
    bool monochrome = false;
    std::array<COLORREF, 64> colors{};
    std::array<uint8_t, 64> bits{};
};

class GdiBrush final : public GdiObject {
  public:
    GdiBrush(const LOGBRUSH& brush, std::optional<BrushPattern> pattern)
        : brush_(brush), pattern_(std::move(pattern)) {}
    ObjectType Type() const override { return ObjectType::Brush; }
    const LOGBRUSH& Logical() const { return brush_; }
    const BrushPattern* Pattern() const { return pattern_ ? &*pattern_ : nullptr; }

  private:
    LOGBRUSH brush_;
    std::optional<BrushPattern> pattern_;
};

class GdiFont final : public GdiObject {
  public:
    explicit GdiFont(const LOGFONT& font) : font_(font) {}
    ObjectType Type() const override { return ObjectType::Font; }
    const LOGFONT& Logical() const { return font_; }
    // The glyph engine's face, realised at first use so that creating fonts stays cheap. A font
    // may be selected into contexts on several threads (stock fonts, shared tool fonts), so
    // the first use is made once for all of them.
    text::RealizedFont& Realized() const;

  private:
    LOGFONT font_;
    mutable std::once_flag realizeOnce_;
    mutable std::shared_ptr<text::RealizedFont> realized_;
};

// Stock objects, shared and immortal.
std::shared_ptr<GdiBitmap> StockBitmap();
std::shared_ptr<GdiObject> StockObjectShared(int which);
std::shared_ptr<GdiPalette> DefaultPaletteShared();

// Shares an object the layer created; null for an object that no handle owns.
template <class T> std::shared_ptr<T> ShareObject(T& object) {
    return std::static_pointer_cast<T>(object.weak_from_this().lock());
}

// The 20 colours every palette device reserves, in their usual order (first ten, last ten).
std::span<const PALETTEENTRY> StaticColors();
// The 16 VGA colours of SystemPalette16, and the 256 entries of the halftone palette.
std::span<const PALETTEENTRY> VgaColors();
std::span<const PALETTEENTRY> HalftoneColors();

} // namespace platform
