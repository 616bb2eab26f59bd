// The raster device layer: a small stand-in for the 2-D graphics interface of the classic
// desktop platform (GDI), with its semantics kept where callers depend on them: device contexts
// with selected objects, device-dependent bitmaps and DIB sections, palettes, pens, brushes,
// fonts, the binary and ternary raster operations, and the drawing and block-copy calls.
//
// Ownership: every creation function returns a move-only owner (GdiHandle). Dropping the owner
// deletes the object, except that a device context keeps what is selected into it alive until
// it is deselected, so a selected object is never freed under a drawing call. Functions take
// plain references to objects, which do not own.
//
// Failures follow the platform: a refused call returns 0 / false / an empty handle and sets the
// last error (platform/Kernel.h); nothing here throws.
#pragma once

// The object classes are complete for every user, so that a handle's object converts to
// GdiObject& for SelectObject and an HDC can be destroyed anywhere.
#include "platform/DeviceContext.h"
#include "platform/GdiTypes.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

namespace platform {

class GdiObject;
class GdiBitmap;
class GdiPalette;
class GdiPen;
class GdiBrush;
class GdiFont;
class DeviceContext;

// Move-only owner of one platform object.
template <class T> class GdiHandle {
  public:
    GdiHandle() = default;
    explicit GdiHandle(std::shared_ptr<T> object) : object_(std::move(object)) {}
    GdiHandle(const GdiHandle&) = delete;
    GdiHandle& operator=(const GdiHandle&) = delete;
    GdiHandle(GdiHandle&&) noexcept = default;
    GdiHandle& operator=(GdiHandle&&) noexcept = default;

    T* get() const { return object_.get(); }
    T& operator*() const { return *object_; }
    T* operator->() const { return object_.get(); }
    explicit operator bool() const { return object_ != nullptr; }
    void reset() { object_.reset(); }
    // For the layer itself: a device context shares what is selected into it.
    const std::shared_ptr<T>& shared() const { return object_; }

  private:
    std::shared_ptr<T> object_;
};

using HBITMAP = GdiHandle<GdiBitmap>;
using HPALETTE = GdiHandle<GdiPalette>;
using HPEN = GdiHandle<GdiPen>;
using HBRUSH = GdiHandle<GdiBrush>;
using HFONT = GdiHandle<GdiFont>;
using HDC = std::unique_ptr<DeviceContext>;

// ---- Device contexts ----------------------------------------------------------------------

// The screen's device context: it describes the display (platform/Screen.h) and is the
// reference for compatible bitmaps and memory contexts. Drawing on it draws nothing.
DeviceContext& GetScreenDC();
// A memory device context; it starts with a 1 x 1 monochrome stock bitmap selected.
HDC CreateCompatibleDC(const DeviceContext* reference);
int GetDeviceCaps(const DeviceContext& dc, int index);

// Selecting returns the object that was selected before (shared, so it stays valid). Selecting
// a bitmap that is already selected into another device context fails (empty result). A
// palette is selected with SelectPalette only.
std::shared_ptr<GdiObject> SelectObject(DeviceContext& dc, GdiObject& object);
std::shared_ptr<GdiObject> GetCurrentObject(const DeviceContext& dc, ObjectType type);
std::shared_ptr<GdiPalette> SelectPalette(DeviceContext& dc, GdiPalette& palette,
                                          bool forceBackground);
unsigned RealizePalette(DeviceContext& dc);
// Immortal stock objects (pens, brushes, fonts, the default palette).
GdiObject& GetStockObject(int which);

COLORREF SetTextColor(DeviceContext& dc, COLORREF color);
COLORREF GetTextColor(const DeviceContext& dc);
COLORREF SetBkColor(DeviceContext& dc, COLORREF color);
COLORREF GetBkColor(const DeviceContext& dc);
int SetBkMode(DeviceContext& dc, int mode);
int GetBkMode(const DeviceContext& dc);
int SetROP2(DeviceContext& dc, int rop2);
int GetROP2(const DeviceContext& dc);
int SetStretchBltMode(DeviceContext& dc, int mode);
int GetStretchBltMode(const DeviceContext& dc);
bool SetBrushOrgEx(DeviceContext& dc, int x, int y, POINT* previous);
bool GetBrushOrgEx(const DeviceContext& dc, POINT* origin);
bool MoveToEx(DeviceContext& dc, int x, int y, POINT* previous);
bool GetCurrentPositionEx(const DeviceContext& dc, POINT* position);
bool GetWindowOrgEx(const DeviceContext& dc, POINT* origin);
// Completes pending work on DIB section memory: copies of a section that were deferred take
// pixels of their own. Call it before writing a section's memory through its pointer.
bool GdiFlush();

// ---- Bitmaps ------------------------------------------------------------------------------

// A device-dependent bitmap in the screen's format (32 bits per pixel: blue, green, red,
// unused), or monochrome when the reference is a memory context holding a monochrome bitmap.
// New pixels are black. A width or height of 0 gives the 1 x 1 monochrome stock bitmap.
HBITMAP CreateCompatibleBitmap(const DeviceContext& reference, int width, int height);
// A device-dependent bitmap; 1 plane and 1 bit gives a monochrome bitmap. bits, when given,
// holds rows of word-aligned (16-bit) width, top row first.
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitCount,
                     std::span<const uint8_t> bits = {});
