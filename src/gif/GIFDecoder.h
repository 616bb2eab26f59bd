// The GIF89a table-based image data decoder: a variable-width LZW decoder with a 4096-entry
// string table and an explicit expansion stack, fed by a bit reader over the length-prefixed
// data sub-blocks.
#pragma once

#include "gif/GIFReader.h"

#include <cstdint>
#include <functional>
#include <span>

namespace gif {

using WarningSink = std::function<void(const char* message)>;

enum class Interlace { No, Yes };

// Reads one frame's image data (the minimum code size byte and the data sub-blocks) and fills
// pixels, width x height bytes that the caller has zeroed, one colour index per pixel, rows top
// to bottom. Pixels the data does not reach stay 0. Always leaves the reader past the image
// data's zero-length sub-block (or at the end of the stream). Raises GIFException for a
// string table that loops or a code size the tables cannot hold.
void DecodeImageData(ByteReader& in, std::span<uint8_t> pixels, uint32_t width, uint32_t height,
                     Interlace interlace, const WarningSink& warn);

} // namespace gif
