// Bitmap creation, description (GetObject), GetDIBits and the colour tables of DIB sections.
//
// DIB rows (BMP layout) are converted through a one-row surface in the DIB's own layout, so the
// same span conversions serve CreateDIBitmap, GetDIBits and block copies.
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/LittleEndian.h"
#include "platform/Rle.h"
#include "platform/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

namespace {

bool ValidDepth(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// The channel masks a DIB header describes.
ChannelMasks InfoMasks(const BITMAPINFO& info) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    if (h.biCompression == BI_BITFIELDS) {
        if (h.biSize >= 52 && info.bmiExtraHeader.size() >= 12) {
            return {ReadLe32(info.bmiExtraHeader, 0), ReadLe32(info.bmiExtraHeader, 4),
                    ReadLe32(info.bmiExtraHeader, 8)};
        }
        return {info.bmiMasks[0], info.bmiMasks[1], info.bmiMasks[2]};
    }
    return h.biBitCount == 16 ? kMasks555 : kMasks888;
}

// The colour table a DIB header describes: biClrUsed entries (all 2^bpp when 0), missing
// entries black.
std::vector<RGBQUAD> InfoColors(const BITMAPINFO& info) {
    const int bpp = info.bmiHeader.biBitCount;
    if (bpp > 8) {
        return {};
    }
    const uint32_t slots = 1u << bpp;
    const uint32_t used =
        info.bmiHeader.biClrUsed == 0 ? slots : std::min(info.bmiHeader.biClrUsed, slots);
    std::vector<RGBQUAD> colors(used);
    std::copy_n(info.bmiColors.begin(), std::min<size_t>(used, info.bmiColors.size()),
                colors.begin());
    return colors;
}

std::vector<RGBQUAD> Quads(std::span<const PALETTEENTRY> entries) {
    std::vector<RGBQUAD> quads;
    quads.reserve(entries.size());
    for (const PALETTEENTRY& e : entries) {
        quads.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
    }
    return quads;
}

// The table GetDIBits gives for a depth when the caller provides none: the bitmap's own when it
// has one of that depth, else black and white, the VGA colours, or the halftone palette.
std::vector<RGBQUAD> DefaultTable(const Surface& s, int bpp) {
    if (s.Indexed() && s.BitsPerPixel() == bpp) {
        const auto table = s.Table().first(size_t(s.UsedColors()));
        return {table.begin(), table.end()};
    }
    switch (bpp) {
    case 1:
        return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    case 4:
        return Quads(VgaColors());
    default:
        return Quads(HalftoneColors());
    }
}

// Header checks shared by the DIB functions: supported depth and compression, sane sizes.
bool UncompressedLayout(const BITMAPINFOHEADER& h) {
    if (!ValidDepth(h.biBitCount) || h.biWidth <= 0 || h.biHeight == 0) {
        return false;
    }
    if (h.biCompression == BI_RGB) {
        return true;
    }
    return h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
}

int64_t AbsHeight(const BITMAPINFOHEADER& h) {
    return std::llabs(int64_t(h.biHeight));
}

std::optional<Surface> RowSurface(const BITMAPINFO& info, std::vector<RGBQUAD> colors) {
    return Surface::Create(Surface::Layout{SurfaceKind::Dib, info.bmiHeader.biWidth, 1,
                                           info.bmiHeader.biBitCount, true, InfoMasks(info),
                                           std::move(colors)});
}

std::optional<Surface> DeviceSurface(int width, int height, bool monochrome) {
    if (monochrome) {
        return Surface::Create(Surface::Layout{SurfaceKind::Monochrome,
                                               width,
                                               height,
                                               1,
                                               true,
                                               {},
                                               {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}}});
    }
    return Surface::Create(
        Surface::Layout{SurfaceKind::DeviceColor, width, height, 32, true, kMasks888, {}});
}

