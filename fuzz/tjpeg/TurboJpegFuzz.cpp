// libFuzzer target of the second JPEG codec: load the input as the picture dialogs' preview
// does (the header check), decode it into a 24-bit bitmap, then save that bitmap as a new file
// and decode the result, which must succeed with the same size. Every failure of the first two
// steps must be an EJpegFile; anything else is a finding.
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "tjpeg/JpegFileImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Pictures up to the pixel limit decode, but one of hundreds of megapixels takes seconds and
// most of the fuzzer's memory; pictures above a megapixel are only loaded (the header check,
// which refuses those beyond the limit before anything is allocated).
bool SlowToDecode(const tjpeg::TJpegFileImage& picture) {
    return int64_t(picture.Width()) * picture.Height() > (int64_t(1) << 20);
}

void RoundTrip(graphics::TBitmap& decoded) {
    tjpeg::TJpegFileImage encoder;
    encoder.CopyFrom(&decoded);
    graphics::TMemoryStream bytes;
    encoder.SaveToStream(bytes);
    graphics::TBitmap back;
    tjpeg::DecodeJpeg(bytes.Memory(), back);
    if (back.Width() != decoded.Width() || back.Height() != decoded.Height())
        std::abort(); // our own output must decode to the same size
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tjpeg::TJpegFileImage picture;
    graphics::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    try {
        picture.LoadFromStream(stream);
    } catch (const tjpeg::EJpegFile&) {
        return 0;
    }
    if (SlowToDecode(picture))
        return 0;
    graphics::TBitmap* decoded = nullptr;
    try {
        decoded = &picture.Bitmap();
    } catch (const tjpeg::EJpegFile&) {
        return 0;
    }
    if (!decoded->IsEmpty())
        RoundTrip(*decoded);
    return 0;
}
