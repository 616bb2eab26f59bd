// Placeholder until the BMP reader lands: an empty stream empties the bitmap, anything else is
// refused as the reader refuses a file it cannot read.
#include "graphics/BmpReader.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"

namespace graphics {

void ReadBmpStream(TBitmap& bitmap, TStream&, int64_t size) {
    bitmap.ReleaseCanvasHandle();
    if (size == 0) {
        bitmap.MakeEmptyImage();
        return;
    }
    throw EInvalidGraphic("Bitmap image is not valid");
}

} // namespace graphics
