// TBitmap itself: sharing, copy on write, size, palette, storage kind, pixel format, drawing.
#include "graphics/Bitmap.h"

#include "graphics/BitmapStorage.h"
#include "graphics/BmpReader.h"
#include "platform/Screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace graphics {

using namespace storage;

// ---- TBitmap: basics ---------------------------------------------------------------------------

const TGraphicClass& TBitmap::Class() {
    static const TGraphicClass cls{
        "TBitmap", &TGraphic::Class(),
        []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBitmap>(); }};
    return cls;
}

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() {
    // The canvas lets go of the storage before the image may be deleted.
    canvas_.reset();
}

bool TBitmap::IsEmpty() const {
    return !image_->handle && !image_->saveStream;
}

int TBitmap::Width() const {
    return image_->description.dsBm.bmWidth;
}

int TBitmap::Height() const {
    return std::abs(image_->description.dsBm.bmHeight);
}

bool TBitmap::IsMonochrome() const {
    const auto& bm = image_->description.dsBm;
    return bm.bmPlanes == 1 && bm.bmBitsPixel == 1;
}

GdiPalette* TBitmap::PaletteOf() const {
    return image_->Palette();
}

TStorageKind TBitmap::StorageKind() const {
    return image_->Kind();
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_)
        canvas_ = std::make_unique<TBitmapCanvas>(*this);
    return *canvas_;
}

void TBitmap::DropCanvasContext() {
    if (canvas_)
        canvas_->ReleaseHandle();
}

void TBitmap::InstallRecord(std::shared_ptr<TBitmapImage> image) {
    {
        std::lock_guard lock(ImageLock());
        image_.swap(image);
    }
    // The old record (now in image) is released here, outside the lock.
}

void TBitmap::InstallParts(TNewBitmapImage parts) {
    DropCanvasContext();
    auto image = std::make_shared<TBitmapImage>();
    image->handle = std::move(parts.storage);
    image->ownedPalette = std::move(parts.palette);
    image->description = parts.description;
    image->saveStream = std::move(parts.saveStream);
    image->os2Format = parts.os2Format;
    InstallRecord(std::move(image));
    ignorePalette_ = false;
    if (PaletteOf() != nullptr)
        SetPaletteModified(true);
    NotifyChanged();
}

void TBitmap::MakeEmptyImage() {
    DropCanvasContext();
    InstallRecord(std::make_shared<TBitmapImage>());
}

void TBitmap::MakeStorageReady() {
    if (image_->handle || !image_->saveStream)
        return;
    // Only the file bytes are left: read them again, quietly.
    TMemoryStream bytes(std::vector<uint8_t>(image_->saveStream->Memory().begin(),
                                             image_->saveStream->Memory().end()));
    auto onChange = std::move(OnChange);
    OnChange = nullptr;
    try {
        ReadBmp(bytes, bytes.Size());
    } catch (...) {
        OnChange = std::move(onChange);
        throw;
    }
    OnChange = std::move(onChange);
}

// ---- Copy on write -----------------------------------------------------------------------------

void TBitmap::ReplaceStorage(const DIBSECTION& description, HPALETTE palette, bool systemPalette,
                             TCopyColours colours) {
    ReplaceStorageFrom(image_->handle.get(), image_->Palette(), description, std::move(palette),
                       systemPalette, colours);
}

void TBitmap::ReplaceStorageFrom(GdiBitmap* source, GdiPalette* sourcePalette,
                                 const DIBSECTION& description, HPALETTE palette,
                                 bool systemPalette, TCopyColours colours) {
    DropCanvasContext();
    DIBSECTION d = description;
    GdiPalette* newView = systemPalette ? &platform::SystemPalette16() : palette.get();
    TCanvas* canvas = colours == TCopyColours::FromCanvas ? canvas_.get() : nullptr;
    HBITMAP storage = CopyBitmapStorage(source, sourcePalette, newView, d, canvas);
    auto image = std::make_shared<TBitmapImage>();
    image->handle = std::move(storage);
    image->ownedPalette = std::move(palette);
    image->usesSystemPalette = systemPalette;
    image->description = d;
    InstallRecord(std::move(image));
}

void TBitmap::CopyImage(const DIBSECTION& description, GdiPalette* palette, TCopyColours colours) {
    const bool system = palette != nullptr && palette == &platform::SystemPalette16();
    ReplaceStorage(description, system ? HPALETTE{} : CopyPalette(palette), system, colours);
}

