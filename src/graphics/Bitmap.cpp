#include "graphics/Bitmap.h"

#include "graphics/BmpReader.h"
#include "graphics/Exceptions.h"
#include "platform/Clipboard.h"
#include "platform/DeviceContext.h" // complete object types for selection and HDC owners
#include "platform/Screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace graphics {

using platform::DIBSECTION;
using platform::GdiBitmap;
using platform::GdiPalette;
using platform::HBITMAP;
using platform::HDC;
using platform::HPALETTE;
using platform::RGBQUAD;

namespace {

// Taking and releasing references to shared images happens under this lock.
std::mutex& ImageLock() {
    static std::mutex lock;
    return lock;
}

HDC NewMemoryDC() {
    HDC dc = platform::CreateCompatibleDC(&platform::GetScreenDC());
    if (!dc)
        RaiseOutOfResources();
    return dc;
}

int ScreenBits() {
    auto& screen = platform::GetScreenDC();
    return platform::GetDeviceCaps(screen, platform::BITSPIXEL) *
           platform::GetDeviceCaps(screen, platform::PLANES);
}

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

// The table GetDIBits reports for the bitmap at a bit count. It needs no device context, so it
// also works while a canvas holds the bitmap.
std::vector<RGBQUAD> ReportedTable(GdiBitmap& bitmap, const platform::BITMAP& bm, int bitCount) {
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = uint16_t(bitCount);
    if (platform::GetDIBits(platform::GetScreenDC(), bitmap, 0, 0, {}, info,
                            platform::DIB_RGB_COLORS) == 0)
        return {};
    return info.bmiColors;
}

// The colour table of a DIB section, or as the platform reports it for a device-dependent
// bitmap, at the given bit count.
std::vector<RGBQUAD> ReadColorTable(GdiBitmap& bitmap, bool isDibSection, int bitCount) {
    platform::BITMAP bm;
    platform::GetObject(bitmap, bm);
    if (isDibSection && bm.bmBitsPixel <= 8) {
        // Asked at its own depth, the platform gives the section's own table.
        std::vector<RGBQUAD> own = ReportedTable(bitmap, bm, bm.bmBitsPixel);
        if (!own.empty()) {
            own.resize(std::min(own.size(), size_t(1) << bitCount));
            return own;
        }
    }
    // A section deeper than 8 bits has no table: take the platform's one for the depth.
    return ReportedTable(bitmap, bm, bitCount);
}

std::vector<RGBQUAD> PaletteTable(GdiPalette& palette, size_t limit) {
    uint16_t count = 0;
    platform::GetObject(palette, count);
    std::vector<platform::PALETTEENTRY> entries(std::min<size_t>(count, limit));
    entries.resize(platform::GetPaletteEntries(palette, 0, entries));
    std::vector<RGBQUAD> table;
    table.reserve(entries.size());
    for (const auto& e : entries)
        table.push_back({e.peBlue, e.peGreen, e.peRed, 0});
    return table;
}

HPALETTE PaletteFromTable(std::span<const RGBQUAD> table) {
    if (table.empty())
        return {};
    platform::LOGPALETTE lp;
    lp.palPalEntry.reserve(table.size());
    for (const RGBQUAD& q : table)
        lp.palPalEntry.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    return platform::CreatePalette(lp);
}

// Colour table of a new DIB section of bitCount <= 8 (see CopyBitmapStorage).
std::vector<RGBQUAD> NewColorTable(int bitCount, GdiBitmap* oldStorage, bool oldIsDib,
                                   GdiPalette* newPalette) {
    const size_t entries = size_t(1) << bitCount;
    std::vector<RGBQUAD> table;
    if (bitCount == 1 && (oldStorage == nullptr || !oldIsDib))
        table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    else if (newPalette != nullptr)
        table = PaletteTable(*newPalette, entries);
    else if (oldStorage != nullptr)
        table = ReadColorTable(*oldStorage, oldIsDib, bitCount);
    if (table.size() > entries)
        table.resize(entries);
    // Without any source of colours a one-bit image is black and white, never all black.
    if (table.empty() && bitCount == 1)
        table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    if (table.empty())
        table.resize(entries);
    return table;
}

bool EmptySize(const DIBSECTION& d) {
    if (d.dsBmih.biSize != 0)
        return d.dsBmih.biWidth == 0 || d.dsBmih.biHeight == 0;
    return d.dsBm.bmWidth == 0 || d.dsBm.bmHeight == 0;
}

} // namespace

