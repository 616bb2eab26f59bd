// Writing bitmaps as BMP files. TBitmap::SaveToStream keeps the bitmap's own format; the plain
// layout below is what the command line's convert writes: BITMAPFILEHEADER, a 40-byte
// BITMAPINFOHEADER, 24 bits per pixel, no compression, no colour table, rows bottom-up padded to
// 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace graphics {

class TBitmap;

// The file's bytes. The bitmap's pixels are read, not changed. An empty bitmap raises
// EInvalidGraphic "The picture is empty", one beyond 4 GiB of file "The picture is too large
// for a BMP file".
std::vector<uint8_t> EncodeBmp24(TBitmap& bitmap);

// Writes EncodeBmp24's bytes through a temporary file beside path that replaces path only once
// it is complete (ReplaceFileContents), so an existing file survives a failed write.
void WriteBmp24(TBitmap& bitmap, const std::string& path);

} // namespace graphics
