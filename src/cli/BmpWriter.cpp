#include "cli/BmpWriter.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/FileReplace.h"
#include "platform/Gdi.h"
#include "platform/LittleEndian.h"

namespace cli {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

} // namespace

std::vector<uint8_t> EncodeBmp24(graphics::TBitmap& bitmap) {
    bitmap.MakeStorageReady();
    const platform::GdiBitmap* storage = bitmap.Image().handle.get();
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (storage == nullptr || width <= 0 || height <= 0)
        throw graphics::EInvalidGraphic("The picture is empty");

    const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t pixelBytes = stride * uint64_t(height);
    const uint64_t offset = kFileHeaderBytes + kInfoHeaderBytes;
    if (offset + pixelBytes > UINT32_MAX)
        throw graphics::EInvalidGraphic("The picture is too large for a BMP file");

    std::vector<uint8_t> file;
    file.reserve(size_t(offset + pixelBytes));
    // BITMAPFILEHEADER.
    platform::AppendLe16(file, 0x4D42);                        // type "BM"
    platform::AppendLe32(file, uint32_t(offset + pixelBytes)); // file size
    platform::AppendLe32(file, 0);                             // two reserved words
    platform::AppendLe32(file, uint32_t(offset));              // offset of the pixel data
    // BITMAPINFOHEADER.
    platform::AppendLe32(file, kInfoHeaderBytes);     // header size
    platform::AppendLe32(file, uint32_t(width));      // width
    platform::AppendLe32(file, uint32_t(height));     // height, positive: bottom row first
    platform::AppendLe16(file, 1);                    // planes
    platform::AppendLe16(file, 24);                   // bits per pixel
    platform::AppendLe32(file, platform::BI_RGB);     // compression
    platform::AppendLe32(file, uint32_t(pixelBytes)); // image size
    const platform::BITMAPINFOHEADER& described = bitmap.Description().dsBmih;
    platform::AppendLe32(file, uint32_t(described.biXPelsPerMeter)); // horizontal pixels per metre
    platform::AppendLe32(file, uint32_t(described.biYPelsPerMeter)); // vertical pixels per metre
    platform::AppendLe32(file, 0);                                   // colours used
    platform::AppendLe32(file, 0);                                   // colours important

    platform::BITMAPINFO info;
    info.bmiHeader.biSize = kInfoHeaderBytes;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = platform::BI_RGB;
    file.resize(size_t(offset + pixelBytes));
    const std::span<uint8_t> rows = std::span(file).subspan(size_t(offset));
    const int copied = platform::GetDIBits(platform::GetScreenDC(), *storage, 0, unsigned(height),
                                           rows, info, platform::DIB_RGB_COLORS);
    if (copied != height)
        throw graphics::EInvalidGraphic("Bitmap image is not valid");
    return file;
}

void WriteBmp24(graphics::TBitmap& bitmap, const std::string& path) {
    // Written beside the target and renamed over it, as the JPEG cards are.
    graphics::ReplaceFileContents(path, EncodeBmp24(bitmap));
}

} // namespace cli