void TBitmap::Changing() {
    if (image_.use_count() >= 2) {
        MakeStorageReady();
        // A halftone palette is made again when needed; the copy does without it. The copy
        // keeps its own colours: a monochrome background stays black and white whatever
        // text colour the canvas holds.
        CopyImage(image_->description, image_->halftone ? nullptr : image_->Palette(),
                  TCopyColours::OwnOnly);
    } else {
        image_->mask.reset();
    }
    image_->description.dsBmih.biClrUsed = 0;
    image_->description.dsBmih.biClrImportant = 0;
    image_->saveStream.reset();
}

GdiBitmap* TBitmap::HandleOf() {
    MakeStorageReady();
    Changing();
    return image_->handle.get();
}

// ---- Assignment --------------------------------------------------------------------------------

void TBitmap::CopyFrom(const TPersistent* source) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(source);
    if (source != nullptr && bitmap == nullptr) {
        TGraphic::CopyFrom(source);
        return;
    }
    DropCanvasContext();
    {
        std::lock_guard lock(ImageLock());
        if (bitmap != nullptr) {
            image_ = bitmap->image_;
            transparent_ = bitmap->transparent_;
            transparentColor_ = bitmap->transparentColor_;
            transparentMode_ = bitmap->transparentMode_;
            ignorePalette_ = bitmap->ignorePalette_;
        } else {
            image_ = std::make_shared<TBitmapImage>();
            ignorePalette_ = false;
        }
    }
    if (PaletteOf() != nullptr)
        SetPaletteModified(true);
    NotifyChanged();
}

// ---- Size ---------------------------------------------------------------------------------------

void TBitmap::ResizeWidth(int width) {
    if (width != Width())
        ChangeSize(width, std::nullopt);
}

void TBitmap::ResizeHeight(int height) {
    if (height != Height())
        ChangeSize(std::nullopt, height);
}

void TBitmap::SetSize(int width, int height) {
    if (width != Width() || height != Height())
        ChangeSize(width, height);
}

// The sizes given replace the description's (both its forms), signs included.
void TBitmap::ChangeSize(std::optional<int> width, std::optional<int> height) {
    MakeStorageReady();
    DIBSECTION d = image_->description;
    if (width) {
        d.dsBm.bmWidth = *width;
        d.dsBmih.biWidth = *width;
    }
    if (height) {
        d.dsBm.bmHeight = *height;
        d.dsBmih.biHeight = *height;
    }
    CopyImage(d, image_->Palette());
    NotifyChanged();
}

// ---- Palette ------------------------------------------------------------------------------------

void TBitmap::MakePaletteReady() {
    TBitmapImage& image = *image_;
    if (image.Palette() != nullptr || ignorePalette_ || !image.IsDibSection())
        return;
    const int bits = image.description.dsBmih.biBitCount;
    if (bits <= 8) {
        image.ownedPalette = PaletteFromTable(ReadColorTable(*image.handle, true, bits));
    }
    if (image.Palette() == nullptr) {
        const int own = image.description.dsBm.bmBitsPixel * image.description.dsBm.bmPlanes;
        if (image.halftone || ScreenBits() < own) {
            image.ownedPalette = platform::CreateHalftonePalette(&platform::GetScreenDC());
            image.halftone = bool(image.ownedPalette);
        }
    }
    if (image.Palette() == nullptr)
        ignorePalette_ = true;
}

GdiPalette* TBitmap::PaletteHandle() {
    MakePaletteReady();
    return image_->Palette();
}

void TBitmap::SetPaletteHandle(HPALETTE palette) {
    if (palette.get() == image_->Palette())
        return;
    MakeStorageReady();
    if (!palette && image_.use_count() == 1) {
        image_->ownedPalette.reset();
        image_->usesSystemPalette = false;
        image_->halftone = false;
    } else {
        ReplaceStorage(image_->description, std::move(palette), false);
    }
    // The colour table follows the palette.
    TBitmapImage& image = *image_;
    if (image.IsDibSection() && image.description.dsBmih.biBitCount <= 8 &&
        image.Palette() != nullptr) {
        const auto table =
            PaletteTable(*image.Palette(), size_t(1) << image.description.dsBmih.biBitCount);
        HDC dc = NewMemoryDC();
        BitmapSelection selection(*dc, *image.handle);
        platform::SetDIBColorTable(*dc, 0, table);
    }
    SetPaletteModified(true);
    NotifyChanged();
}

// ---- Handle
// --------------------------------------------------------------------------------------

