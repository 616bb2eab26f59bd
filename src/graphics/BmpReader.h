// BMP file reading into a bitmap. The reader builds the storage itself and hands it to the
// bitmap with TBitmap::InstallImage; TBitmap::ReleaseCanvasHandle and MakeEmptyImage are its
// other entries into the bitmap.
#pragma once

#include <cstdint>

namespace graphics {

class TBitmap;
class TStream;

// Reads one BMP file of size bytes from the stream's position into bitmap. Size 0 empties the
// bitmap. On failure the bitmap keeps its previous image.
void ReadBmpStream(TBitmap& bitmap, TStream& stream, int64_t size);

} // namespace graphics