HBITMAP DeviceBitmap(int width, int height, bool monochrome) {
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (width == 0 || height == 0) {
        return HBITMAP(StockBitmap());
    }
    auto surface = DeviceSurface(width, height, monochrome);
    if (!surface) {
        return {};
    }
    try {
        return HBITMAP(
            std::make_shared<GdiBitmap>(std::move(*surface), GdiBitmap::Storage::Device));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
}

// Converts one row of DIB bytes into a row of a device bitmap, through a one-row surface.
class DibRowImporter {
  public:
    DibRowImporter(Surface row, const Surface& target)
        : row_(std::move(row)),
          convert_(row_, target, ValueConverter::MonoColors{RGB(0, 0, 0), RGB(255, 255, 255), 0}),
          values_(size_t(row_.Width())) {}

    // bytes may be shorter than a row: the missing part reads as zero (colour 0).
    void Import(std::span<const uint8_t> bytes, Surface& target, int y) {
        auto row = row_.Row(0);
        const size_t n = std::min(bytes.size(), row.size());
        if (n > 0) {
            std::memcpy(row.data(), bytes.data(), n);
        }
        std::memset(row.data() + n, 0, row.size() - n);
        row_.ReadSpan(0, 0, row_.Width(), values_.data());
        convert_.Convert(values_.data(), values_.data(), row_.Width());
        target.WriteSpan(y, 0, target.Width(), values_.data());
    }

    Surface& Row() { return row_; }

  private:
    Surface row_;
    ValueConverter convert_;
    std::vector<uint32_t> values_;
};

} // namespace

