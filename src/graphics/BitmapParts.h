// The parts of a freshly made image, for decoders that build storage themselves (the BMP, JPEG
// and TurboJPEG readers, the upright turn). InstallImage is the one route by which such parts
// become a bitmap's image; it is not part of the bitmap's own interface.
#pragma once

#include "graphics/Stream.h"
#include "platform/Gdi.h"

#include <memory>

namespace graphics {

class TBitmap;

struct TNewBitmapImage {
    platform::HBITMAP storage;
    platform::HPALETTE palette;
    platform::DIBSECTION description{};
    // The file bytes of a BMP with compressed pixels, as read.
    std::unique_ptr<TMemoryStream> saveStream;
    // Read from a BMP with the 12-byte core header.
    bool os2Format = false;
};

// Replaces the bitmap's image record as a whole by one made of parts (reference count 1): the
// canvas lets go of the old storage, the old image is released, palette modified is set when
// there is a palette, and the bitmap's change notification fires.
void InstallImage(TBitmap& bitmap, TNewBitmapImage parts);

} // namespace graphics
