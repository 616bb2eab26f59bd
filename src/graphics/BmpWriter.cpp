// The BMP file writer behind TBitmap::SaveToStream.
#include "graphics/Bitmap.h"
#include "graphics/BitmapStorage.h"
#include "platform/LittleEndian.h"

#include <cstdlib>
#include <vector>

namespace graphics {

using namespace storage;

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
    platform::AppendLe16(head, 0x4D42); // "BM"
    platform::AppendLe32(head, offset + uint32_t(pixels.size()));
    platform::AppendLe32(head, 0);
    platform::AppendLe32(head, offset);
    platform::AppendLe32(head, 40);
    platform::AppendLe32(head, uint32_t(h.biWidth));
    platform::AppendLe32(head, uint32_t(h.biHeight));
    platform::AppendLe16(head, 1);
    platform::AppendLe16(head, h.biBitCount);
    platform::AppendLe32(head, h.biCompression);
    platform::AppendLe32(head, h.biSizeImage);
    platform::AppendLe32(head, uint32_t(h.biXPelsPerMeter));
    platform::AppendLe32(head, uint32_t(h.biYPelsPerMeter));
    platform::AppendLe32(head, h.biClrUsed);
    platform::AppendLe32(head, h.biClrImportant);
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

} // namespace graphics
