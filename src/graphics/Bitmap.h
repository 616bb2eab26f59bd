// TBitmap: the raster image. A bitmap keeps its pixels in a platform bitmap held by a shared
// image record: assignment shares the record (a reference count, no pixel copy) and the first
// drawing on a shared record makes one private copy (copy on write). Resizing and format
// changes copy into new storage. The bitmap's canvas draws on its pixels.
#pragma once

#include "graphics/BitmapParts.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Graphic.h"
#include "graphics/Stream.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace graphics {

class TBitmap;

enum TPixelFormat : uint8_t {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

// Device-independent (a DIB section with its own bit count and colour table) or
// device-dependent (the screen's own format, or monochrome).
enum TStorageKind : uint8_t { bmDIB, bmDDB };

enum TTransparentMode : uint8_t { tmAuto, tmFixed };

// The image record that bitmaps share. Its platform objects are deleted with the record, when
// the last bitmap using it lets go.
class TBitmapImage {
  public:
    TBitmapImage() = default;
    TBitmapImage(const TBitmapImage&) = delete;
    TBitmapImage& operator=(const TBitmapImage&) = delete;

    // The platform bitmap holding the pixels; none for an empty image.
    platform::HBITMAP handle;
    // Monochrome mask for transparent drawing, made on demand.
    platform::HBITMAP mask;
    // The logical palette, or none. The shared 16-colour system palette is referenced, never
    // owned: see Palette().
    platform::HPALETTE ownedPalette;
    bool usesSystemPalette = false;
    // The 84-byte description: the BITMAP part, the information header, masks, section, offset.
    platform::DIBSECTION description{};
    // The file bytes of a BMP with compressed pixels, as read; dropped at the first change.
    std::unique_ptr<TMemoryStream> saveStream;
    // Read from a BMP with the 12-byte core header.
    bool os2Format = false;
    // A halftone palette was made for this image.
    bool halftone = false;

    platform::GdiPalette* Palette() const;
    bool IsDibSection() const { return handle && description.dsBm.bmBits != nullptr; }
    // Device-independent when the storage is a DIB section, or when there is no storage and the
    // header size is non-zero.
    TStorageKind Kind() const;
};

// The canvas of a bitmap. Before each drawing operation it gives its bitmap the chance to make
// a private copy of shared pixels, and after it reports the change.
class TBitmapCanvas : public TCanvas {
  public:
    explicit TBitmapCanvas(TBitmap& bitmap);
    ~TBitmapCanvas() override;

    std::string_view ClassName() const override { return "TBitmapCanvas"; }
    void NotifyChanging() override;
    void NotifyChanged() override;
    // Selects the old objects back, deletes the device context and unregisters; the next
    // operation makes a new one.
    void ReleaseHandle();
    // The storage selected into this canvas's context, if any (identity only).
    const platform::GdiBitmap* SelectedStorage() const { return selected_; }

    // Releases every bitmap canvas of the process whose context has storage selected.
    static void ReleaseCanvasesUsing(const platform::GdiBitmap* storage);

  protected:
    void CreateHandle() override;

  private:
    TBitmap& bitmap_;
    platform::HDC memoryDc_;
    std::shared_ptr<platform::GdiObject> previousBitmap_;
    std::shared_ptr<platform::GdiPalette> previousPalette_;
    const platform::GdiBitmap* selected_ = nullptr;
};

class TBitmap : public TGraphic {
  public:
    TBitmap();
    ~TBitmap() override;

    static const TGraphicClass& Class();
    const TGraphicClass& ClassType() const override { return Class(); }

    // ---- Assignment. A bitmap (or derived) source shares its image; null empties this bitmap;
    // anything else is left to the source's CopyInto (the clipboard knows bitmaps).
    void CopyFrom(const TPersistent* source) override;

    // ---- TGraphic.
    void DrawGraphic(TCanvas& target, const platform::RECT& rect) override;
    bool IsEmpty() const override;
    int Width() const override;
    int Height() const override;
    void ResizeWidth(int width) override;
    void ResizeHeight(int height) override;
    platform::GdiPalette* PaletteOf() const override;
    void ReplacePalette(platform::HPALETTE palette) override {
        SetPaletteHandle(std::move(palette));
    }
    void SetTransparency(bool transparent) override;
    // BMP file reading; see graphics/BmpReader.h.
    void LoadFromStream(TStream& stream) override;
    // A BMP file: the save stream when the image still has one, else the pixels as a DIB.
    void SaveToStream(TStream& stream) override;
    // Only CF_BITMAP with data; anything else raises EInvalidGraphic "Unsupported clipboard
    // format" and leaves the bitmap unchanged. data and palette remain the caller's.
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    using TGraphic::ImportClipboardData;
    // CF_BITMAP with a device-dependent copy of the pixels and a copy of the palette (or none).
    THandOverValues ExportClipboardData() override;

