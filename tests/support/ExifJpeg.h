// JPEG files with an EXIF segment, made at test time: the EXIF data is built with libexif (the
// library the program reads it with) and put into an APP1 segment of an encoded picture. Also
// the removal of segments (Adobe's, for the CMYK tests).
#pragma once

#include <cstdint>
#include <libexif/exif-byte-order.h>
#include <span>
#include <vector>

namespace testsupport {

// An APP1 segment's data ("Exif\0\0", then the TIFF structure) whose first IFD holds only the
// Orientation tag with value (any 16-bit value, also outside 1..8), in the given byte order.
std::vector<uint8_t> ExifPayload(unsigned value, ExifByteOrder order = EXIF_BYTE_ORDER_INTEL);

// jpeg with an APP1 segment holding payload inserted directly after SOI (where cameras write
// EXIF). The payload must fit a segment (at most 65533 bytes).
std::vector<uint8_t> WithApp1(std::span<const uint8_t> jpeg, std::span<const uint8_t> payload);

// jpeg with every segment of this marker before the first scan removed.
std::vector<uint8_t> WithoutSegments(std::span<const uint8_t> jpeg, uint8_t marker);

} // namespace testsupport