int64_t DibRowBytes(int64_t width, int bitCount) {
    return int64_t(platform::DibStride(width, bitCount));
}

HPALETTE CopyPalette(GdiPalette* palette) {
    if (palette == nullptr)
        return {};
    uint16_t count = 0;
    platform::GetObject(*palette, count);
    if (count == 0)
        return {};
    platform::LOGPALETTE lp;
    lp.palPalEntry.resize(count);
    lp.palPalEntry.resize(platform::GetPaletteEntries(*palette, 0, lp.palPalEntry));
    HPALETTE copy = platform::CreatePalette(lp);
    if (!copy)
        RaiseOutOfResources();
    return copy;
}

// ---- The copy routine --------------------------------------------------------------------------

HBITMAP CopyBitmapStorage(GdiBitmap* oldStorage, GdiPalette* oldPalette, GdiPalette* newPalette,
                          DIBSECTION& d, TCanvas* canvas) {
    if (EmptySize(d))
        return {};

    DIBSECTION old{};
    bool oldIsDib = false;
    if (oldStorage != nullptr) {
        TBitmapCanvas::ReleaseCanvasesUsing(oldStorage);
        if (platform::GetObject(*oldStorage, old) < platform::kBitmapObjectSize)
            throw EInvalidGraphic("Bitmap image is not valid");
        oldIsDib = old.dsBm.bmBits != nullptr;
    }

    auto& screen = platform::GetScreenDC();
    HBITMAP result;
    bool oneBitSection = false;
    if (d.dsBmih.biSize >= 40) {
        platform::BITMAPINFO info;
        auto& h = info.bmiHeader;
        h = d.dsBmih;
        h.biSize = 40;
        h.biPlanes = 1;
        if (h.biBitCount == 0)
            h.biBitCount = uint16_t(ScreenBits());
        const bool bitFields =
            h.biCompression == platform::BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
        h.biCompression = bitFields ? platform::BI_BITFIELDS : platform::BI_RGB;
        h.biSizeImage = 0;
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        d.dsBm.bmWidth = h.biWidth;
        d.dsBm.bmHeight = h.biHeight;
        if (h.biBitCount <= 8) {
            info.bmiColors = NewColorTable(h.biBitCount, oldStorage, oldIsDib, newPalette);
            if (info.bmiColors.size() < (size_t(1) << h.biBitCount))
                h.biClrUsed = uint32_t(info.bmiColors.size());
        }
        if (bitFields) {
            auto masks = d.dsBitfields;
            if (masks[0] == 0) {
                masks = h.biBitCount == 16 ? std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                                           : std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
            }
            info.bmiMasks = masks;
        }
        result = platform::CreateDIBSection(&screen, info, platform::DIB_RGB_COLORS);
        if (!result)
            RaiseOutOfResources();
        DIBSECTION made{};
        platform::GetObject(*result, made);
        if (made.dsBm.bmBits == nullptr)
            RaiseOutOfResources();
        oneBitSection = h.biBitCount == 1;
        // Deep images of the same size are read directly, without a blit.
        if (oldStorage != nullptr && old.dsBm.bmWidth == made.dsBm.bmWidth &&
            std::abs(old.dsBm.bmHeight) == std::abs(made.dsBm.bmHeight) &&
            old.dsBm.bmBitsPixel > 8) {
            const size_t rows = size_t(std::abs(made.dsBm.bmHeight));
            std::span<uint8_t> bits(made.dsBm.bmBits, size_t(made.dsBm.bmWidthBytes) * rows);
            platform::GetDIBits(screen, *oldStorage, 0, unsigned(rows), bits, info,
                                platform::DIB_RGB_COLORS);
            d = {};
            platform::GetObject(*result, d);
            return result;
        }
    } else if ((d.dsBm.bmPlanes | d.dsBm.bmBitsPixel) == 1) {
        result = platform::CreateBitmap(d.dsBm.bmWidth, std::abs(d.dsBm.bmHeight), 1, 1);
    } else {
        result =
            platform::CreateCompatibleBitmap(screen, d.dsBm.bmWidth, std::abs(d.dsBm.bmHeight));
    }
    if (!result)
        RaiseOutOfResources();

    platform::BITMAP made;
    platform::GetObject(*result, made);
    const int width = made.bmWidth;
    const int height = std::abs(made.bmHeight);

    HDC newDc = NewMemoryDC();
    {
        BitmapSelection selectNew(*newDc, *result);
        PaletteSelection newPal(*newDc, newPalette, false);
        // Where the old pixels cover the whole new area the fill would be overwritten anyway.
        const bool oldCovers = oldStorage != nullptr && old.dsBm.bmWidth >= width &&
                               std::abs(old.dsBm.bmHeight) >= height;
        platform::COLORREF textColor = 0;
        platform::COLORREF backColor = 0;
        if (canvas != nullptr) {
            textColor = ToDeviceColor(canvas->Font().Color());
            backColor = ToDeviceColor(canvas->Brush().Color());
            if (!oldCovers)
                platform::FillRect(*newDc, {0, 0, width, height}, canvas->Brush().Handle());
            platform::SetTextColor(*newDc, textColor);
            platform::SetBkColor(*newDc, backColor);
            if (oneBitSection) {
                const RGBQUAD table[2] = {platform::ColorToQuad(textColor),
                                          platform::ColorToQuad(backColor)};
                platform::SetDIBColorTable(*newDc, 0, table);
            }
        } else if (!oldCovers) {
            platform::PatBlt(*newDc, 0, 0, width, height, platform::WHITENESS);
        }
        if (oldStorage != nullptr) {
            HDC oldDc = NewMemoryDC();
            BitmapSelection selectOld(*oldDc, *oldStorage);
            PaletteSelection oldPal(*oldDc, oldPalette, false);
            if (canvas != nullptr) {
                platform::SetTextColor(*oldDc, textColor);
                platform::SetBkColor(*oldDc, backColor);
            }
            platform::BitBlt(*newDc, 0, 0, width, height, oldDc.get(), 0, 0, platform::SRCCOPY);
        }
    }
    d = {};
    platform::GetObject(*result, d);
    return result;
}

