// Writing a bitmap as the simplest BMP layout: BITMAPFILEHEADER, a 40-byte BITMAPINFOHEADER,
// 24 bits per pixel, no compression, no colour table, rows bottom-up padded to 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace graphics {
class TBitmap;
}

namespace cli {

// The file's bytes. The bitmap's pixels are read, not changed. An empty bitmap raises
// graphics::EInvalidGraphic.
std::vector<uint8_t> EncodeBmp24(graphics::TBitmap& bitmap);

// Writes the file through a temporary file beside path that replaces path only once it is
// complete, so an existing file survives a failed write. Raises graphics stream errors.
void WriteBmp24(graphics::TBitmap& bitmap, const std::string& path);

} // namespace cli