// A DIB section of 1, 4, 8, 16, 24 or 32 bits per pixel, bottom-up (positive height) or top-down
// (negative height). Pixel memory is zeroed; GetObject gives its address in dsBm.bmBits.
// Compressed layouts and unsupported bit counts are refused.
HBITMAP CreateDIBSection(const DeviceContext* reference, const BITMAPINFO& info, unsigned usage);
// A device-dependent bitmap (screen format) initialised from DIB data, which may be BI_RGB,
// BI_BITFIELDS, BI_RLE8 or BI_RLE4. RLE runs and deltas are clipped to the image; pixels the
// data does not define stay colour 0 of the table. Short data leaves the rest at colour 0.
HBITMAP CreateDIBitmap(const DeviceContext& reference, const BITMAPINFO& info,
                       std::span<const uint8_t> bits, unsigned usage);

// Describes a bitmap: fills dsBm (and, for a DIB section, the rest) and returns
// kBitmapObjectSize or kDibSectionObjectSize.
int GetObject(const GdiBitmap& bitmap, DIBSECTION& out);
int GetObject(const GdiBitmap& bitmap, BITMAP& out);
// Number of entries of a palette.
int GetObject(const GdiPalette& palette, uint16_t& entries);
int GetObject(const GdiPen& pen, LOGPEN& out);
int GetObject(const GdiBrush& brush, LOGBRUSH& out);
int GetObject(const GdiFont& font, LOGFONT& out);
ObjectType GetObjectType(const GdiObject& object);

// Copies scan lines of a bitmap into DIB layout. With bits empty: when the header's bit count is
// 0 it fills the header (and for 16/32 bits the masks), else it fills the colour table; returns
// non-zero on success. Otherwise converts rows [start, start + count) of the bitmap (counted from
// the bottom for a bottom-up header) into bits in the header's format and returns rows copied.
// bits must hold count rows of the header's stride; a smaller buffer is refused.
int GetDIBits(const DeviceContext& dc, const GdiBitmap& bitmap, unsigned start, unsigned count,
              std::span<uint8_t> bits, BITMAPINFO& info, unsigned usage);
// Colour table of the DIB section selected into dc.
unsigned GetDIBColorTable(const DeviceContext& dc, unsigned start, std::span<RGBQUAD> out);
unsigned SetDIBColorTable(DeviceContext& dc, unsigned start, std::span<const RGBQUAD> colors);

// ---- Palettes -----------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE& palette);
// The halftone palette of our own: a 6 x 6 x 6 colour cube plus greys and the 20 static colours,
// 256 entries in all.
HPALETTE CreateHalftonePalette(const DeviceContext* reference);
unsigned GetPaletteEntries(const GdiPalette& palette, unsigned start, std::span<PALETTEENTRY> out);
unsigned SetPaletteEntries(GdiPalette& palette, unsigned start,
                           std::span<const PALETTEENTRY> entries);