// ---- TBitmapImage ------------------------------------------------------------------------------

GdiPalette* TBitmapImage::Palette() const {
    if (usesSystemPalette)
        return &platform::SystemPalette16();
    return ownedPalette.get();
}

TStorageKind TBitmapImage::Kind() const {
    if (handle)
        return description.dsBm.bmBits != nullptr ? bmDIB : bmDDB;
    return description.dsBmih.biSize != 0 ? bmDIB : bmDDB;
}

// ---- TBitmapCanvas -----------------------------------------------------------------------------

namespace {

struct CanvasRegistry {
    std::mutex lock;
    std::vector<TBitmapCanvas*> canvases;
};

CanvasRegistry& Registry() {
    static auto* registry = new CanvasRegistry();
    return *registry;
}

} // namespace

TBitmapCanvas::TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

TBitmapCanvas::~TBitmapCanvas() {
    ReleaseHandle();
}

void TBitmapCanvas::NotifyChanging() {
    bitmap_.Changing();
    TCanvas::NotifyChanging();
}

void TBitmapCanvas::NotifyChanged() {
    bitmap_.Changed();
    TCanvas::NotifyChanged();
}

void TBitmapCanvas::CreateHandle() {
    TCanvasLock lock(*this);
    bitmap_.MakeStorageReady();
    GdiBitmap* storage = bitmap_.image_->handle.get();
    // A platform bitmap is selected into one context at a time.
    if (storage != nullptr)
        ReleaseCanvasesUsing(storage);
    bitmap_.MakePaletteReady();
    HDC dc = NewMemoryDC();
    if (storage != nullptr) {
        previousBitmap_ = platform::SelectObject(*dc, *storage);
        if (!previousBitmap_)
            RaiseOutOfResources();
        selected_ = storage;
    }
    if (GdiPalette* palette = bitmap_.image_->Palette()) {
        previousPalette_ = platform::SelectPalette(*dc, *palette, true);
        platform::RealizePalette(*dc);
    }
    memoryDc_ = std::move(dc);
    {
        std::lock_guard registryLock(Registry().lock);
        Registry().canvases.push_back(this);
    }
    SetDeviceContext(memoryDc_.get());
}

