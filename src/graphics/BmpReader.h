// BMP file reading. The reader builds the storage itself and returns the parts of the new image;
// the bitmap installs them (TBitmap::LoadFromStream). It knows nothing of the bitmap.
//
// Accepted: the 12-byte core header and the 40-byte information header with its larger
// successors (kept whole), 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, bit fields (16
// and 32 bits), RLE8 (8 bits) and RLE4 (4 bits). Everything else, and every picture beyond the
// shared pixel limit, is EInvalidGraphic "Bitmap image is not valid" before anything is
// allocated. Uncompressed files become a DIB section with the file's own rows; compressed files a
// device-dependent bitmap that keeps the file's bytes as its save stream.
#pragma once

#include "graphics/BitmapParts.h"

#include <array>
#include <cstdint>

namespace graphics {

class TStream;

// The 14-byte BMP file header as read: type "BM", file size, reserved words, pixel offset.
using TBmpFileHeader = std::array<uint8_t, 14>;

// Reads one BMP file of size bytes (more than 0) from the stream's position: the parts of its
// image. Never reads more than size bytes; raises the reader's error on failure.
TNewBitmapImage ReadBmpImage(TStream& stream, int64_t size);

// Reads what follows the file header: the information header, masks, colour table and pixels,
// remaining bytes in all (the file's size less the 14 of the file header).
TNewBitmapImage ReadDibBody(TStream& stream, int64_t remaining, const TBmpFileHeader& fileHeader);

} // namespace graphics
