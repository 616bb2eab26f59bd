#include "card/Orientation.h"

#include "graphics/Exceptions.h"
#include "jpeg/JPEGExif.h"
#include "platform/Gdi.h"
#include "tjpeg/JpegFileImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

namespace card {

namespace {

using Rows = std::vector<std::span<uint8_t>>;

// Where the pixel seen at (x, y) is stored: (x0 + x * xx + y * xy, y0 + x * yx + y * yy).
struct SourceMapping {
    int x0 = 0;
    int xx = 1;
    int xy = 0;
    int y0 = 0;
    int yx = 0;
    int yy = 1;
};

// The mappings follow the tag's definition of where the stored 0th row and 0th column are seen
// (EXIF, after TIFF 6.0): for 6, the 0th row is the right-hand side and the 0th column the top.
SourceMapping MappingFor(TOrientation orientation, int storedWidth, int storedHeight) {
    const int right = storedWidth - 1;
    const int bottom = storedHeight - 1;
    switch (orientation) {
    case TOrientation::MirrorHorizontal:
        return {right, -1, 0, 0, 0, 1};
    case TOrientation::Rotate180:
        return {right, -1, 0, bottom, 0, -1};
    case TOrientation::MirrorVertical:
        return {0, 1, 0, bottom, 0, -1};
    case TOrientation::Transpose:
        return {0, 0, 1, 0, 1, 0};
    case TOrientation::Rotate90Cw:
        return {0, 0, 1, bottom, -1, 0};
    case TOrientation::Transverse:
        return {right, 0, -1, bottom, -1, 0};
    case TOrientation::Rotate270Cw:
        return {right, 0, -1, 0, 1, 0};
    case TOrientation::Upright:
        break;
    }
    return {};
}

// Rows are filled in bands of this many: along a band, the rotations read consecutive stored
// pixels of one row while they write one column of the band, so both stay in the cache.
constexpr int kBand = 16;

template <class CopyOne>
void ForEachPixel(int width, int height, const SourceMapping& m, CopyOne&& copy) {
    for (int top = 0; top < height; top += kBand) {
        const int end = std::min(height, top + kBand);
        for (int x = 0; x < width; ++x) {
            for (int y = top; y < end; ++y)
                copy(x, y, m.x0 + x * m.xx + y * m.xy, m.y0 + x * m.yx + y * m.yy);
        }
    }
}

// Whole-byte pixels (8, 16, 24 and 32 bits): copied as they are.
template <size_t Bytes>
void CopyWholeBytes(const Rows& from, const Rows& to, int width, int height,
                    const SourceMapping& m) {
    ForEachPixel(width, height, m, [&](int x, int y, int sx, int sy) {
        std::memcpy(to[size_t(y)].data() + size_t(x) * Bytes,
                    from[size_t(sy)].data() + size_t(sx) * Bytes, Bytes);
    });
}

// Pixels of 1, 2 or 4 bits, packed from the most significant bit of each byte.
void CopyPackedBits(const Rows& from, const Rows& to, int width, int height, int bits,
                    const SourceMapping& m) {
    const unsigned mask = (1u << bits) - 1;
    ForEachPixel(width, height, m, [&](int x, int y, int sx, int sy) {
        const size_t fromBit = size_t(sx) * size_t(bits);
        const size_t toBit = size_t(x) * size_t(bits);
        const unsigned fromShift = 8 - unsigned(bits) - unsigned(fromBit % 8);
        const unsigned toShift = 8 - unsigned(bits) - unsigned(toBit % 8);
        const unsigned value = (from[size_t(sy)][fromBit / 8] >> fromShift) & mask;
        uint8_t& target = to[size_t(y)][toBit / 8];
        target = uint8_t((target & ~(mask << toShift)) | (value << toShift));
    });
}

void CopyPixels(const Rows& from, const Rows& to, int width, int height, int bits,
                const SourceMapping& m) {
    switch (bits) {
    case 1:
    case 2:
    case 4:
        CopyPackedBits(from, to, width, height, bits, m);
        return;
    case 8:
        CopyWholeBytes<1>(from, to, width, height, m);
        return;
    case 16:
        CopyWholeBytes<2>(from, to, width, height, m);
        return;
    case 24:
        CopyWholeBytes<3>(from, to, width, height, m);
        return;
    case 32:
        CopyWholeBytes<4>(from, to, width, height, m);
        return;
    default:
        throw graphics::EInvalidGraphic("Bitmap image is not valid");
    }
}

Rows RowsOf(graphics::TBitmap& bitmap) {
    Rows rows(size_t(bitmap.Height()));
    for (int y = 0; y < bitmap.Height(); ++y)
        rows[size_t(y)] = bitmap.RowAddress(y);
    return rows;
}

// The colour table of a DIB section of at most 8 bits, as the platform reports it.
std::vector<platform::RGBQUAD> SectionColorTable(graphics::TBitmap& bitmap, int bits) {
    const platform::DIBSECTION& d = bitmap.Description();
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = d.dsBm.bmWidth;
    info.bmiHeader.biHeight = d.dsBm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = uint16_t(bits);
    if (platform::GetDIBits(platform::GetScreenDC(), *bitmap.Image().handle, 0, 0, {}, info,
                            platform::DIB_RGB_COLORS) == 0)
        return {};
    return info.bmiColors;
}

// New storage like source's (bit count, masks, colour table, row order), of width x height,
// with a copy of source's palette; its pixels are all written afterwards.
graphics::TNewBitmapImage StorageLike(graphics::TBitmap& source, int width, int height) {
    const platform::DIBSECTION& d = source.Description();
    const int bits = d.dsBmih.biBitCount;
    platform::BITMAPINFO info;
    auto& h = info.bmiHeader;
    h = d.dsBmih;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = d.dsBmih.biHeight < 0 ? -height : height;
    h.biPlanes = 1;
    h.biSizeImage = 0;
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    if (h.biCompression == platform::BI_BITFIELDS)
        info.bmiMasks = d.dsBitfields;
    if (bits <= 8) {
        info.bmiColors = SectionColorTable(source, bits);
        if (info.bmiColors.size() < (size_t(1) << bits))
            h.biClrUsed = uint32_t(info.bmiColors.size());
    }
    graphics::TNewBitmapImage parts;
    parts.storage =
        platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    if (!parts.storage ||
        platform::GetObject(*parts.storage, parts.description) != platform::kDibSectionObjectSize)
        graphics::RaiseOutOfResources();
    parts.palette = graphics::CopyPalette(source.PaletteOf());
    return parts;
}

} // namespace

bool SwapsSides(TOrientation orientation) {
    const int value = int(orientation);
    return value >= 5 && value <= 8;
}

std::unique_ptr<graphics::TBitmap> TurnUpright(graphics::TBitmap& source,
                                               TOrientation orientation) {
    auto result = std::make_unique<graphics::TBitmap>();
    const int value = int(orientation);
    if (value < 2 || value > 8 || source.IsEmpty() || source.Width() <= 0 || source.Height() <= 0) {
        result->CopyFrom(&source);
        return result;
    }
    const int storedWidth = source.Width();
    const int storedHeight = source.Height();
    // The first row makes the storage a private DIB section, whose description then holds.
    const Rows from = RowsOf(source);
    const int bits = source.Description().dsBmih.biBitCount;

    const bool swap = SwapsSides(orientation);
    const int width = swap ? storedHeight : storedWidth;
    const int height = swap ? storedWidth : storedHeight;
    graphics::InstallImage(*result, StorageLike(source, width, height));
    CopyPixels(from, RowsOf(*result), width, height, bits,
               MappingFor(orientation, storedWidth, storedHeight));
    return result;
}

std::unique_ptr<graphics::TBitmap> UprightCopy(jpeg::TJPEGImage& picture) {
    const int value = picture.Orientation();
    if (value < 2 || value > 8)
        return nullptr;
    return TurnUpright(picture.Bitmap(), TOrientation(value));
}

void MakeHeldPictureUpright(graphics::TPicture& picture) {
    std::unique_ptr<graphics::TBitmap> upright;
    if (auto* held = dynamic_cast<jpeg::TJPEGImage*>(picture.HeldGraphic())) {
        upright = UprightCopy(*held);
    } else if (auto* file = dynamic_cast<tjpeg::TJpegFileImage*>(picture.HeldGraphic())) {
        // The second codec's picture (a ".jpg" in the save dialog) is turned the same way.
        const int value = jpeg::ExifOrientationOfFile(file->Bytes());
        if (value >= 2 && value <= 8)
            upright = TurnUpright(file->Bitmap(), TOrientation(value));
    }
    if (upright)
        picture.SetHeldGraphic(upright.get());
}

} // namespace card
