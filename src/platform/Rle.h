// Run-length decoding of BI_RLE8 and BI_RLE4 pixel data (the BMP format's compressed layouts).
#pragma once

#include "platform/GdiTypes.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// Decodes bits (compressed as info's header says) into one colour index per pixel, rows top to
// bottom, width x |height| entries. Runs and deltas that leave the image are clipped; pixels the
// data does not reach stay 0. Returns false for data that cannot be decoded.
bool DecodeRleToIndices(const BITMAPINFO& info, std::span<const uint8_t> bits,
                        std::vector<uint8_t>& indices);

} // namespace platform
