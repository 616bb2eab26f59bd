// Our pixels as a QImage: the one conversion behind the preview widget, the picture dialogs'
// preview, the desktop clipboard and printing, so each shows exactly the pixels our own drawing
// made.
#pragma once

#include "platform/Gdi.h"

#include <QImage>

namespace graphics {
class TPaintBuffer;
}

namespace velmora {

// The pixels of a platform bitmap as an opaque 32-bit image (null for an empty or unreadable
// bitmap, or one beyond the pixel limit). The palette, when given, is selected while the pixels
// are read, as the platform requires for palette-based device bitmaps.
QImage ImageFromBitmap(const platform::GdiBitmap& bitmap, platform::GdiPalette* palette);

// What was painted into a paint buffer, the buffer's size.
QImage ImageFromBitmap(const graphics::TPaintBuffer& buffer);

} // namespace velmora
