// The image record and the one copy routine every storage change goes through.
#include "graphics/Bitmap.h"
#include "graphics/BitmapStorage.h"
#include "platform/Screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace graphics {

namespace storage {

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

namespace {

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

} // namespace

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

} // namespace storage

using namespace storage;

namespace {

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

} // namespace graphics
