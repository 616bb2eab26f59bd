// The EXIF Orientation of a JPEG file, read with libexif from the APP1 segment libjpeg saved
// while reading the header. Cameras and phones store a picture as the sensor saw it and record
// in this tag how it must be turned to be seen upright (TIFF/EXIF tag 0x0112 in the first IFD).
#pragma once

#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <span>

namespace jpeg {

// The marker libjpeg must keep for ExifOrientation: APP1, up to a whole segment.
inline constexpr int kExifMarker = JPEG_APP0 + 1;
inline constexpr unsigned kExifMarkerMaxLength = 0xFFFF;

// The value of the tag: 1 (as stored) to 8. The data of one APP1 segment, starting with its
// "Exif\0\0" identifier. Anything else, a missing tag, a value outside 1..8 or damaged data all
// give 1: the picture is then shown as stored.
int ExifOrientation(std::span<const unsigned char> app1);

// The orientation of the first EXIF segment among the markers libjpeg saved (1 without one).
int ExifOrientation(jpeg_saved_marker_ptr markers);

// The same for a whole JPEG file as bytes: the first EXIF APP1 segment before the first scan,
// as libjpeg would have saved it. A truncated or damaged marker sequence ends the search (1).
int ExifOrientationOfFile(std::span<const unsigned char> file);

} // namespace jpeg