void TBitmapCanvas::ReleaseHandle() {
    if (!memoryDc_)
        return;
    TCanvasLock lock(*this);
    SetDeviceContext(nullptr);
    if (previousBitmap_)
        platform::SelectObject(*memoryDc_, *previousBitmap_);
    if (previousPalette_)
        platform::SelectPalette(*memoryDc_, *previousPalette_, true);
    previousBitmap_.reset();
    previousPalette_.reset();
    memoryDc_.reset();
    // Other threads read selected_ of registered canvases under the registry's lock.
    std::lock_guard registryLock(Registry().lock);
    selected_ = nullptr;
    std::erase(Registry().canvases, this);
}

void TBitmapCanvas::ReleaseCanvasesUsing(const GdiBitmap* storage) {
    if (storage == nullptr)
        return;
    std::vector<TBitmapCanvas*> holders;
    {
        std::lock_guard registryLock(Registry().lock);
        for (TBitmapCanvas* c : Registry().canvases) {
            if (c->selected_ == storage)
                holders.push_back(c);
        }
    }
    for (TBitmapCanvas* c : holders)
        c->ReleaseHandle();
}

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

int TBitmap::WidthOf() const {
    return image_->description.dsBm.bmWidth;
}

int TBitmap::HeightOf() const {
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

void TBitmap::ReleaseCanvasHandle() {
    DropCanvasContext();
}

void TBitmap::InstallRecord(std::shared_ptr<TBitmapImage> image) {
    {
        std::lock_guard lock(ImageLock());
        image_.swap(image);
    }
    // The old record (now in image) is released here, outside the lock.
}

void TBitmap::InstallImage(TNewBitmapImage parts) {
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
        ReadBmpStream(*this, bytes, bytes.Size());
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
    if (Empty())
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
    if (Empty() || Width() == 0 || Height() == 0)
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
    if (!Transparent()) {
        platform::StretchBlt(dc, rect.left, rect.top, width, height, &source, 0, 0, Width(),
                             Height(), target.CopyMode());
    } else {
        platform::TransparentStretchBlt(dc, rect.left, rect.top, width, height, source, 0, 0,
                                        Width(), Height(), ToDeviceColor(TransparentColor()));
    }
}

// ---- Hand-over values ---------------------------------------------------------------------------

void TBitmap::ImportClipboardData(uint16_t format, GdiBitmap* data, GdiPalette* palette) {
    if (format != platform::CF_BITMAP || data == nullptr)
        throw EInvalidGraphic("Unsupported clipboard format");
    DropCanvasContext();
    DIBSECTION d{};
    if (platform::GetObject(*data, d) < platform::kBitmapObjectSize)
        throw EInvalidGraphic("Bitmap image is not valid");
    // A device-dependent source gives a device-dependent copy; a DIB section keeps its header.
    if (d.dsBm.bmBits == nullptr)
        d.dsBmih.biSize = 0;
    const bool system = palette != nullptr && palette == &platform::SystemPalette16();
    ReplaceStorageFrom(data, palette, d, system ? HPALETTE{} : CopyPalette(palette), system);
    ignorePalette_ = false;
    if (PaletteOf() != nullptr)
        SetPaletteModified(true);
    NotifyChanged();
}

THandOverValues TBitmap::ExportClipboardData() {
    THandOverValues values;
    values.format = uint16_t(platform::CF_BITMAP);
    MakeStorageReady();
    DIBSECTION d = image_->description;
    d.dsBmih.biSize = 0;
    d.dsBm.bmBits = nullptr;
    values.data = CopyBitmapStorage(image_->handle.get(), image_->Palette(), image_->Palette(), d,
                                    canvas_.get());
    // Should the palette copy fail, the new bitmap goes with the unwinding values.
    values.palette = CopyPalette(image_->Palette());
    return values;
}

// ---- Streams
// --------------------------------------------------------------------------------------

void TBitmap::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    ReadBmpStream(*this, stream, size);
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

// Writes a BMP file (BITMAPFILEHEADER, 40-byte BITMAPINFOHEADER, masks, colour table, rows).
void TBitmap::SaveToStream(TStream& stream) {
    if (image_->saveStream) {
        stream.WriteBuffer(image_->saveStream->Memory());
        return;
    }
    if (!image_->handle)
        return;
    const DIBSECTION& desc = image_->description;
    platform::BITMAPINFO info;
    auto& h = info.bmiHeader;
    // A section's rows are written from its own memory; a device bitmap's are converted first.
    std::vector<uint8_t> converted;
    std::span<const uint8_t> pixels;
    if (image_->IsDibSection()) {
        h = desc.dsBmih;
        h.biSize = 40;
        const size_t rows = size_t(std::abs(h.biHeight));
        const size_t stride = size_t(DibRowBytes(h.biWidth, h.biBitCount));
        pixels = std::span<const uint8_t>(desc.dsBm.bmBits, stride * rows);
        if (h.biBitCount <= 8)
            info.bmiColors = ReadColorTable(*image_->handle, true, h.biBitCount);
        if (h.biCompression == platform::BI_BITFIELDS)
            info.bmiMasks = desc.dsBitfields;
    } else {
        const bool mono = IsMonochrome();
        h.biSize = 40;
        h.biWidth = Width();
        h.biHeight = Height();
        h.biPlanes = 1;
        h.biBitCount = mono ? 1 : 24;
        h.biCompression = platform::BI_RGB;
        if (mono)
            info.bmiColors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        const size_t stride = size_t(DibRowBytes(h.biWidth, h.biBitCount));
        converted.resize(stride * size_t(h.biHeight));
        platform::GetDIBits(platform::GetScreenDC(), *image_->handle, 0, unsigned(h.biHeight),
                            converted, info, platform::DIB_RGB_COLORS);
        pixels = converted;
        if (mono)
            info.bmiColors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    }
    const bool masks = h.biCompression == platform::BI_BITFIELDS;
    const uint32_t tableBytes = uint32_t(info.bmiColors.size() * 4);
    const uint32_t offset = 14 + 40 + (masks ? 12 : 0) + tableBytes;
    h.biSizeImage = uint32_t(pixels.size());
    h.biClrUsed = h.biBitCount <= 8 ? uint32_t(info.bmiColors.size()) : 0;

    std::vector<uint8_t> head;
    head.reserve(offset);
    Put16(head, 0x4D42); // "BM"
    Put32(head, offset + uint32_t(pixels.size()));
    Put32(head, 0);
    Put32(head, offset);
    Put32(head, 40);
    Put32(head, uint32_t(h.biWidth));
    Put32(head, uint32_t(h.biHeight));
    Put16(head, 1);
    Put16(head, h.biBitCount);
    Put32(head, h.biCompression);
    Put32(head, h.biSizeImage);
    Put32(head, uint32_t(h.biXPelsPerMeter));
    Put32(head, uint32_t(h.biYPelsPerMeter));
    Put32(head, h.biClrUsed);
    Put32(head, h.biClrImportant);
    if (masks) {
        for (uint32_t m : info.bmiMasks)
            Put32(head, m);
    }
    for (const RGBQUAD& q : info.bmiColors) {
        head.push_back(q.rgbBlue);
        head.push_back(q.rgbGreen);
        head.push_back(q.rgbRed);
        head.push_back(0);
    }
    stream.WriteBuffer(head);
    stream.WriteBuffer(pixels);
}

} // namespace graphics
