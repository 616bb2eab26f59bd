// The one limit on decoded pixels. Every reader of untrusted pictures (BMP, GIF, both JPEG
// codecs), every surface the raster layer makes and every image taken from the desktop clipboard
// is checked against it before anything is allocated, whatever memory the machine has.
#pragma once

#include <cstdint>

namespace platform {

// At most 256 megapixels in one picture or frame.
inline constexpr uint64_t kMaxPixels = uint64_t(256) * 1024 * 1024;
// At most 1 GiB of pixel bytes in one buffer (or, for a GIF, in all frames of one image).
inline constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

} // namespace platform
