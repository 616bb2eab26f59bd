// libFuzzer target of the GIF reader: load the input as a GIF file and, when it loads, build
// the first frame's bitmap, plainly and dithered to the web palette. Every failure must be the
// reader's GIFException (or an abort of the build); anything else is a finding.
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

// Frames up to the reader's limit of 256 megapixels take seconds and most of the fuzzer's
// memory; here the decoding limits are lowered to a megapixel, and pictures whose screen
// is larger are loaded but not rendered (rendering depends on their size only).
constexpr uint64_t kRenderPixels = uint64_t(1) << 20;

bool SmallEnoughToRender(const gif::TGIFImage& image) {
    const gif::TGIFSubImage& first = image.SubImage(0);
    return uint64_t(first.Width()) * uint64_t(first.Height()) <= kRenderPixels &&
           uint64_t(image.Width()) * uint64_t(image.Height()) <= kRenderPixels;
}

void Render(gif::TGIFImage& image, uint16_t options) {
    image.SetRenderOptions(options);
    graphics::TBitmap* bitmap = image.Bitmap();
    if (bitmap && !bitmap->IsEmpty() &&
        (bitmap->Width() != image.Width() || bitmap->Height() != image.Height()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The size checks are the same at any limit; small ones keep each run fast.
    gif::SetDecodeLimitsForTesting(kRenderPixels, 4 * kRenderPixels);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (uint16_t options : {gif::kDefaultRenderOptions, gif::goDither}) {
        gif::TGIFImage image;
        try {
            image.LoadFromBytes(std::span(data, size));
            if (image.Count() > 0 && SmallEnoughToRender(image))
                Render(image, options);
        } catch (const gif::GIFException&) {
        }
    }
    return 0;
}
