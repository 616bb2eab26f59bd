// The second JPEG codec's glue over libjpeg-turbo's TurboJPEG interface: a whole file is decoded
// in one call into a 24-bit DIB section, and a bitmap is compressed in one call. It shares no
// code with the jpeg module, which works through libjpeg's scanline interface instead.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tjpeg {

// Every failure of this codec: data TurboJPEG refuses, a picture above the shared pixel limit,
// or a file too large to hold.
class EJpegFile : public graphics::EInvalidGraphic {
  public:
    using graphics::EInvalidGraphic::EInvalidGraphic;
};

// The frame of a JPEG file as its header gives it.
struct JpegHeader {
    int width = 0;
    int height = 0;
    // Four components (CMYK, or YCCK that the library turns into CMYK).
    bool fourComponents = false;
};

// Reads the header only. Raises EJpegFile for data that is not a JPEG file, and for a frame
// whose 24-bit pixel buffer would exceed the shared pixel or byte limit.
JpegHeader ReadJpegHeader(std::span<const uint8_t> file);

// Decodes the whole file into target as a new 24-bit bottom-up DIB section of the frame's size.
// Damaged data the library can still decode (a truncated scan, for example) gives the picture
// as far as it goes; anything worse raises EJpegFile and leaves target unchanged.
void DecodeJpeg(std::span<const uint8_t> file, graphics::TBitmap& target);

// A baseline JFIF file of source's pixels (converted to 24 bits), 4:2:0, at quality 1 to 100.
// An empty bitmap raises EJpegFile.
std::vector<uint8_t> EncodeJpeg(const graphics::TBitmap& source, int quality);

} // namespace tjpeg
