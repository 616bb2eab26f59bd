// The drawing tools of a canvas: font, pen and brush. Each keeps its value in a small record;
// tools whose records are equal share one device object from a reference-counted cache, made at
// the first request for a handle and deleted when the last user lets go.
#pragma once

#include "graphics/Color.h"
#include "graphics/Persistent.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace graphics {

class TBitmap;

// Common base of the tools: a change notification and the lock of the owning canvas.
class TGraphicsObject : public TPersistent {
  public:
    std::string_view ClassName() const override { return "TGraphicsObject"; }

    // Fired after every effective change of a value. The owning canvas uses it to deselect the
    // tool, so a canvas's own tools should not be given another handler.
    std::function<void(TGraphicsObject&)> OnChange;

    // The owning canvas's lock, taken around changes; none for a free-standing tool.
    void SetOwnerLock(std::recursive_mutex* lock) { ownerLock_ = lock; }

  protected:
    void Changed();
    // Holds the owner's lock (if any) for the lifetime of the guard.
    class ChangeGuard {
      public:
        explicit ChangeGuard(const TGraphicsObject& object);
        ~ChangeGuard();
        ChangeGuard(const ChangeGuard&) = delete;
        ChangeGuard& operator=(const ChangeGuard&) = delete;

      private:
        std::recursive_mutex* lock_;
    };

  private:
    std::recursive_mutex* ownerLock_ = nullptr;
};

// ---- Font -------------------------------------------------------------------------------------

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles (bits 0-3).
class TFontStyles {
  public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
        for (TFontStyle s : styles)
            bits_ |= uint8_t(1u << s);
    }
    static constexpr TFontStyles FromBits(uint8_t bits) {
        TFontStyles s;
        s.bits_ = bits & 0x0F;
        return s;
    }
    constexpr bool Contains(TFontStyle s) const { return (bits_ >> s) & 1u; }
    constexpr TFontStyles With(TFontStyle s) const { return FromBits(bits_ | uint8_t(1u << s)); }
    constexpr TFontStyles Without(TFontStyle s) const {
        return FromBits(bits_ & uint8_t(~(1u << s)));
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr uint8_t Bits() const { return bits_; }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

  private:
    uint8_t bits_ = 0;
};

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// The value of a font that decides its device object (the colour is not part of it).
struct TFontRecord {
    int32_t height = 0;
    TFontPitch pitch = fpDefault;
    TFontStyles style;
    uint8_t charset = platform::DEFAULT_CHARSET;
    std::string name;
    friend bool operator==(const TFontRecord&, const TFontRecord&) = default;
};

// The default font description, computed once from the screen: "MS Sans Serif", height
// -MulDiv(8, LOGPIXELSY, 72), no style, DEFAULT_CHARSET, default pitch.
const TFontRecord& DefaultFontRecord();
// The screen's vertical resolution, read once.
int ScreenPixelsPerInch();

// Longest prefix of name of at most 31 bytes that does not end inside a UTF-8 sequence.
std::string CutFontName(std::string_view name);

class TFont : public TGraphicsObject {
  public:
    TFont();
    ~TFont() override;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    std::string_view ClassName() const override { return "TFont"; }
    // Copies name, height, pitch, style, charset and colour; when the resolutions differ, then
    // sets Size to the source's size so the point size survives.
    void CopyFrom(const TPersistent* source) override;

    const std::string& Name() const;
    // Cut to 31 bytes (never inside a UTF-8 sequence); an empty name is ignored.
    void SetName(std::string_view name);
    int32_t Height() const;
    void SetHeight(int32_t height);
    // Points: -MulDiv(Height, 72, PixelsPerInch).
    int32_t Size() const;
    // Stores -MulDiv(size, PixelsPerInch, 72) in Height.
    void SetSize(int32_t size);
    int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int32_t ppi) { pixelsPerInch_ = ppi; }
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    uint8_t Charset() const;
    void SetCharset(uint8_t charset);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch pitch);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    const TFontRecord& Record() const;
    // The shared device object; created on first request.
    platform::GdiFont& Handle();
    // The LOGFONT that Handle is made from.
    platform::LOGFONT LogFont() const;

    struct Resource;

  private:
    void SetRecord(TFontRecord record);

    std::shared_ptr<Resource> resource_;
    TColor color_;
    int32_t pixelsPerInch_;
};

// ---- Pen --------------------------------------------------------------------------------------

enum TPenStyle : uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};

enum TPenMode : uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};

// The binary raster operation (R2_...) of a pen mode.
int PenModeToRop2(TPenMode mode);
uint32_t PenStyleToDevice(TPenStyle style);

struct TPenRecord {
    TColor color = clBlack;
    int32_t width = 1;
    TPenStyle style = psSolid;
    friend bool operator==(const TPenRecord&, const TPenRecord&) = default;
};

class TPen : public TGraphicsObject {
  public:
    TPen();
    ~TPen() override;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    std::string_view ClassName() const override { return "TPen"; }
    // Copies colour, width, style and mode.
    void CopyFrom(const TPersistent* source) override;

    TColor Color() const;
    void SetColor(TColor color);
    int32_t Width() const;
    // A negative width is ignored.
    void SetWidth(int32_t width);
    TPenStyle Style() const;
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);

    const TPenRecord& Record() const;
    platform::GdiPen& Handle();

    struct Resource;

  private:
    void SetRecord(const TPenRecord& record);

    std::shared_ptr<Resource> resource_;
    TPenMode mode_ = pmCopy;
};

// ---- Brush ------------------------------------------------------------------------------------

enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

struct TBrushRecord {
    TColor color = clWhite;
    TBrushStyle style = bsSolid;
    TBitmap* bitmap = nullptr; // pattern, not owned
    friend bool operator==(const TBrushRecord&, const TBrushRecord&) = default;
};

class TBrush : public TGraphicsObject {
  public:
    TBrush();
    ~TBrush() override;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    std::string_view ClassName() const override { return "TBrush"; }
    // Copies colour, style and pattern bitmap.
    void CopyFrom(const TPersistent* source) override;

    TColor Color() const;
    // While the style is bsClear this also makes it bsSolid.
    void SetColor(TColor color);
    TBrushStyle Style() const;
    // bsClear also sets the colour to clWhite.
    void SetStyle(TBrushStyle style);
    // Pattern bitmap, not owned: it must outlive the brush's use of it.
    TBitmap* Bitmap() const;
    void SetBitmap(TBitmap* bitmap);

    const TBrushRecord& Record() const;
    platform::GdiBrush& Handle();

    struct Resource;

  private:
    void SetRecord(const TBrushRecord& record);

    std::shared_ptr<Resource> resource_;
};

// The storage a pattern brush is made from: the bitmap turned device-dependent first, as pattern
// brushes are; null for an empty bitmap. Defined with the bitmap, so that the tools need not
// include it.
platform::GdiBitmap* PatternStorageOf(TBitmap& bitmap);

// Diagnostics for tests: live entries of the shared pen cache.
size_t PenCacheSize();

} // namespace graphics
