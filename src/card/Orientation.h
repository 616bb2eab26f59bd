// Turning a picture upright. Cameras and phones store a photo as the sensor saw it and record in
// the EXIF Orientation tag how it is meant to be seen; every viewer turns it accordingly, and so
// does the card before the picture is fitted or previewed.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Picture.h"
#include "jpeg/JPEGImage.h"

#include <memory>

namespace card {

// The EXIF Orientation values (TIFF tag 0x0112): how the stored picture is turned to be seen.
enum class TOrientation : int {
    Upright = 1,
    MirrorHorizontal = 2,
    Rotate180 = 3,
    MirrorVertical = 4,
    Transpose = 5,  // mirrored across the top-left to bottom-right diagonal
    Rotate90Cw = 6, // a phone's usual portrait shot
    Transverse = 7, // mirrored across the top-right to bottom-left diagonal
    Rotate270Cw = 8,
};

// Whether the orientation exchanges width and height (5 to 8).
bool SwapsSides(TOrientation orientation);

// A new bitmap holding source's pixels as they are seen for orientation: same pixel format,
// colour table and palette, width and height exchanged for 5 to 8. Upright (and any value
// outside 1..8) gives a bitmap that shares source's image. An empty source gives an empty
// bitmap. Reads source through its rows, so a device-dependent source becomes a DIB section.
std::unique_ptr<graphics::TBitmap> TurnUpright(graphics::TBitmap& source, TOrientation orientation);

// The one step every JPEG picture takes before it becomes a card or a preview: its decoded
// bitmap turned upright by the file's EXIF orientation. Null when the file is stored upright,
// so that such a picture goes on exactly as decoded. Decodes the picture if it was not yet.
std::unique_ptr<graphics::TBitmap> UprightCopy(jpeg::TJPEGImage& picture);

// The same step for a picture holder that loaded a file by its extension (the save dialog's
// preview): a JPEG graphic of either codec with an orientation is replaced by its upright
// bitmap; any other graphic stays as it is.
void MakeHeldPictureUpright(graphics::TPicture& picture);

} // namespace card
