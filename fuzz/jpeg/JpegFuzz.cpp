// libFuzzer target of the JPEG picture: load the input (the header check, EXIF orientation
// included), decode it into a bitmap as the card editor does (24-bit, or 8-bit through the
// quantizers, chosen by the input's length), turn it upright by its orientation, then encode that
// bitmap again and decode the result, which must succeed with the same size. Every failure of the
// first two steps must be an EJPEG; anything else is a finding. The marker walk that finds the
// second codec's orientation reads the same bytes first.
#include "card/Orientation.h"
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGExif.h"
#include "jpeg/JPEGImage.h"
#include "platform/PixelLimits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Pictures up to the pixel limit decode, but one of hundreds of megapixels takes seconds and
// most of the fuzzer's memory; pictures above a megapixel that stay within the limit are only
// loaded. Larger ones still go to the decoder, which must refuse them before allocating.
bool SlowToDecode(const jpeg::TJPEGImage& picture) {
    const int64_t pixels = int64_t(picture.Width()) * picture.Height();
    return pixels > (int64_t(1) << 20) && pixels <= int64_t(platform::kMaxPixels);
}

void RoundTrip(graphics::TBitmap& decoded) {
    jpeg::TJPEGImage encoder;
    encoder.CopyFrom(&decoded);
    graphics::TMemoryStream bytes;
    encoder.SaveToStream(bytes);
    bytes.SetPosition(0);
    jpeg::TJPEGImage again;
    again.LoadFromStream(bytes);
    graphics::TBitmap& back = again.Bitmap();
    if (back.Width() != decoded.Width() || back.Height() != decoded.Height())
        std::abort(); // our own output must decode to the same size
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int walked = jpeg::ExifOrientationOfFile({data, size});
    if (walked < 1 || walked > 8)
        std::abort();
    jpeg::JpegDefaults.EightBitOutput = size % 2;
    jpeg::TJPEGImage picture;
    graphics::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    try {
        picture.LoadFromStream(stream);
    } catch (const jpeg::EJPEG&) {
        return 0;
    }
    if (SlowToDecode(picture))
        return 0;
    graphics::TBitmap* decoded = nullptr;
    try {
        decoded = &picture.Bitmap();
    } catch (const jpeg::EJPEG&) {
        return 0;
    }
    if (picture.Orientation() < 1 || picture.Orientation() > 8)
        std::abort();
    if (const auto upright = card::UprightCopy(picture)) {
        const bool swapped = picture.Orientation() >= 5;
        if (upright->Width() != (swapped ? decoded->Height() : decoded->Width()) ||
            upright->Height() != (swapped ? decoded->Width() : decoded->Height()))
            std::abort(); // turning keeps every pixel
    }
    if (!decoded->IsEmpty())
        RoundTrip(*decoded);
    return 0;
}
