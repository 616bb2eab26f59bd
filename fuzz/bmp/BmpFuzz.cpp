// libFuzzer target of the BMP reader: load the input as a BMP file; when it loads, read every
// pixel back and run the bitmap's own BMP writing and a second load of what it wrote. Every
// failure must be one of the reader's exceptions; anything else is a finding.
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "platform/Gdi.h"
#include "platform/LittleEndian.h"
#include "platform/PixelLimits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

// Pictures the reader accepts can reach 256 megapixels; loading one takes seconds and most of
// the fuzzer's memory limit, so inputs that declare more than a megapixel but stay within the
// reader's limit are left out (the reader's code does not depend on the size beyond that). Larger
// ones are still loaded: the reader must refuse them before allocating.
bool DeclaresSlowPicture(const uint8_t* data, size_t size) {
    if (size < 26)
        return false;
    const std::span<const uint8_t> file(data, size);
    const uint32_t headerSize = platform::ReadLe32(file, 14);
    int64_t width = 0;
    int64_t height = 0;
    if (headerSize == 12) {
        width = platform::ReadLe16(file, 18);
        height = platform::ReadLe16(file, 20);
    } else {
        width = std::llabs(int64_t(int32_t(platform::ReadLe32(file, 18))));
        height = std::llabs(int64_t(int32_t(platform::ReadLe32(file, 22))));
    }
    const int64_t pixels = width * height;
    return pixels > (int64_t(1) << 20) && pixels <= int64_t(platform::kMaxPixels);
}

void ReadAllPixels(graphics::TBitmap& bitmap) {
    bitmap.MakeStorageReady();
    const platform::GdiBitmap* storage = bitmap.Image().handle.get();
    if (storage == nullptr)
        return;
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> bits(size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
    if (platform::GetDIBits(platform::GetScreenDC(), *storage, 0, unsigned(bitmap.Height()), bits,
                            info, platform::DIB_RGB_COLORS) != bitmap.Height())
        std::abort(); // a loaded bitmap must be readable
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (DeclaresSlowPicture(data, size))
        return -1; // not added to the corpus
    graphics::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    graphics::TBitmap bitmap;
    try {
        bitmap.LoadFromStream(stream);
    } catch (const graphics::Exception&) {
        return 0;
    }
    if (bitmap.IsEmpty())
        return 0;
    ReadAllPixels(bitmap);

    graphics::TMemoryStream saved;
    bitmap.SaveToStream(saved);
    saved.SetPosition(0);
    graphics::TBitmap again;
    again.LoadFromStream(saved); // what the bitmap writes must load again
    if (again.Width() != bitmap.Width() || again.Height() != bitmap.Height())
        std::abort();
    return 0;
}
