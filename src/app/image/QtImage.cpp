#include "app/image/QtImage.h"

#include "graphics/ImageControl.h"
#include "platform/PixelLimits.h"

#include <cstring>

namespace velmora {

namespace {

// Format_RGB32 wants the unused byte at 0xFF.
void MakeOpaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] |= 0xFF000000u;
    }
}

} // namespace

QImage ImageFromBitmap(const platform::GdiBitmap& bitmap, platform::GdiPalette* palette) {
    platform::BITMAP description;
    platform::GetObject(bitmap, description);
    const int width = description.bmWidth;
    const int height = description.bmHeight < 0 ? -description.bmHeight : description.bmHeight;
    if (width <= 0 || height <= 0 || int64_t(width) * height > int64_t(platform::kMaxPixels))
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};

    // Top-down 32-bit rows in blue, green, red, unused order: the layout of Format_RGB32 on a
    // little-endian machine, whose rows are never padded.
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = platform::BI_RGB;
    platform::HDC dc = platform::CreateCompatibleDC(&platform::GetScreenDC());
    if (!dc)
        return {};
    std::shared_ptr<platform::GdiPalette> previousPalette;
    if (palette != nullptr) {
        previousPalette = platform::SelectPalette(*dc, *palette, false);
        platform::RealizePalette(*dc);
    }
    const std::span<uint8_t> bits(image.bits(), size_t(image.sizeInBytes()));
    const int rows =
        platform::GetDIBits(*dc, bitmap, 0, unsigned(height), bits, info, platform::DIB_RGB_COLORS);
    if (previousPalette)
        platform::SelectPalette(*dc, *previousPalette, false);
    if (rows != height)
        return {};
    MakeOpaque(image);
    return image;
}

QImage ImageFromBitmap(const graphics::TPaintBuffer& buffer) {
    // The buffer is a top-down 32-bit section already in that layout: its rows are copied as
    // they lie, which a preview repainted on every change can afford.
    QImage image(buffer.Width(), buffer.Height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), buffer.Row(y).data(), size_t(image.width()) * 4);
    MakeOpaque(image);
    return image;
}

} // namespace velmora
