// The LZW decoder as it was before strings were copied from the output: the string table walked
// pixel by pixel through an expansion stack. Kept as the reference that the faster decoder must
// match pixel for pixel, warning for warning and byte for byte of the reader.
#pragma once

#include "gif/GIFDecoder.h"

namespace giftest::reference {

// Same contract as gif::DecodeImageData.
void DecodeImageData(gif::ByteReader& in, std::span<uint8_t> pixels, uint32_t width,
                     uint32_t height, gif::Interlace interlace, const gif::WarningSink& warn);

} // namespace giftest::reference