    // ---- Bitmap.
    TCanvas& Canvas();
    bool HasCanvas() const { return canvas_ != nullptr; }
    // Both sizes with one copy of the storage.
    void SetSize(int width, int height);
    bool IsMonochrome() const;

    // The platform bitmap after the changing step (the caller may draw on it): the bitmap
    // keeps ownership. Null for an empty bitmap.
    virtual platform::GdiBitmap* HandleOf();
    // Takes ownership of handle; the current palette stays.
    void SetBitmapHandle(platform::HBITMAP handle);
    virtual platform::GdiBitmap* MaskHandleOf();
    platform::GdiPalette* PaletteHandle();
    // Takes ownership of palette (none deletes the palette of an unshared image).
    void SetPaletteHandle(platform::HPALETTE palette);

    TStorageKind StorageKind() const;
    virtual void ChangeStorageKind(TStorageKind kind);
    TPixelFormat PixelFormat() const;
    // pfCustom raises EInvalidGraphic "Invalid pixel format".
    void SetPixelFormat(TPixelFormat format);
    // The bytes of a pixel row counted from the top, after the changing step; rows are padded
    // to 32 bits. Raises EInvalidGraphicOperation "Scan line index out of range".
    std::span<uint8_t> RowAddress(int row);

    // The colour transparent drawing leaves out: fixed, or in automatic mode the bottom-left
    // pixel (white for a monochrome bitmap).
    TColor TransparentColor();
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);
    bool IgnorePalette() const { return ignorePalette_; }
    void SetIgnorePalette(bool ignore) { ignorePalette_ = ignore; }

    // ---- Inspection.
    const TBitmapImage& Image() const { return *image_; }
    long ImageReferenceCount() const { return image_.use_count(); }
    bool SharesImageWith(const TBitmap& other) const { return image_ == other.image_; }
    const platform::DIBSECTION& Description() const { return image_->description; }

    // Makes the storage ready: an image with only a save stream is loaded again from it.
    void MakeStorageReady();

  private:
    friend class TBitmapCanvas;
    friend void InstallImage(TBitmap& bitmap, TNewBitmapImage parts);

    // Reads a BMP file of size bytes from the stream's position (size 0 empties the bitmap).
    void ReadBmp(TStream& stream, int64_t size);
    // See graphics/BitmapParts.h.
    void InstallParts(TNewBitmapImage parts);
    // A new empty (0 x 0) image, without notification.
    void MakeEmptyImage();

    // The changing step before drawing: a shared image gets a private copy.
    void Changing();
    // Whether the canvas's colours take part in a storage copy: they fill, colour monochrome
    // pixels and give a one-bit section its table when the storage changes shape or kind, but
    // a private copy of a shared image is the same picture and keeps its own colours.
    enum class TCopyColours { FromCanvas, OwnOnly };
    // Replaces the storage by a copy with description, using a copy of palette (the shared
    // system palette is referenced, not copied).
    void CopyImage(const platform::DIBSECTION& description, platform::GdiPalette* palette,
                   TCopyColours colours = TCopyColours::FromCanvas);
    // The same with a palette the bitmap takes over.
    void ReplaceStorage(const platform::DIBSECTION& description, platform::HPALETTE palette,
                        bool systemPalette, TCopyColours colours = TCopyColours::FromCanvas);
    // The same with the pixels taken from source (drawn with sourcePalette) instead.
    void ReplaceStorageFrom(platform::GdiBitmap* source, platform::GdiPalette* sourcePalette,
                            const platform::DIBSECTION& description, platform::HPALETTE palette,
                            bool systemPalette, TCopyColours colours = TCopyColours::FromCanvas);
    void ChangeSize(std::optional<int> width, std::optional<int> height);
    void MakePaletteReady();
    void InstallRecord(std::shared_ptr<TBitmapImage> image);
    void DropCanvasContext();

    std::shared_ptr<TBitmapImage> image_;
    std::unique_ptr<TBitmapCanvas> canvas_;
    TColor transparentColor_ = clDefault;
    TTransparentMode transparentMode_ = tmAuto;
    bool ignorePalette_ = false;
};

// The copy routine of the storage: new storage of the target description (DIB section for a
// header size of 40 or more, device-dependent below), filled with the canvas's brush (or white
// without canvas) and overwritten by the part of the old storage that fits. Returns none for an
// empty size; the description is updated to that of the new storage.
platform::HBITMAP CopyBitmapStorage(platform::GdiBitmap* oldStorage,
                                    platform::GdiPalette* oldPalette,
                                    platform::GdiPalette* newPalette,
                                    platform::DIBSECTION& description, TCanvas* canvas);

// A duplicate of palette, entry by entry; none for none. (The shared 16-colour system palette
// is never duplicated: images reference it, see TBitmapImage::usesSystemPalette.)
platform::HPALETTE CopyPalette(platform::GdiPalette* palette);

// Bytes per row of a DIB of width and bit count: padded to 32 bits.
int64_t DibRowBytes(int64_t width, int bitCount);

} // namespace graphics
