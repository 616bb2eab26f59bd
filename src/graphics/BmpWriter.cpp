// The BMP file writers: TBitmap::SaveToStream (the bitmap's own format) and EncodeBmp24.
#include "graphics/BmpWriter.h"

#include "graphics/Bitmap.h"
#include "graphics/BitmapStorage.h"
#include "graphics/FileReplace.h"
#include "platform/LittleEndian.h"

#include <cstdlib>
#include <vector>

namespace graphics {

using namespace storage;

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

// BITMAPFILEHEADER and a 40-byte BITMAPINFOHEADER for pixels that start at pixelOffset and take
// h.biSizeImage bytes.
void AppendHeaders(std::vector<uint8_t>& out, const platform::BITMAPINFOHEADER& h,
                   uint32_t pixelOffset) {
    // BITMAPFILEHEADER.
    platform::AppendLe16(out, 0x4D42);                      // type "BM"
    platform::AppendLe32(out, pixelOffset + h.biSizeImage); // file size
    platform::AppendLe32(out, 0);                           // two reserved words
    platform::AppendLe32(out, pixelOffset);                 // offset of the pixel data
    // BITMAPINFOHEADER.
    platform::AppendLe32(out, kInfoHeaderBytes);
    platform::AppendLe32(out, uint32_t(h.biWidth));
    platform::AppendLe32(out, uint32_t(h.biHeight)); // positive: bottom row first
    platform::AppendLe16(out, 1);                    // planes
    platform::AppendLe16(out, h.biBitCount);
    platform::AppendLe32(out, h.biCompression);
    platform::AppendLe32(out, h.biSizeImage);
    platform::AppendLe32(out, uint32_t(h.biXPelsPerMeter));
    platform::AppendLe32(out, uint32_t(h.biYPelsPerMeter));
    platform::AppendLe32(out, h.biClrUsed);
    platform::AppendLe32(out, h.biClrImportant);
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
    const uint32_t offset = kFileHeaderBytes + kInfoHeaderBytes + (masks ? 12 : 0) + tableBytes;
    h.biSizeImage = uint32_t(pixels.size());
    h.biClrUsed = h.biBitCount <= 8 ? uint32_t(info.bmiColors.size()) : 0;

    std::vector<uint8_t> head;
    head.reserve(offset);
    AppendHeaders(head, h, offset);
    if (masks) {
        for (uint32_t m : info.bmiMasks)
            platform::AppendLe32(head, m);
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

std::vector<uint8_t> EncodeBmp24(TBitmap& bitmap) {
    bitmap.MakeStorageReady();
    const platform::GdiBitmap* storage = bitmap.Image().handle.get();
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (storage == nullptr || width <= 0 || height <= 0)
        throw EInvalidGraphic("The picture is empty");

    const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t pixelBytes = stride * uint64_t(height);
    const uint64_t offset = kFileHeaderBytes + kInfoHeaderBytes;
    if (offset + pixelBytes > UINT32_MAX)
        throw EInvalidGraphic("The picture is too large for a BMP file");

    platform::BITMAPINFO info;
    platform::BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = kInfoHeaderBytes;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = platform::BI_RGB;
    std::vector<uint8_t> file;
    file.reserve(size_t(offset + pixelBytes));
    {
        // The header keeps the bitmap's resolution and says how large the rows are.
        platform::BITMAPINFOHEADER described = h;
        described.biSizeImage = uint32_t(pixelBytes);
        described.biXPelsPerMeter = bitmap.Description().dsBmih.biXPelsPerMeter;
        described.biYPelsPerMeter = bitmap.Description().dsBmih.biYPelsPerMeter;
        described.biClrUsed = 0;
        described.biClrImportant = 0;
        AppendHeaders(file, described, uint32_t(offset));
    }
    file.resize(size_t(offset + pixelBytes));
    const std::span<uint8_t> rows = std::span(file).subspan(size_t(offset));
    const int copied = platform::GetDIBits(platform::GetScreenDC(), *storage, 0, unsigned(height),
                                           rows, info, platform::DIB_RGB_COLORS);
    if (copied != height)
        throw EInvalidGraphic("Bitmap image is not valid");
    return file;
}

void WriteBmp24(TBitmap& bitmap, const std::string& path) {
    ReplaceFileContents(path, EncodeBmp24(bitmap));
}

} // namespace graphics