HBITMAP CreateCompatibleBitmap(const DeviceContext& reference, int width, int height) {
    const Surface* target = reference.Target();
    const bool monochrome = reference.GetKind() == DeviceContext::Kind::Memory && target &&
                            target->IsMonochromeDevice();
    return DeviceBitmap(width, height, monochrome);
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitCount,
                     std::span<const uint8_t> bits) {
    const uint64_t depth = uint64_t(planes) * bitCount;
    if (depth != 1 && depth != 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    HBITMAP bitmap = DeviceBitmap(width, height, depth == 1);
    if (!bitmap || bitmap->IsStock() || bits.empty()) {
        return bitmap;
    }
    // Source rows are word aligned; ours are DWORD aligned. Missing bytes stay zero (black).
    Surface& s = bitmap->Pixels();
    const size_t rowBytes = depth == 1 ? size_t((width + 15) / 16) * 2 : size_t(width) * 4;
    const size_t used = depth == 1 ? size_t((width + 7) / 8) : rowBytes;
    for (int y = 0; y < height; ++y) {
        const size_t offset = size_t(y) * rowBytes;
        if (offset >= bits.size()) {
            break;
        }
        const size_t n = std::min(used, bits.size() - offset);
        std::memcpy(s.Row(y).data(), bits.data() + offset, n);
    }
    return bitmap;
}

HBITMAP CreateDIBSection(const DeviceContext* /*reference*/, const BITMAPINFO& info,
                         unsigned /*usage*/) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    if (!UncompressedLayout(h)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const int64_t height = AbsHeight(h);
    if (!SurfaceSizeAllowed(h.biWidth, height, h.biBitCount)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    auto surface =
        Surface::Create(Surface::Layout{SurfaceKind::Dib, h.biWidth, int(height), h.biBitCount,
                                        h.biHeight < 0, InfoMasks(info), InfoColors(info)});
    if (!surface) {
        return {};
    }
    BITMAPINFOHEADER stored = h;
    stored.biSize = 40;
    stored.biPlanes = 1;
    stored.biSizeImage = uint32_t(surface->SizeBytes());
    try {
        return HBITMAP(
            std::make_shared<GdiBitmap>(std::move(*surface), GdiBitmap::Storage::Section, stored));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
}

HBITMAP CreateDIBitmap(const DeviceContext& /*reference*/, const BITMAPINFO& info,
                       std::span<const uint8_t> bits, unsigned /*usage*/) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    const bool rle8 = h.biCompression == BI_RLE8 && h.biBitCount == 8;
    const bool rle4 = h.biCompression == BI_RLE4 && h.biBitCount == 4;
    const bool rle = rle8 || rle4;
    if (!rle && !UncompressedLayout(h)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (rle && (h.biWidth <= 0 || h.biHeight == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const int64_t height = AbsHeight(h);
    // The device bitmap is 32 bits deep whatever the DIB: that bounds the memory.
    if (!SurfaceSizeAllowed(h.biWidth, height, 32) ||
        !SurfaceSizeAllowed(h.biWidth, height, h.biBitCount)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    HBITMAP bitmap = DeviceBitmap(h.biWidth, int(height), false);
    if (!bitmap) {
        return {};
    }
    Surface& target = bitmap->Pixels();
    try {
        if (rle) {
            std::vector<uint8_t> indices;
            if (!DecodeRleToIndices(info, bits, indices) ||
                indices.size() < uint64_t(h.biWidth) * uint64_t(height)) {
                SetLastError(ERROR_INVALID_BITMAP);
                return {};
            }
            BITMAPINFO rowInfo = info;
            rowInfo.bmiHeader.biBitCount = 8;
            rowInfo.bmiHeader.biCompression = BI_RGB;
            auto row = RowSurface(rowInfo, InfoColors(info));
            if (!row) {
                return {};
            }
            DibRowImporter importer(std::move(*row), target);
            for (int y = 0; y < int(height); ++y) {
                importer.Import(
                    std::span(indices).subspan(size_t(y) * size_t(h.biWidth), size_t(h.biWidth)),
                    target, y);
            }
            return bitmap;
        }
        auto row = RowSurface(info, InfoColors(info));
        if (!row) {
            return {};
        }
        const size_t stride = row->Stride();
        DibRowImporter importer(std::move(*row), target);
        for (int y = 0; y < int(height); ++y) {
            const size_t stored = h.biHeight < 0 ? size_t(y) : size_t(height - 1 - y);
            const size_t offset = stored * stride;
            const auto data =
                offset < bits.size() ? bits.subspan(offset) : std::span<const uint8_t>{};
            importer.Import(data.first(std::min(data.size(), stride)), target, y);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    return bitmap;
}

int GetObject(const GdiBitmap& bitmap, DIBSECTION& out) {
    const Surface& s = bitmap.Pixels();
    out = DIBSECTION{};
    out.dsBm.bmType = 0;
    out.dsBm.bmWidth = s.Width();
    out.dsBm.bmHeight = s.Height();
    out.dsBm.bmPlanes = 1;
    out.dsBm.bmBitsPixel = uint16_t(s.BitsPerPixel());
    if (!bitmap.IsSection()) {
        // Device bitmaps report the platform's word-aligned rows.
        out.dsBm.bmWidthBytes =
            s.IsMonochromeDevice() ? ((s.Width() + 15) / 16) * 2 : s.Width() * 4;
        return kBitmapObjectSize;
    }
    out.dsBm.bmWidthBytes = int32_t(s.Stride());
    out.dsBm.bmBits = const_cast<uint8_t*>(s.Bits()); // a view; the section owns the memory
    out.dsBmih = bitmap.SectionHeader();
    if (s.BitsPerPixel() == 16 || s.BitsPerPixel() == 32) {
        out.dsBitfields = {s.Masks().red, s.Masks().green, s.Masks().blue};
    }
    return kDibSectionObjectSize;
}

int GetObject(const GdiBitmap& bitmap, BITMAP& out) {
    DIBSECTION ds;
    GetObject(bitmap, ds);
    out = ds.dsBm;
    return kBitmapObjectSize;
}

int GetDIBits(const DeviceContext& /*dc*/, const GdiBitmap& bitmap, unsigned start, unsigned count,
              std::span<uint8_t> bits, BITMAPINFO& info, unsigned usage) {
    const Surface& s = bitmap.Pixels();
    BITMAPINFOHEADER& h = info.bmiHeader;
    if (bits.empty()) {
        if (h.biBitCount == 0) {
            // Describe the bitmap as a DIB.
            h.biSize = std::max<uint32_t>(h.biSize, 40);
            h.biWidth = s.Width();
            h.biHeight = bitmap.IsSection() ? bitmap.SectionHeader().biHeight : s.Height();
            h.biPlanes = 1;
            h.biBitCount = uint16_t(s.BitsPerPixel());
            h.biCompression =
                (s.BitsPerPixel() == 16 || s.BitsPerPixel() == 32) ? BI_BITFIELDS : BI_RGB;
            h.biSizeImage = uint32_t(s.Stride() * size_t(s.Height()));
            h.biClrUsed = 0;
            h.biClrImportant = 0;
            if (h.biCompression == BI_BITFIELDS) {
                info.bmiMasks = {s.Masks().red, s.Masks().green, s.Masks().blue};
            }
            return 1;
        }
        if (!ValidDepth(h.biBitCount)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (h.biBitCount <= 8) {
            info.bmiColors = DefaultTable(s, h.biBitCount);
        } else if (h.biCompression == BI_BITFIELDS) {
            const bool same = !s.Indexed() && s.BitsPerPixel() == h.biBitCount;
            const ChannelMasks m = same ? s.Masks() : (h.biBitCount == 16 ? kMasks565 : kMasks888);
            info.bmiMasks = {m.red, m.green, m.blue};
        }
        return 1;
    }
    if (!UncompressedLayout(h) || !SurfaceSizeAllowed(h.biWidth, 1, h.biBitCount)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (start >= unsigned(s.Height())) {
        return 0;
    }
    const unsigned rows = std::min<unsigned>(count, unsigned(s.Height()) - start);
    const uint64_t stride = DibStride(h.biWidth, h.biBitCount);
    if (uint64_t(rows) * stride > bits.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (h.biBitCount <= 8 && (usage != DIB_RGB_COLORS || info.bmiColors.empty())) {
        info.bmiColors = DefaultTable(s, h.biBitCount);
    }
    try {
        auto row = RowSurface(info, InfoColors(info));
        if (!row) {
            return 0;
        }
        // A monochrome device bitmap's 0 and 1 are black and white here, not the text colours.
        ValueConverter convert(s, *row,
                               ValueConverter::MonoColors{RGB(0, 0, 0), RGB(255, 255, 255), 0});
        const int columns = std::min(s.Width(), h.biWidth);
        std::vector<uint32_t> values(static_cast<size_t>(columns));
        for (unsigned i = 0; i < rows; ++i) {
            const unsigned scan = start + i;
            // Scan lines count from the bottom in a bottom-up layout.
            const int y = h.biHeight > 0 ? s.Height() - 1 - int(scan) : int(scan);
            auto out = row->Row(0);
            std::fill(out.begin(), out.end(), uint8_t(0));
            s.ReadSpan(y, 0, columns, values.data());
            convert.Convert(values.data(), values.data(), columns);
            row->WriteSpan(0, 0, columns, values.data());
            std::memcpy(bits.data() + size_t(i) * stride, out.data(), size_t(stride));
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return int(rows);
}

unsigned GetDIBColorTable(const DeviceContext& dc, unsigned start, std::span<RGBQUAD> out) {
    const auto& bitmap = dc.Bitmap();
    if (!bitmap || !bitmap->IsSection() || !bitmap->Pixels().Indexed()) {
        return 0;
    }
    const Surface& s = bitmap->Pixels();
    if (start >= unsigned(s.UsedColors())) {
        return 0;
    }
    const size_t n = std::min(out.size(), size_t(s.UsedColors()) - start);
    std::copy_n(s.Table().begin() + start, n, out.begin());
    return unsigned(n);
}

unsigned SetDIBColorTable(DeviceContext& dc, unsigned start, std::span<const RGBQUAD> colors) {
    const auto& bitmap = dc.Bitmap();
    if (!bitmap || !bitmap->IsSection() || !bitmap->Pixels().Indexed()) {
        return 0;
    }
    return bitmap->Pixels().SetTable(start, colors);
}

} // namespace platform