void TBitmap::SetBitmapHandle(HBITMAP handle) {
    if (handle.get() == image_->handle.get())
        return;
    DropCanvasContext();
    auto image = std::make_shared<TBitmapImage>();
    if (handle) {
        if (platform::GetObject(*handle, image->description) < platform::kBitmapObjectSize)
            throw EInvalidGraphic("Bitmap image is not valid");
    }
    image->handle = std::move(handle);
    if (image_.use_count() == 1) {
        image->ownedPalette = std::move(image_->ownedPalette);
        image->usesSystemPalette = image_->usesSystemPalette;
    } else if (image_->usesSystemPalette) {
        image->usesSystemPalette = true;
    } else {
        image->ownedPalette = CopyPalette(image_->Palette());
    }
    InstallRecord(std::move(image));
    ignorePalette_ = false;
    NotifyChanged();
}

GdiBitmap* TBitmap::MaskHandleOf() {
    MakeStorageReady();
    if (!image_->mask && image_->handle) {
        const int width = Width();
        const int height = Height();
        const platform::COLORREF transparent = ToDeviceColor(TransparentColor());
        HBITMAP mask = platform::CreateBitmap(width, height, 1, 1);
        if (!mask)
            RaiseOutOfResources();
        platform::DeviceContext& source = Canvas().DeviceContext();
        HDC dc = NewMemoryDC();
        {
            BitmapSelection selection(*dc, *mask);
            // Pixels of the source's background colour become 1 (white) in the mask.
            const platform::COLORREF oldBack = platform::SetBkColor(source, transparent);
            platform::BitBlt(*dc, 0, 0, width, height, &source, 0, 0, platform::SRCCOPY);
            platform::SetBkColor(source, oldBack);
        }
        image_->mask = std::move(mask);
    }
    return image_->mask.get();
}

// ---- Storage kind and pixel format
// ---------------------------------------------------------------

void TBitmap::ChangeStorageKind(TStorageKind kind) {
    if (kind == StorageKind())
        return;
    MakeStorageReady();
    DIBSECTION d = image_->description;
    if (kind == bmDDB) {
        d.dsBmih.biSize = 0;
        d.dsBm.bmBits = nullptr;
    } else {
        d.dsBmih = {};
        d.dsBmih.biSize = 40;
        d.dsBmih.biWidth = d.dsBm.bmWidth;
        d.dsBmih.biHeight = std::abs(d.dsBm.bmHeight);
        d.dsBmih.biPlanes = 1;
        d.dsBmih.biBitCount = uint16_t(d.dsBm.bmBitsPixel * d.dsBm.bmPlanes);
    }
    CopyImage(d, image_->Palette());
    NotifyChanged();
}

TPixelFormat TBitmap::PixelFormat() const {
    if (StorageKind() == bmDDB)
        return pfDevice;
    const auto& d = image_->description;
    switch (d.dsBmih.biBitCount) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 16:
        if (d.dsBmih.biCompression == platform::BI_RGB)
            return pf15bit;
        if (d.dsBmih.biCompression == platform::BI_BITFIELDS && d.dsBitfields[1] == 0x07E0)
            return pf16bit;
        return pfCustom;
    case 24:
        return pf24bit;
    case 32:
        return d.dsBmih.biCompression == platform::BI_RGB ? pf32bit : pfCustom;
    default:
        return pfCustom;
    }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == PixelFormat())
        return;
    if (format == pfDevice) {
        ChangeStorageKind(bmDDB);
        return;
    }
    if (format == pfCustom)
        throw EInvalidGraphic("Invalid pixel format");
    static constexpr uint16_t bitCounts[] = {0, 1, 4, 8, 16, 16, 24, 32};
    MakeStorageReady();
    DIBSECTION d{};
    d.dsBm = image_->description.dsBm;
    d.dsBmih.biSize = 40;
    d.dsBmih.biWidth = Width();
    d.dsBmih.biHeight = Height();
    d.dsBmih.biPlanes = 1;
    d.dsBmih.biBitCount = bitCounts[format];
    if (format == pf16bit) {
        d.dsBmih.biCompression = platform::BI_BITFIELDS;
        d.dsBitfields = {0xF800, 0x07E0, 0x001F};
    }
    if (format == pf4bit) {
        ReplaceStorage(d, {}, true);
    } else if (format == pf8bit) {
        HPALETTE halftone = platform::CreateHalftonePalette(&platform::GetScreenDC());
        if (!halftone)
            RaiseOutOfResources();
        ReplaceStorage(d, std::move(halftone), false);
    } else {
        CopyImage(d, image_->Palette());
    }
    if (PaletteOf() != nullptr)
        SetPaletteModified(true);
    NotifyChanged();
}

