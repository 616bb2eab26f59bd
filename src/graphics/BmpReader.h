// BMP file reading into a bitmap. The reader builds the storage itself and hands it to the
// bitmap with TBitmap::InstallImage; TBitmap::ReleaseCanvasHandle and MakeEmptyImage are its
// other entries into the bitmap.
//
// Accepted: the 12-byte core header and the 40-byte information header with its larger
// successors (kept whole), 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, bit fields (16
// and 32 bits), RLE8 (8 bits) and RLE4 (4 bits). Everything else, and every picture beyond the
// shared pixel limit, is EInvalidGraphic "Bitmap image is not valid" before anything is
// allocated. Uncompressed files become a DIB section with the file's own rows; compressed files a
// device-dependent bitmap that keeps the file's bytes as its save stream.
#pragma once

#include <array>
#include <cstdint>

namespace graphics {

class TBitmap;
class TStream;

// The 14-byte BMP file header as read: type "BM", file size, reserved words, pixel offset.
using TBmpFileHeader = std::array<uint8_t, 14>;

// Reads one BMP file of size bytes from the stream's position into bitmap. Size 0 empties the
// bitmap. On failure the bitmap keeps its previous image. Never reads more than size bytes.
void ReadBmpStream(TBitmap& bitmap, TStream& stream, int64_t size);

// Reads what follows the file header: the information header, masks, colour table and pixels,
// remaining bytes in all (the file's size less the 14 of the file header).
void ReadDibBody(TBitmap& bitmap, TStream& stream, int64_t remaining,
                 const TBmpFileHeader& fileHeader);

} // namespace graphics