unsigned GetNearestPaletteIndex(const GdiPalette& palette, COLORREF color);
// The shared 16-colour system palette (the VGA colours); immortal, never duplicated.
GdiPalette& SystemPalette16();

// ---- Pens, brushes, fonts -----------------------------------------------------------------

HPEN CreatePenIndirect(const LOGPEN& pen);
HBRUSH CreateBrushIndirect(const LOGBRUSH& brush);
// The pattern is the top-left 8 x 8 pixels of a copy of the bitmap.
HBRUSH CreatePatternBrush(const GdiBitmap& bitmap);
bool UnrealizeObject(GdiBrush& brush);
// Face names resolve through the font engine (platform/FontEngine.h).
HFONT CreateFontIndirect(const LOGFONT& font);
bool GetTextMetrics(const DeviceContext& dc, TEXTMETRIC& out);
std::string GetTextFace(const DeviceContext& dc);

// ---- Drawing ------------------------------------------------------------------------------
// Everything is clipped to the selected bitmap. Colours are COLORREF values; a value with the
// high byte 0xFF is not a colour here and is treated as its low 24 bits.

// Outline with the pen (right and bottom exclusive for a 1-pixel pen), interior with the brush,
// both through the ROP2 mode.
bool Rectangle(DeviceContext& dc, int left, int top, int right, int bottom);
// From the current position to (x, y), end point not drawn; the position becomes (x, y).
bool LineTo(DeviceContext& dc, int x, int y);
// The brush over [left, right) x [top, bottom), ignoring the ROP2 mode.
int FillRect(DeviceContext& dc, const RECT& rect, const GdiBrush& brush);
bool PatBlt(DeviceContext& dc, int x, int y, int width, int height, uint32_t rop);
// FLOODFILLBORDER: fill outward from (x, y) up to pixels of the colour; FLOODFILLSURFACE: fill
// the connected pixels that have the colour. Four-connected, span-based, no recursion.
bool ExtFloodFill(DeviceContext& dc, int x, int y, COLORREF color, unsigned type);
COLORREF SetPixel(DeviceContext& dc, int x, int y, COLORREF color);
COLORREF GetPixel(const DeviceContext& dc, int x, int y);

// Block copies with a ternary raster operation. Between a monochrome and a colour surface, the
// monochrome rules apply: 0 bits become the destination's text colour and 1 bits its background
// colour; colour pixels equal to the source's background colour become 1, all others 0.
bool BitBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext* src,
            int srcX, int srcY, uint32_t rop);
// COLORONCOLOR (and the other non-halftone modes) samples nearest neighbours; HALFTONE averages
// the source pixels under each destination pixel. The cost follows the destination size.
bool StretchBlt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext* src,
                int srcX, int srcY, int srcWidth, int srcHeight, uint32_t rop);
// StretchBlt that leaves the destination unchanged where the source pixel has the colour
// transparent (after the source's conversion to COLORREF).
bool TransparentStretchBlt(DeviceContext& dst, int x, int y, int width, int height,
                           const DeviceContext& src, int srcX, int srcY, int srcWidth,
                           int srcHeight, COLORREF transparent);

// Text at (x, y) = top-left of the text cell, in the text colour; with OPAQUE background mode
// or ETO_OPAQUE the cell (advance width x cell height) is first filled with the background
// colour. On true-colour surfaces glyphs are anti-aliased against the destination; on surfaces
// of 8 bits or fewer they are drawn solid. text is UTF-8.
bool ExtTextOut(DeviceContext& dc, int x, int y, unsigned options, const RECT* clip,
                std::string_view text, std::span<const int> dx = {});
// The advance width and cell height that ExtTextOut uses for the same text.
bool GetTextExtentPoint32(const DeviceContext& dc, std::string_view text, SIZE& out);

} // namespace platform