std::span<uint8_t> TBitmap::RowAddress(int row) {
    MakeStorageReady();
    Changing();
    if (row < 0 || row >= Height())
        throw EInvalidGraphicOperation("Scan line index out of range");
    if (!image_->handle)
        return {};
    // Rows written into a private copy of a device-dependent bitmap would never reach its
    // pixels, so the storage itself becomes the DIB section that the rows belong to.
    if (!image_->IsDibSection())
        ChangeStorageKind(bmDIB);
    platform::GdiFlush();
    const auto& d = image_->description;
    const int64_t stride = DibRowBytes(d.dsBm.bmWidth, d.dsBmih.biBitCount);
    const int rows = std::abs(d.dsBmih.biHeight);
    const int memoryRow = d.dsBmih.biHeight > 0 ? rows - 1 - row : row;
    return {d.dsBm.bmBits + memoryRow * stride, size_t(stride)};
}

// ---- Transparency
// ----------------------------------------------------------------------------------

TColor TBitmap::TransparentColor() {
    if (transparentColor_ != clDefault)
        return ResolveColor(transparentColor_);
    if (IsEmpty())
        return clDefault;
    if (IsMonochrome())
        return clWhite;
    return Canvas().PixelAt(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
    if (color == transparentColor_)
        return;
    transparentMode_ = color == clDefault ? tmAuto : tmFixed;
    transparentColor_ = color;
    image_->mask.reset();
    NotifyChanged();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
    if (mode == transparentMode_)
        return;
    if (mode == tmAuto)
        SetTransparentColor(clDefault);
    else
        SetTransparentColor(TransparentColor());
}

void TBitmap::SetTransparency(bool transparent) {
    TGraphic::SetTransparency(transparent);
}

// ---- Drawing onto another canvas ---------------------------------------------------------------

void TBitmap::DrawGraphic(TCanvas& target, const platform::RECT& rect) {
    target.EnsureReady(csAllValid);
    MakePaletteReady();
    if (IsEmpty() || Width() == 0 || Height() == 0)
        return;
    platform::DeviceContext& dc = target.DeviceContext();
    PaletteSelection palette(dc, image_->Palette(), true);

    const int targetBits = platform::GetDeviceCaps(dc, platform::BITSPIXEL) *
                           platform::GetDeviceCaps(dc, platform::PLANES);
    const int ownBits = image_->description.dsBm.bmBitsPixel * image_->description.dsBm.bmPlanes;
    if (targetBits <= 8 && targetBits < ownBits) {
        platform::POINT origin;
        platform::GetBrushOrgEx(dc, &origin);
        platform::SetStretchBltMode(dc, platform::HALFTONE);
        platform::SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    } else if (!IsMonochrome()) {
        platform::SetStretchBltMode(dc, platform::COLORONCOLOR);
    }

    TCanvas& own = Canvas();
    own.EnsureReady(csAllValid);
    platform::DeviceContext& source = own.DeviceContext();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!IsTransparent()) {
        platform::StretchBlt(dc, rect.left, rect.top, width, height, &source, 0, 0, Width(),
                             Height(), target.CopyMode());
    } else {
        platform::TransparentStretchBlt(dc, rect.left, rect.top, width, height, source, 0, 0,
                                        Width(), Height(), ToDeviceColor(TransparentColor()));
    }
}

// ---- Streams
// --------------------------------------------------------------------------------------

void TBitmap::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    ReadBmp(stream, size);
}

void TBitmap::ReadBmp(TStream& stream, int64_t size) {
    DropCanvasContext();
    if (size == 0) {
        MakeEmptyImage();
        return;
    }
    // The reader's failure leaves the image as it was.
    InstallParts(ReadBmpImage(stream, size));
}

GdiBitmap* PatternStorageOf(TBitmap& bitmap) {
    // A pattern brush is made from a device-dependent bitmap.
    if (bitmap.IsEmpty())
        return nullptr;
    if (bitmap.StorageKind() != bmDDB)
        bitmap.ChangeStorageKind(bmDDB);
    return bitmap.HandleOf();
}

void InstallImage(TBitmap& bitmap, TNewBitmapImage parts) {
    bitmap.InstallParts(std::move(parts));
}

} // namespace graphics
